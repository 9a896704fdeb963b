#pragma once

#include "timebase/PeriodicTimerDriver.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

namespace linlangok {

// The platform's periodic timer: one thread per periodic event, sleeping to absolute deadlines
// on the steady clock (deadline k = start + k periods), so periods do not drift. Between calls
// the thread sleeps for as many periods as the timer asks, or until Hurry or StopPeriodic; then
// it passes every period whose deadline has gone by. The thread asks for real-time scheduling
// and keeps its normal priority when the system refuses. After a stall of more than
// kMaximumLagMs (a suspended machine) the missed periods are dropped instead of passed.
// StartPeriodic and StopPeriodic are called from the UI thread, or StopPeriodic from inside the
// event's own callback. Destroying the driver stops every event.
class CThreadTimerDriver final : public IPeriodicTimerDriver {
public:
    static constexpr std::uint32_t kMaximumLagMs = 100;

    CThreadTimerDriver();
    ~CThreadTimerDriver() override;

    CThreadTimerDriver(const CThreadTimerDriver&) = delete;
    CThreadTimerDriver& operator=(const CThreadTimerDriver&) = delete;

    std::uint32_t MinimumPeriod() const override { return 1; }
    std::uint32_t MaximumPeriod() const override { return 1000000; }
    std::chrono::steady_clock::time_point ClockTime() const override { return std::chrono::steady_clock::now(); }
    std::uint32_t StartPeriodic(std::uint32_t periodMs, std::uint32_t resolutionMs, CMultimediaTimer& timer) override;
    void StopPeriodic(std::uint32_t identifier) override;
    void Hurry(std::uint32_t identifier) override;

    struct PeriodicEvent;

private:
    std::mutex m_lock;
    std::vector<std::unique_ptr<PeriodicEvent>> m_events;
    std::uint32_t m_nextIdentifier = 1;
};

} // namespace linlangok
