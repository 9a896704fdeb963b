#include "core/loudness/TruePeakDetector.h"

#include <algorithm>
#include <cmath>

namespace linlangok {
namespace {

constexpr size_t kPhases = 4;
constexpr size_t kTaps = 12;

// ITU-R BS.1770-4 Annex 2, Table 2: the polyphase branches of the interpolating filter. Each
// branch puts one point between the samples 6 and 5 taps back.
constexpr float kPhaseCoefficients[kPhases][kTaps] = {
    {0.0017089843750f, 0.0109863281250f, -0.0196533203125f, 0.0332031250000f, -0.0594482421875f, 0.1373291015625f,
        0.9721679687500f, -0.1022949218750f, 0.0476074218750f, -0.0266113281250f, 0.0148925781250f, -0.0083007812500f},
    {-0.0291748046875f, 0.0292968750000f, -0.0517578125000f, 0.0891113281250f, -0.1665039062500f, 0.4650878906250f,
        0.7797851562500f, -0.2003173828125f, 0.1015625000000f, -0.0582275390625f, 0.0330810546875f, -0.0189208984375f},
    {-0.0189208984375f, 0.0330810546875f, -0.0582275390625f, 0.1015625000000f, -0.2003173828125f, 0.7797851562500f,
        0.4650878906250f, -0.1665039062500f, 0.0891113281250f, -0.0517578125000f, 0.0292968750000f, -0.0291748046875f},
    {-0.0083007812500f, 0.0148925781250f, -0.0266113281250f, 0.0476074218750f, -0.1022949218750f, 0.9721679687500f,
        0.1373291015625f, -0.0594482421875f, 0.0332031250000f, -0.0196533203125f, 0.0109863281250f, 0.0017089843750f},
};

// The most an interpolated point can exceed the largest magnitude of the samples it is made of.
constexpr float FilterGain()
{
    float largest = 1.0f;
    for (const auto& coefficients : kPhaseCoefficients) {
        float sum = 0.0f;
        for (const float coefficient : coefficients)
            sum += coefficient < 0.0f ? -coefficient : coefficient;
        largest = std::max(largest, sum);
    }
    return largest * 1.0001f; // the rounding of the float sums
}

} // namespace

CTruePeakDetector::CTruePeakDetector(size_t channels) noexcept
    : m_channels(std::clamp<size_t>(channels, 1, kMaximumChannels))
{
}

void CTruePeakDetector::Reset() noexcept
{
    for (auto& channel : m_history)
        channel.fill(0.0f);
    m_previousInterval = 0.0f;
}

void CTruePeakDetector::Process(const float* interleaved, size_t frames, float* peaks) noexcept
{
    constexpr size_t kHistory = kTaps - 1;
    constexpr size_t kBlock = kMaximumBlockFrames;
    // interval[i]: the largest interpolated magnitude between the samples 6 and 5 frames before
    // the end of frame i, over every channel. The loops run over whole blocks, whose fixed length
    // lets the compiler vectorise them; the frames past `frames` are silence and go unused.
    std::array<float, kBlock> interval {};
    std::array<float, kBlock> sample {};
    for (size_t channel = 0; channel < m_channels; ++channel) {
        std::array<float, kHistory + kBlock> signal {};
        std::copy(m_history[channel].begin(), m_history[channel].end(), signal.begin());
        for (size_t i = 0; i < frames; ++i)
            signal[kHistory + i] = interleaved[m_channels * i + channel];
        for (size_t i = 0; i < kBlock; ++i)
            sample[i] = std::max(sample[i], std::fabs(signal[kHistory + i - kDelayFrames]));
        for (const auto& coefficients : kPhaseCoefficients) {
            std::array<float, kBlock> point {};
            for (size_t tap = 0; tap < kTaps; ++tap) {
                const float coefficient = coefficients[tap];
                const float* source = signal.data() + kHistory - tap;
                for (size_t i = 0; i < kBlock; ++i)
                    point[i] += coefficient * source[i];
            }
            for (size_t i = 0; i < kBlock; ++i)
                interval[i] = std::max(interval[i], std::fabs(point[i]));
        }
        std::copy(signal.begin() + static_cast<std::ptrdiff_t>(frames),
            signal.begin() + static_cast<std::ptrdiff_t>(frames + kHistory), m_history[channel].begin());
    }
    // A sample's peak: itself and the intervals on either side of it.
    for (size_t i = 0; i < frames; ++i) {
        peaks[i] = std::max({sample[i], m_previousInterval, interval[i]});
        m_previousInterval = interval[i];
    }
}

bool CTruePeakDetector::SkipBelow(const float* interleaved, size_t frames, float limit) noexcept
{
    constexpr size_t kHistory = kTaps - 1;
    const float sampleLimit = limit / FilterGain();
    float largest = 0.0f;
    for (size_t channel = 0; channel < m_channels; ++channel)
        for (const float sample : m_history[channel])
            largest = std::max(largest, std::fabs(sample));
    for (size_t i = 0; i < m_channels * frames; ++i)
        largest = std::max(largest, std::fabs(interleaved[i]));
    if (largest > sampleLimit)
        return false;
    // The filter keeps the last kHistory samples of each channel: the newest of its own, then the
    // block's last ones.
    const size_t taken = std::min(frames, kHistory);
    const size_t kept = kHistory - taken;
    for (size_t channel = 0; channel < m_channels; ++channel) {
        auto& history = m_history[channel];
        std::copy(history.end() - static_cast<std::ptrdiff_t>(kept), history.end(), history.begin());
        for (size_t i = 0; i < taken; ++i)
            history[kept + i] = interleaved[m_channels * (frames - taken + i) + channel];
    }
    m_previousInterval = 0.0f;
    return true;
}

} // namespace linlangok
