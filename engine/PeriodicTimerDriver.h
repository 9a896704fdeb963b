#pragma once

#include <cstdint>

namespace linlangok {

class CMultimediaTimer;

// The platform's periodic timer: calls CMultimediaTimer::OnPeriod once per period on the
// driver's own thread. The real driver is a thread sleeping to absolute deadlines; the manual
// driver fires periods when a test or the offline renderer says so.
class IPeriodicTimerDriver {
public:
    virtual ~IPeriodicTimerDriver() = default;

    // The shortest and longest periods the driver offers, in milliseconds.
    virtual uint32_t MinimumPeriod() const = 0;
    virtual uint32_t MaximumPeriod() const = 0;

    // Starts calling timer.OnPeriod() every periodMs milliseconds, until StopPeriodic or until
    // OnPeriod returns false. Returns a nonzero identifier, or 0 when the driver refuses.
    virtual uint32_t StartPeriodic(uint32_t periodMs, uint32_t resolutionMs, CMultimediaTimer& timer) = 0;

    // Cancels a periodic event. Called from another thread, it returns once no callback of that
    // event runs any more (also when the event already ended itself) and forgets the identifier;
    // called from inside the event's own callback, it only prevents the next callbacks, and a
    // later call from another thread still releases the event. Unknown identifiers are ignored.
    virtual void StopPeriodic(uint32_t identifier) = 0;
};

} // namespace linlangok
