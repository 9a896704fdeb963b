#include "engine/MultimediaTimer.h"

#include "engine/PeriodicTimerDriver.h"

#include <algorithm>
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
    const uint32_t identifier = m_driver.StartPeriodic(delayMs, resolutionMs, *this);
    if (identifier == 0)
        return false;
    m_timerIdentifier = identifier;
    m_period = delayMs;
    m_running.store(true, std::memory_order_release);
    return true;
}

void CMultimediaTimer::Stop()
{
    if (!m_running.exchange(false, std::memory_order_acq_rel))
        return;
    m_driver.StopPeriodic(m_timerIdentifier);
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

void CMultimediaTimer::OnPeriod()
{
    m_elapsedMilliseconds.fetch_add(m_period, std::memory_order_relaxed);
    m_callbackCount.fetch_add(1, std::memory_order_relaxed);
    try {
        std::lock_guard lock(m_clientLock);
        for (CTimerClient* client : m_clients)
            client->UpdateTimer(*this);
    } catch (const std::exception& error) {
        Stop();
        if (m_errorHandler)
            m_errorHandler(error.what());
    } catch (...) {
        Stop();
        if (m_errorHandler)
            m_errorHandler("UpdateTimer error!");
    }
}

void CMultimediaTimer::SetErrorHandler(std::function<void(const std::string& message)> handler)
{
    m_errorHandler = std::move(handler);
}

} // namespace linlangok
