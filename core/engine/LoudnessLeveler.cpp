#include "core/engine/LoudnessLeveler.h"

#include "core/engine/Loudness.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace linlangok {
namespace {

// The limiter aims this far below the ceiling: the 4x estimate of a true peak may read a little
// low, and another meter's estimate differs by a few tenths of a dB.
constexpr double kLimiterMarginDb = 0.3;
const float kLimiterThreshold = static_cast<float>(std::pow(10.0, (kLevelingCeilingDbtp - kLimiterMarginDb) / 20.0));

} // namespace

CLoudnessLeveler::CLoudnessLeveler(int sampleRate, size_t channels)
    : m_channels(std::clamp<size_t>(channels, 1, kMaximumChannels))
    , m_releaseCoefficient(static_cast<float>(std::exp(-1.0 / (kLimiterReleaseSeconds * sampleRate))))
    , m_detector(m_channels)
{
}

void CLoudnessLeveler::SetGain(std::optional<double> gainDb) noexcept
{
    m_gainDb = gainDb;
    m_gain = gainDb ? static_cast<float>(std::pow(10.0, *gainDb / 20.0)) : 1.0f;
}

void CLoudnessLeveler::Reset() noexcept
{
    m_detector.Reset();
    m_delay.fill(0.0f);
    m_delayIndex = 0;
    m_frame = 0;
    m_heldFront = 0;
    m_heldCount = 0;
    m_released = 1.0f;
    m_reductions.fill(0.0f);
    m_reductionIndex = 0;
    m_reductionSum = 0.0;
    m_reducingFrames = 0;
    m_heldBack = kLatencyFrames;
}

void CLoudnessLeveler::Process(float* interleaved, size_t frames) noexcept
{
    for (size_t done = 0; done < frames;) {
        const size_t block = std::min(frames - done, CTruePeakDetector::kMaximumBlockFrames);
        ProcessBlock(interleaved + m_channels * done, block);
        done += block;
    }
}

size_t CLoudnessLeveler::ProcessInTime(float* interleaved, size_t frames) noexcept
{
    Process(interleaved, frames);
    const size_t held = std::min(m_heldBack, frames);
    m_heldBack -= held;
    std::memmove(interleaved, interleaved + m_channels * held, (frames - held) * m_channels * sizeof(float));
    return frames - held;
}

size_t CLoudnessLeveler::Drain(float* interleaved) noexcept
{
    // Silence after the end pushes out what is inside; the first frames out are the ones still
    // held back from the start when the stream was shorter than the lag.
    std::fill(interleaved, interleaved + m_channels * kLatencyFrames, 0.0f);
    const size_t written = ProcessInTime(interleaved, kLatencyFrames);
    m_heldBack = kLatencyFrames;
    return written;
}

void CLoudnessLeveler::ProcessBlock(float* interleaved, size_t frames) noexcept
{
    std::array<float, CTruePeakDetector::kMaximumBlockFrames> peaks;
    if (m_gainDb) {
        for (size_t i = 0; i < m_channels * frames; ++i)
            interleaved[i] *= m_gain;
        m_detector.Process(interleaved, frames, peaks.data());
    }
    for (size_t i = 0; i < frames; ++i) {
        const float gain = m_gainDb ? LimiterGain(peaks[i]) : 1.0f;
        float* slot = m_delay.data() + m_channels * m_delayIndex;
        for (size_t channel = 0; channel < m_channels; ++channel) {
            const float delayed = slot[channel];
            slot[channel] = interleaved[m_channels * i + channel];
            interleaved[m_channels * i + channel] = delayed * gain;
        }
        m_delayIndex = (m_delayIndex + 1) % kLatencyFrames;
        ++m_frame;
    }
}

float CLoudnessLeveler::LimiterGain(float peak) noexcept
{
    // The gain this frame's peak asks for, the least of those over the look-ahead window, released
    // slowly, and averaged over the window: every frame in the window asks for no more than it
    // got, so the mean that reaches the frame leaving the delay line is at most what it asked.
    const float wanted = peak > kLimiterThreshold ? kLimiterThreshold / peak : 1.0f;
    if (m_heldCount > 0 && m_held[m_heldFront].frame + kWindowFrames <= m_frame) {
        m_heldFront = (m_heldFront + 1) % kWindowFrames;
        --m_heldCount;
    }
    while (m_heldCount > 0 && m_held[(m_heldFront + m_heldCount - 1) % kWindowFrames].gain >= wanted)
        --m_heldCount;
    m_held[(m_heldFront + m_heldCount) % kWindowFrames] = {m_frame, wanted};
    ++m_heldCount;
    const float held = m_held[m_heldFront].gain;
    m_released = std::min(held, 1.0f - (1.0f - m_released) * m_releaseCoefficient);

    float& oldest = m_reductions[m_reductionIndex];
    m_reducingFrames -= oldest > 0.0f;
    m_reductionSum -= oldest;
    oldest = 1.0f - m_released;
    m_reducingFrames += oldest > 0.0f;
    m_reductionSum += oldest;
    m_reductionIndex = (m_reductionIndex + 1) % kWindowFrames;
    if (m_reducingFrames == 0)
        m_reductionSum = 0.0;
    return static_cast<float>(1.0 - m_reductionSum / kWindowFrames);
}

} // namespace linlangok
