#include "engine/MultimediaTimer.h"

#include "engine/PeriodicTimerDriver.h"

#include <exception>
#include <stdexcept>

namespace linlangok {
namespace {

constexpr size_t kMaximumClients = 0x3FFFFFFF;

} // namespace

CMultimediaTimer::CMultimediaTimer(IPeriodicTimerDriver& driver)
    : m_driver(driver)
{
}

CMultimediaTimer::~CMultimediaTimer()
{
    Stop();
}

bool CMultimediaTimer::Start(uint32_t delayMs, uint32_t resolutionMs)
{
    if (IsRunning())
        return true;
    Stop();
    // The first callback may come before StartPeriodic returns: period and running flag are set
    // before, and undone when the driver refuses.
    const uint32_t previousPeriod = m_period;
    m_period = delayMs;
    m_running.store(true, std::memory_order_release);
    const uint32_t identifier = m_driver.StartPeriodic(delayMs, resolutionMs, *this);
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
    m_elapsedMilliseconds.store(0, std::memory_order_relaxed);
    m_callbackCount.store(0, std::memory_order_relaxed);
    m_tickCounter.store(0, std::memory_order_relaxed);
}

void CMultimediaTimer::AddClient(CTimerClient& client)
{
    std::lock_guard lock(m_clientLock);
    if (m_clients.size() >= kMaximumClients)
        throw std::length_error("list<T> too long");
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

bool CMultimediaTimer::OnPeriod() noexcept
{
    m_elapsedMilliseconds.fetch_add(m_period, std::memory_order_relaxed);
    m_callbackCount.fetch_add(1, std::memory_order_relaxed);
    try {
        std::lock_guard lock(m_clientLock);
        for (CTimerClient* client : m_clients)
            client->UpdateTimer(*this);
        return true;
    } catch (const std::exception& error) {
        ReportError(error.what());
    } catch (...) {
        ReportError("UpdateTimer error!");
    }
    return false;
}

void CMultimediaTimer::ReportError(const char* message) noexcept
{
    m_running.store(false, std::memory_order_release);
    try {
        if (m_errorHandler)
            m_errorHandler(message);
    } catch (...) {
        // Nobody could catch it on the timer thread; the stopped timer is what the UI sees.
    }
}

void CMultimediaTimer::SetErrorHandler(std::function<void(const std::string& message)> handler)
{
    m_errorHandler = std::move(handler);
}

} // namespace linlangok
