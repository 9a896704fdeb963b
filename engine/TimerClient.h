#pragma once

namespace linlangok {

class CMultimediaTimer;

// A client of a CMultimediaTimer. Both calls come on the timer thread, under the timer's client
// lock; neither may allocate or block. Errors they raise end the pass (see CTickClock).
class CTimerClient {
public:
    virtual ~CTimerClient() = default;

    // Once per timer period.
    virtual void UpdateTimer(CMultimediaTimer& timer) { }

    // Once per MIDI tick, from the tick clock's fan-out; timer.TickCounter() is the tick.
    virtual void UpdateTick(CMultimediaTimer& timer) { }
};

} // namespace linlangok
