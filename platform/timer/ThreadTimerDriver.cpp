#include "platform/timer/ThreadTimerDriver.h"

#include "engine/MultimediaTimer.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <system_error>
#include <thread>

#include <pthread.h>
#include <sched.h>

namespace linlangok {

struct CThreadTimerDriver::PeriodicEvent {
    uint32_t identifier = 0;
    std::chrono::steady_clock::duration period;
    CMultimediaTimer* timer = nullptr;
    std::mutex lock;
    std::condition_variable wake;
    bool stopRequested = false; // guarded by lock
    std::thread thread;
};

namespace {

using PeriodicEvent = CThreadTimerDriver::PeriodicEvent;

// The event whose callback runs on this thread, so that StopPeriodic can tell a call from
// inside the callback from one made by another thread.
thread_local PeriodicEvent* t_currentEvent = nullptr;

void RequestStop(PeriodicEvent& event)
{
    {
        std::lock_guard lock(event.lock);
        event.stopRequested = true;
    }
    event.wake.notify_all();
}

// A low real-time priority is enough to be woken ahead of ordinary work; the thread sleeps
// almost all the time.
void RaisePriority()
{
    sched_param parameters {};
    parameters.sched_priority = std::min(10, sched_get_priority_max(SCHED_FIFO));
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameters);
}

void RunPeriodicEvent(PeriodicEvent& event)
{
    t_currentEvent = &event;
    RaisePriority();
    const auto maximumLag = std::chrono::milliseconds(CThreadTimerDriver::kMaximumLagMs);
    auto deadline = std::chrono::steady_clock::now() + event.period;
    std::unique_lock lock(event.lock);
    for (;;) {
        if (event.wake.wait_until(lock, deadline, [&event] { return event.stopRequested; }))
            break;
        lock.unlock();
        const bool keepRunning = event.timer->OnPeriod();
        lock.lock();
        if (!keepRunning)
            break;
        deadline += event.period;
        const auto now = std::chrono::steady_clock::now();
        if (now - deadline > maximumLag)
            deadline = now;
    }
}

} // namespace

CThreadTimerDriver::CThreadTimerDriver() = default;

CThreadTimerDriver::~CThreadTimerDriver()
{
    std::vector<std::unique_ptr<PeriodicEvent>> events;
    {
        std::lock_guard lock(m_lock);
        events.swap(m_events);
    }
    for (auto& event : events) {
        RequestStop(*event);
        event->thread.join();
    }
}

uint32_t CThreadTimerDriver::StartPeriodic(uint32_t periodMs, uint32_t, CMultimediaTimer& timer)
{
    if (periodMs < MinimumPeriod() || periodMs > MaximumPeriod())
        return 0;
    auto event = std::make_unique<PeriodicEvent>();
    event->period = std::chrono::milliseconds(periodMs);
    event->timer = &timer;
    std::lock_guard lock(m_lock);
    event->identifier = m_nextIdentifier++;
    if (m_nextIdentifier == 0)
        m_nextIdentifier = 1;
    try {
        event->thread = std::thread(RunPeriodicEvent, std::ref(*event));
    } catch (const std::system_error&) {
        return 0;
    }
    m_events.push_back(std::move(event));
    return m_events.back()->identifier;
}

void CThreadTimerDriver::StopPeriodic(uint32_t identifier)
{
    if (t_currentEvent && t_currentEvent->identifier == identifier) {
        RequestStop(*t_currentEvent);
        return;
    }
    std::unique_ptr<PeriodicEvent> event;
    {
        std::lock_guard lock(m_lock);
        const auto found = std::find_if(m_events.begin(), m_events.end(),
            [identifier](const auto& candidate) { return candidate->identifier == identifier; });
        if (found == m_events.end())
            return;
        event = std::move(*found);
        m_events.erase(found);
    }
    RequestStop(*event);
    event->thread.join();
}

} // namespace linlangok
