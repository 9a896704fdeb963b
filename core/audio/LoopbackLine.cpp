#include "core/audio/LoopbackLine.h"

#include "core/audio/SampleFormat.h"

#include <algorithm>
#include <chrono>

namespace linlangok {

CLoopbackLine::CLoopbackLine()
    : CLoopbackLine([start = std::chrono::steady_clock::now()] {
        const auto elapsed = std::chrono::steady_clock::now() - start;
        return static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count() * kStreamSampleRate / 1000000);
    })
{
}

CLoopbackLine::CLoopbackLine(Clock clock)
    : m_clock(std::move(clock))
{
}

void CLoopbackLine::SetDelay(std::uint64_t frames)
{
    std::lock_guard lock(m_lock);
    m_delay = frames;
    if (m_ring.empty())
        m_ring.assign(kCapacityFrames * kStreamChannels, 0.0f);
}

void CLoopbackLine::Write(std::uint64_t moment, const float* samples, size_t frames)
{
    std::lock_guard lock(m_lock);
    // Nothing was played between the last write and this one.
    for (std::uint64_t gap = std::max(m_written, moment > kCapacityFrames ? moment - kCapacityFrames : 0); gap < moment;
         ++gap)
        std::fill_n(&m_ring[(gap % kCapacityFrames) * kStreamChannels], kStreamChannels, 0.0f);
    for (size_t i = 0; i < frames; ++i)
        std::copy_n(samples + i * kStreamChannels, kStreamChannels,
            &m_ring[((moment + i) % kCapacityFrames) * kStreamChannels]);
    m_written = std::max(m_written, moment + frames);
}

void CLoopbackLine::Read(std::uint64_t moment, std::int16_t* samples, size_t frames) const
{
    std::lock_guard lock(m_lock);
    for (size_t i = 0; i < frames * kStreamChannels; ++i) {
        const std::uint64_t heard = moment + i / kStreamChannels;
        const std::uint64_t played = heard - m_delay;
        const bool kept = heard >= m_delay && played < m_written && m_written - played <= kCapacityFrames;
        samples[i]
            = kept ? FloatToInt16(m_ring[(played % kCapacityFrames) * kStreamChannels + i % kStreamChannels]) : 0;
    }
}

} // namespace linlangok
