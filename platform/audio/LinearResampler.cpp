#include "platform/audio/LinearResampler.h"

#include <algorithm>

namespace linlangok {

CLinearResampler::CLinearResampler(int inputRate, int outputRate)
    : m_step(static_cast<double>(inputRate) / outputRate)
{
}

void CLinearResampler::Push(const float* samples, size_t frames)
{
    m_pending.insert(m_pending.end(), samples, samples + frames * 2);
}

size_t CLinearResampler::Pull(float* samples, size_t frames)
{
    const size_t available = m_pending.size() / 2;
    size_t written = 0;
    while (written < frames) {
        const auto index = static_cast<size_t>(m_position);
        const bool hasNext = index + 1 < available;
        if (!hasNext && !(m_finished && index < available))
            break;
        const double fraction = hasNext ? m_position - static_cast<double>(index) : 0.0;
        for (size_t channel = 0; channel < 2; ++channel) {
            const float a = m_pending[index * 2 + channel];
            const float b = hasNext ? m_pending[(index + 1) * 2 + channel] : a;
            samples[written * 2 + channel] = static_cast<float>(a + (b - a) * fraction);
        }
        ++written;
        m_position += m_step;
    }
    const auto passed = std::min(static_cast<size_t>(m_position), available);
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(passed * 2));
    m_position -= static_cast<double>(passed);
    return written;
}

} // namespace linlangok
