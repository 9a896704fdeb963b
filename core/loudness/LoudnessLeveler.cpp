#include "core/loudness/LoudnessLeveler.h"

#include "core/loudness/Loudness.h"

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
    constexpr size_t kBlockFrames = CTruePeakDetector::kMaximumBlockFrames;
    std::array<float, kBlockFrames> gains;
    gains.fill(1.0f);
    if (m_gainDb) {
        for (size_t i = 0; i < m_channels * frames; ++i)
            interleaved[i] *= m_gain;
        // Most blocks of a song are too quiet for any peak to reach the threshold: an idle
        // limiter stays idle through them, as each frame would have left it.
        if (IsLimiterIdle() && m_detector.SkipBelow(interleaved, frames, kLimiterThreshold)) {
            m_frame += frames;
            m_held[m_heldFront].frame = m_frame - 1;
        } else {
            std::array<float, kBlockFrames> peaks;
            m_detector.Process(interleaved, frames, peaks.data());
            for (size_t i = 0; i < frames; ++i) {
                gains[i] = LimiterGain(peaks[i]);
                ++m_frame;
            }
        }
    } else {
        m_frame += frames;
    }
    // The delay line holds the last kLatencyFrames frames, oldest first: these frames go in behind
    // them, and as many come out of its front.
    const size_t held = m_channels * kLatencyFrames;
    const size_t samples = m_channels * frames;
    std::array<float, kMaximumChannels*(kLatencyFrames + kBlockFrames)> line;
    std::copy(m_delay.begin(), m_delay.begin() + static_cast<std::ptrdiff_t>(held), line.begin());
    std::copy(interleaved, interleaved + samples, line.begin() + static_cast<std::ptrdiff_t>(held));
    if (std::all_of(gains.begin(), gains.begin() + static_cast<std::ptrdiff_t>(frames),
            [](float gain) { return gain == 1.0f; })) {
        std::copy(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(samples), interleaved);
    } else {
        for (size_t i = 0; i < frames; ++i) {
            for (size_t channel = 0; channel < m_channels; ++channel)
                interleaved[m_channels * i + channel] = line[m_channels * i + channel] * gains[i];
        }
    }
    std::copy(line.begin() + static_cast<std::ptrdiff_t>(samples),
        line.begin() + static_cast<std::ptrdiff_t>(samples + held), m_delay.begin());
}

float CLoudnessLeveler::LimiterGain(float peak) noexcept
{
    // The gain this frame's peak asks for, the least of those over the look-ahead window, released
    // slowly, and averaged over the window: every frame in the window asks for no more than it
    // got, so the mean that reaches the frame leaving the delay line is at most what it asked.
    const float wanted = peak > kLimiterThreshold ? kLimiterThreshold / peak : 1.0f;
    // Most of a song asks for nothing and has asked for nothing over the window: the window's
    // reductions are all 0 and only this frame is held.
    if (wanted == 1.0f && IsLimiterIdle()) {
        m_held[m_heldFront].frame = m_frame;
        return 1.0f;
    }
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

bool CLoudnessLeveler::IsLimiterIdle() const noexcept
{
    return m_reducingFrames == 0 && m_released == 1.0f && m_heldCount == 1 && m_held[m_heldFront].gain == 1.0f;
}

} // namespace linlangok
