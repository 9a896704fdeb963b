#pragma once

#include <chrono>
#include <cstdint>

namespace linlangok {

class CMultimediaTimer;

// The platform's periodic timer: calls CMultimediaTimer::OnPeriods on the driver's own thread,
// for the periods that have passed, as often as the timer asks. The real driver is a thread
// sleeping to absolute deadlines until the timer next needs it; the manual driver fires every
// period when a test or the offline renderer says so.
class IPeriodicTimerDriver {
public:
    virtual ~IPeriodicTimerDriver() = default;

    // The shortest and longest periods the driver offers, in milliseconds.
    virtual std::uint32_t MinimumPeriod() const = 0;
    virtual std::uint32_t MaximumPeriod() const = 0;

    // The driver's time: the steady clock, or virtual time counted from the clock's zero.
    virtual std::chrono::steady_clock::time_point ClockTime() const = 0;

    // Starts a periodic event of periodMs milliseconds, its periods counted from ClockTime(). Each call
    // timer.OnPeriods(n) passes n periods; its result is how many periods the driver may let pass
    // before the next call (it may call sooner), and 0 ends the event. Runs until StopPeriodic or
    // until OnPeriods returns 0. Returns a nonzero identifier, or 0 when the driver refuses.
    virtual std::uint32_t StartPeriodic(std::uint32_t periodMs, std::uint32_t resolutionMs, CMultimediaTimer& timer)
        = 0;

    // Cancels a periodic event. Called from another thread, it returns once no callback of that
    // event runs any more (also when the event already ended itself) and forgets the identifier;
    // called from inside the event's own callback, it only prevents the next callbacks, and a
    // later call from another thread still releases the event. Unknown identifiers are ignored.
    // The periods that passed since the last callback are passed in a last one before it returns.
    virtual void StopPeriodic(std::uint32_t identifier) = 0;

    // Asks for a call at the next period, however long the timer meant to sleep. Any thread.
    virtual void Hurry(std::uint32_t identifier) = 0;
};

} // namespace linlangok
