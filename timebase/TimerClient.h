#pragma once

#include <cstdint>

namespace linlangok {

class CMultimediaTimer;

// A client of a CMultimediaTimer. The calls come on the timer thread, under the timer's client
// lock; none may allocate or block. Errors they raise end the pass (see CTickClock).
class CTimerClient {
public:
    virtual ~CTimerClient() = default;

    // Once per timer period; after a sleep, once for each period that passed.
    virtual void UpdateTimer(CMultimediaTimer& timer) { }

    // Once per MIDI tick, from the tick clock's fan-out; timer.TickCounter() is the tick.
    virtual void UpdateTick(CMultimediaTimer& timer) { }

    // The lowest tick counter from tickCounter on at whose fan-out UpdateTick has work to do;
    // the timer thread sleeps through the ticks before it. By default every tick.
    virtual std::int32_t NextTickWanted(std::int32_t tickCounter) const { return tickCounter; }

    // How many periods may pass before UpdateTimer has work to do again: by default every period.
    // A client of UpdateTick alone returns UINT32_MAX and leaves it to NextTickWanted.
    virtual std::uint32_t PeriodsUntilWanted(const CMultimediaTimer& timer) const { return 1; }
};

} // namespace linlangok
