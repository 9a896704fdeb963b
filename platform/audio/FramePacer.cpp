#include "platform/audio/FramePacer.h"

namespace linlangok {

CRealTimePacer::CRealTimePacer(int sampleRate, size_t leadFrames)
    : m_sampleRate(sampleRate)
    , m_leadFrames(leadFrames)
{
}

void CRealTimePacer::Begin()
{
    std::lock_guard lock(m_lock);
    m_stopped = false;
    m_start = std::chrono::steady_clock::now();
}

bool CRealTimePacer::WaitUntil(uint64_t frame)
{
    const uint64_t due = frame > m_leadFrames ? frame - m_leadFrames : 0;
    // Whole seconds and the rest apart, so the nanoseconds never overflow.
    const auto seconds = std::chrono::seconds(due / m_sampleRate);
    const auto rest = std::chrono::nanoseconds((due % m_sampleRate) * 1000000000ull / m_sampleRate);
    std::unique_lock lock(m_lock);
    m_wake.wait_until(lock, m_start + seconds + rest, [this] { return m_stopped; });
    return !m_stopped;
}

void CRealTimePacer::Stop()
{
    {
        std::lock_guard lock(m_lock);
        m_stopped = true;
    }
    m_wake.notify_all();
}

void CManualPacer::Begin()
{
    std::lock_guard lock(m_lock);
    m_stopped = false;
    m_released = 0;
}

bool CManualPacer::WaitUntil(uint64_t frame)
{
    std::unique_lock lock(m_lock);
    m_waitingFor = frame;
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return m_stopped || frame <= m_released; });
    m_waitingFor = 0;
    return !m_stopped;
}

void CManualPacer::Stop()
{
    {
        std::lock_guard lock(m_lock);
        m_stopped = true;
    }
    m_changed.notify_all();
}

void CManualPacer::Release(uint64_t frames)
{
    {
        std::lock_guard lock(m_lock);
        m_released += frames;
    }
    m_changed.notify_all();
}

void CManualPacer::WaitUntilIdle()
{
    std::unique_lock lock(m_lock);
    m_changed.wait(lock, [this] { return m_stopped || m_waitingFor > m_released; });
}

uint64_t CManualPacer::Released() const
{
    std::lock_guard lock(m_lock);
    return m_released;
}

} // namespace linlangok
