#include "core/audio/FramePacer.h"

namespace linlangok {
namespace {

constexpr int kManualSampleRate = 44100;

std::chrono::nanoseconds FramesToTime(std::uint64_t frames, int sampleRate)
{
    // Whole seconds and the rest apart, so the nanoseconds never overflow.
    return std::chrono::seconds(frames / sampleRate)
        + std::chrono::nanoseconds((frames % sampleRate) * 1000000000ull / sampleRate);
}

} // namespace

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

bool CRealTimePacer::WaitUntil(std::uint64_t frame)
{
    const std::uint64_t due = frame > m_leadFrames ? frame - m_leadFrames : 0;
    std::unique_lock lock(m_lock);
    m_wake.wait_until(lock, m_start + FramesToTime(due, m_sampleRate), [this] { return m_stopped; });
    return !m_stopped;
}

std::chrono::steady_clock::time_point CRealTimePacer::TimeOf(std::uint64_t frame) const
{
    return m_start + FramesToTime(frame, m_sampleRate);
}

void CRealTimePacer::Stop()
{
    {
        std::lock_guard lock(m_lock);
        m_stopped = true;
    }
    m_wake.notify_all();
}

std::chrono::steady_clock::time_point CVirtualClock::Now() const
{
    std::lock_guard lock(m_lock);
    return m_now;
}

void CVirtualClock::Advance(std::chrono::nanoseconds time)
{
    std::lock_guard lock(m_lock);
    m_now += time;
}

CManualPacer::CManualPacer(std::shared_ptr<const CVirtualClock> clock)
    : m_clock(std::move(clock))
{
}

void CManualPacer::Begin()
{
    std::lock_guard lock(m_lock);
    m_stopped = false;
    m_released = 0;
    m_start = m_clock ? m_clock->Now() : std::chrono::steady_clock::time_point {};
}

std::chrono::steady_clock::time_point CManualPacer::TimeOf(std::uint64_t frame) const
{
    std::lock_guard lock(m_lock);
    return m_start + FramesToTime(frame, kManualSampleRate);
}

bool CManualPacer::WaitUntil(std::uint64_t frame)
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

void CManualPacer::Release(std::uint64_t frames)
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

std::uint64_t CManualPacer::Released() const
{
    std::lock_guard lock(m_lock);
    return m_released;
}

} // namespace linlangok
