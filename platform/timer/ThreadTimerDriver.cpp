#include "platform/timer/ThreadTimerDriver.h"

#include "timebase/MultimediaTimer.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <system_error>
#include <thread>

#include <pthread.h>
#include <sched.h>

namespace linlangok {

struct CThreadTimerDriver::PeriodicEvent {
    std::uint32_t identifier = 0;
    std::chrono::steady_clock::duration period;
    std::chrono::steady_clock::time_point start;
    CMultimediaTimer* timer = nullptr;
    std::mutex lock;
    std::condition_variable wake;
    bool stopRequested = false; // guarded by lock, as the two below
    bool stopInsideCallback = false; // no more calls, not even for the periods gone by
    bool hurried = false;
    std::thread thread;
};

namespace {

using PeriodicEvent = CThreadTimerDriver::PeriodicEvent;

// The event whose callback runs on this thread, so that StopPeriodic can tell a call from
// inside the callback from one made by another thread.
thread_local PeriodicEvent* t_currentEvent = nullptr;

void RequestStop(PeriodicEvent& event, bool insideCallback = false)
{
    {
        std::lock_guard lock(event.lock);
        event.stopRequested = true;
        event.stopInsideCallback = insideCallback;
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
    auto lastDeadline = event.start; // of the last period passed
    std::uint32_t sleep = 1;
    bool keepRunning = true;
    std::unique_lock lock(event.lock);
    while (keepRunning) {
        const auto deadline = lastDeadline + sleep * event.period;
        event.wake.wait_until(lock, deadline, [&event] { return event.stopRequested || event.hurried; });
        const auto now = std::chrono::steady_clock::now();
        const auto passed
            = static_cast<std::uint32_t>(std::min<std::int64_t>((now - lastDeadline) / event.period, UINT32_MAX));
        if (event.stopRequested) {
            // The periods that have gone by still count, unless the callback itself stopped.
            if (passed == 0 || event.stopInsideCallback)
                break;
        } else if (passed == 0) {
            // Hurried within a period: its end ends the sleep.
            event.hurried = false;
            sleep = 1;
            continue;
        }
        event.hurried = false;
        const bool stopping = event.stopRequested;
        lock.unlock();
        std::uint32_t periods = passed;
        if (now - deadline > maximumLag) {
            periods = sleep;
            lastDeadline = now;
        } else {
            lastDeadline += periods * event.period;
        }
        // One period at a time: a client that stops the event from inside its callback ends the
        // calls at once, also within a catch-up of several periods.
        bool stoppedInside = false;
        for (std::uint32_t done = 0; done < periods && !stoppedInside; ++done) {
            sleep = event.timer->OnPeriods(1);
            std::lock_guard stopLock(event.lock);
            stoppedInside = sleep == 0 || event.stopInsideCallback;
        }
        keepRunning = !stoppedInside && !stopping;
        lock.lock();
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

std::uint32_t CThreadTimerDriver::StartPeriodic(std::uint32_t periodMs, std::uint32_t, CMultimediaTimer& timer)
{
    if (periodMs < MinimumPeriod() || periodMs > MaximumPeriod())
        return 0;
    auto event = std::make_unique<PeriodicEvent>();
    event->period = std::chrono::milliseconds(periodMs);
    event->start = std::chrono::steady_clock::now();
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

void CThreadTimerDriver::StopPeriodic(std::uint32_t identifier)
{
    if (t_currentEvent && t_currentEvent->identifier == identifier) {
        RequestStop(*t_currentEvent, true);
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

void CThreadTimerDriver::Hurry(std::uint32_t identifier)
{
    std::lock_guard lock(m_lock);
    for (const auto& event : m_events) {
        if (event->identifier == identifier) {
            {
                std::lock_guard eventLock(event->lock);
                event->hurried = true;
            }
            event->wake.notify_all();
        }
    }
}

} // namespace linlangok
