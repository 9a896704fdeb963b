#include "timebase/MultimediaTimer.h"

#include "common/ErrorLog.h"
#include "timebase/PeriodicTimerDriver.h"

#include <algorithm>
#include <exception>
#include <limits>

namespace linlangok {

CMultimediaTimer::CMultimediaTimer(IPeriodicTimerDriver& driver)
    : m_driver(driver)
{
}

CMultimediaTimer::~CMultimediaTimer()
{
    Stop();
}

bool CMultimediaTimer::Start(std::uint32_t delayMs, std::uint32_t resolutionMs)
{
    if (IsRunning())
        return true;
    Stop();
    // The first callback may come before StartPeriodic returns: period and running flag are set
    // before, and undone when the driver refuses.
    const std::uint32_t previousPeriod = m_period;
    m_period = delayMs;
    m_runStart = m_driver.ClockTime();
    m_elapsedAtRunStart = static_cast<std::uint32_t>(m_progress.load(std::memory_order_relaxed) >> 32);
    m_progress.store(std::uint64_t {m_elapsedAtRunStart} << 32 | 1, std::memory_order_release);
    m_running.store(true, std::memory_order_release);
    const std::uint32_t identifier = m_driver.StartPeriodic(delayMs, resolutionMs, *this);
    if (identifier == 0) {
        m_running.store(false, std::memory_order_release);
        m_period = previousPeriod;
        return false;
    }
    m_timerIdentifier = identifier;
    return true;
}

void CMultimediaTimer::Stop()
{
    m_running.store(false, std::memory_order_release);
    if (m_timerIdentifier == 0)
        return;
    m_driver.StopPeriodic(m_timerIdentifier);
    m_timerIdentifier = 0;
}

void CMultimediaTimer::Reset()
{
    m_progress.store(0, std::memory_order_release);
    m_callbackCount.store(0, std::memory_order_relaxed);
    m_tickCounter.store(0, std::memory_order_relaxed);
}

void CMultimediaTimer::AddClient(CTimerClient& client)
{
    std::lock_guard lock(m_clientLock);
    m_clients.push_back(&client);
}

void CMultimediaTimer::RemoveClient(CTimerClient& client)
{
    std::lock_guard lock(m_clientLock);
    m_clients.remove(&client);
}

void CMultimediaTimer::FanOutTick()
{
    std::lock_guard lock(m_clientLock);
    for (CTimerClient* client : m_clients)
        client->UpdateTick(*this);
}

std::uint32_t CMultimediaTimer::OnPeriods(std::uint32_t periods) noexcept
{
    try {
        std::lock_guard lock(m_clientLock);
        for (std::uint32_t period = 0; period < periods; ++period) {
            const std::uint64_t elapsed = (m_progress.load(std::memory_order_relaxed) >> 32) + m_period;
            m_progress.store(elapsed << 32 | 1, std::memory_order_release);
            m_callbackCount.fetch_add(1, std::memory_order_relaxed);
            for (CTimerClient* client : m_clients)
                client->UpdateTimer(*this);
        }
        std::uint32_t sleep = kMaximumSleepPeriods;
        for (const CTimerClient* client : m_clients)
            sleep = std::min(sleep, client->PeriodsUntilWanted(*this));
        sleep = std::max<std::uint32_t>(sleep, 1);
        const std::uint64_t elapsed = m_progress.load(std::memory_order_relaxed) >> 32;
        m_progress.store(elapsed << 32 | sleep, std::memory_order_release);
        return sleep;
    } catch (const std::exception& error) {
        ReportError(error.what());
    } catch (...) {
        LogError("timer callback");
        ReportError("UpdateTimer error!");
    }
    return 0;
}

std::int32_t CMultimediaTimer::NextTickWanted() const
{
    std::lock_guard lock(m_clientLock);
    const std::int32_t counter = TickCounter();
    std::int32_t wanted = std::numeric_limits<std::int32_t>::max();
    for (const CTimerClient* client : m_clients)
        wanted = std::min(wanted, client->NextTickWanted(counter));
    return wanted;
}

void CMultimediaTimer::Hurry()
{
    if (m_timerIdentifier != 0)
        m_driver.Hurry(m_timerIdentifier);
}

std::uint32_t CMultimediaTimer::ElapsedMilliseconds() const
{
    const std::uint64_t progress = m_progress.load(std::memory_order_acquire);
    const auto elapsed = static_cast<std::uint32_t>(progress >> 32);
    const auto sleep = static_cast<std::uint32_t>(progress);
    if (sleep <= 1 || !IsRunning())
        return elapsed;
    // The periods whose deadlines have passed since the last call, short of the one that ends
    // the sleep: the call counts them all.
    const auto lastPeriod = m_runStart + std::chrono::milliseconds(elapsed - m_elapsedAtRunStart);
    const auto since = m_driver.ClockTime() - lastPeriod;
    if (since < std::chrono::milliseconds(m_period))
        return elapsed;
    const auto passed = static_cast<std::uint64_t>(since / std::chrono::milliseconds(m_period));
    return elapsed + m_period * static_cast<std::uint32_t>(std::min<std::uint64_t>(passed, sleep - 1));
}

void CMultimediaTimer::ReportError(const char* message) noexcept
{
    m_running.store(false, std::memory_order_release);
    try {
        if (m_errorHandler)
            m_errorHandler(message);
    } catch (...) {
        // Nobody could catch it on the timer thread; the stopped timer is what the UI sees.
        LogError("timer error handler");
    }
}

void CMultimediaTimer::SetErrorHandler(std::function<void(const std::string& message)> handler)
{
    m_errorHandler = std::move(handler);
}

} // namespace linlangok
