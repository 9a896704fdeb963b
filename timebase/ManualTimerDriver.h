#pragma once

#include "timebase/PeriodicTimerDriver.h"

#include <chrono>
#include <cstdint>
#include <vector>

namespace linlangok {

// A periodic timer driver in virtual time: periods pass only when Advance is called, on the
// calling thread. Used by tests and by offline rendering. Period 1 ms. Every period is passed
// in a call of its own, however long the timer would sleep, so that the counters can be read
// after any millisecond.
class CManualTimerDriver final : public IPeriodicTimerDriver {
public:
    std::uint32_t MinimumPeriod() const override { return 1; }
    std::uint32_t MaximumPeriod() const override { return 1000000; }
    std::chrono::steady_clock::time_point ClockTime() const override
    {
        return std::chrono::steady_clock::time_point() + std::chrono::milliseconds(m_now);
    }
    std::uint32_t StartPeriodic(std::uint32_t periodMs, std::uint32_t resolutionMs, CMultimediaTimer& timer) override;
    void StopPeriodic(std::uint32_t identifier) override;
    void Hurry(std::uint32_t) override { }

    // Lets `milliseconds` of virtual time pass: every running periodic event fires once per
    // elapsed period of its own, in start order.
    void Advance(std::uint32_t milliseconds);

    // Virtual milliseconds since construction.
    std::uint64_t Now() const { return m_now; }

    // Refuse (true) or accept the next StartPeriodic calls.
    void SetRefuse(bool refuse) { m_refuse = refuse; }

private:
    struct PeriodicEvent {
        std::uint32_t identifier;
        std::uint32_t period;
        std::uint64_t nextDue;
        CMultimediaTimer* timer;
    };

    std::vector<PeriodicEvent> m_events;
    std::uint32_t m_nextIdentifier = 1;
    std::uint64_t m_now = 0;
    std::uint64_t m_changes = 0;
    bool m_refuse = false;
};

} // namespace linlangok
