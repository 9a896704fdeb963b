#include "engine/AudioPlayerRing.h"

#include <algorithm>
#include <bit>

namespace linlangok {

CAudioPlayerRing::CAudioPlayerRing(size_t capacityFrames)
    : m_samples(std::bit_ceil(capacityFrames) * 2)
    , m_mask(std::bit_ceil(capacityFrames) - 1)
{
}

size_t CAudioPlayerRing::Free() const
{
    return m_mask + 1 - (m_written.load(std::memory_order_relaxed) - m_read.load(std::memory_order_acquire));
}

size_t CAudioPlayerRing::Write(const float* samples, size_t frames)
{
    frames = std::min(frames, Free());
    const size_t start = m_written.load(std::memory_order_relaxed);
    for (size_t i = 0; i < frames; ++i) {
        const size_t slot = ((start + i) & m_mask) * 2;
        m_samples[slot] = samples[i * 2];
        m_samples[slot + 1] = samples[i * 2 + 1];
    }
    m_written.store(start + frames, std::memory_order_release);
    return frames;
}

size_t CAudioPlayerRing::Ready() const
{
    return m_written.load(std::memory_order_acquire) - m_read.load(std::memory_order_relaxed);
}

size_t CAudioPlayerRing::MixInto(float* mix, size_t frames)
{
    frames = std::min(frames, Ready());
    const size_t start = m_read.load(std::memory_order_relaxed);
    for (size_t i = 0; i < frames; ++i) {
        const size_t slot = ((start + i) & m_mask) * 2;
        mix[i * 2] += m_samples[slot];
        mix[i * 2 + 1] += m_samples[slot + 1];
    }
    m_read.store(start + frames, std::memory_order_release);
    return frames;
}

void CAudioPlayerRing::Clear()
{
    m_written.store(0);
    m_read.store(0);
}

} // namespace linlangok
