#include "core/playback/VocalReduction.h"

#include "core/audio/SampleFormat.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <stdexcept>

namespace linlangok {
namespace {

constexpr size_t kBins = CVocalReducedDecoder::kFftSize / 2 + 1;
// Hann windows before and after the transform overlap at a quarter to 1.5; the transform adds
// kFftSize.
constexpr float kOverlapScale = 1.0f / (1.5f * CVocalReducedDecoder::kFftSize);
// The weight of the earlier hops in a bin's averages: enough to steady the gain against the
// chance agreement of two busy channels, which would flutter as musical noise.
constexpr float kHistoryWeight = 0.5f;
// |L - R|² over |L|² + |R|²: 0 in the centre, 1 hard left or right, 2 out of phase. A source
// panned 60 % with the balance law (its far side at 40 %) gives 0.31, with the constant-power
// law 0.41.
constexpr float kCentreDifference = 0.02f; // and below: kCentreGain
constexpr float kSideDifference = 0.25f; // and above: untouched
// Added to both averages, so a silent bin reads as no centre.
constexpr float kSilence = 1e-12f;

float CentreGain(float difference)
{
    const float t = std::clamp((difference - kCentreDifference) / (kSideDifference - kCentreDifference), 0.0f, 1.0f);
    return CVocalReducedDecoder::kCentreGain + (1 - CVocalReducedDecoder::kCentreGain) * t * t * (3 - 2 * t);
}

size_t Bin(double hertz)
{
    return static_cast<size_t>(hertz * CVocalReducedDecoder::kFftSize / kStreamSampleRate);
}

} // namespace

CVocalReducedDecoder::CVocalReducedDecoder(std::unique_ptr<IAudioFileDecoder> source, const RealFftFactory& makeFft)
    : m_source(std::move(source))
    , m_fft(makeFft(kFftSize))
    , m_lowBin(Bin(kLowHz) + 1)
    , m_highBin(Bin(kHighHz) + 1)
    , m_window(kFftSize)
    , m_transformed(kFftSize)
    , m_hopPower(kBins)
    , m_hopDifference(kBins)
    , m_power(kBins)
    , m_difference(kBins)
    , m_decoded(2 * kHop)
    , m_ready(4 * kHop)
    // The first hop decoded is the end of the first analysis frame, at song frame 0.
    , m_frameStart(-static_cast<std::int64_t>(kFftSize))
{
    if (m_source->Channels() != 2)
        throw std::runtime_error("a sound file for vocal reduction is not stereo");
    for (size_t index = 0; index < kFftSize; ++index)
        m_window[index] = static_cast<float>(0.5 - 0.5 * std::cos(2 * std::numbers::pi * index / kFftSize));
    for (size_t channel = 0; channel < 2; ++channel) {
        m_input[channel].assign(kFftSize, 0.0f);
        m_overlap[channel].assign(kFftSize, 0.0f);
        m_bins[channel].resize(kBins);
    }
}

size_t CVocalReducedDecoder::Read(float* samples, size_t frames)
{
    size_t written = 0;
    while (written < frames) {
        if (m_readyAt == m_readyFrames) {
            if (!Step())
                break;
            continue;
        }
        const size_t count = std::min(frames - written, m_readyFrames - m_readyAt);
        std::copy_n(&m_ready[4 * m_readyAt], 4 * count, samples + 4 * written);
        m_readyAt += count;
        written += count;
    }
    return written;
}

bool CVocalReducedDecoder::Step()
{
    const auto hop = static_cast<std::int64_t>(kHop);
    if (m_sourceEnded && m_frameStart + hop >= static_cast<std::int64_t>(m_sourceFrames))
        return false;
    for (auto& input : m_input)
        std::copy(input.begin() + kHop, input.end(), input.begin());
    m_frameStart += hop;
    DecodeHop();

    for (size_t channel = 0; channel < 2; ++channel) {
        std::transform(m_input[channel].begin(), m_input[channel].end(), m_window.begin(), m_transformed.begin(),
            std::multiplies<>());
        m_fft->Forward(m_transformed.data(), m_bins[channel].data());
    }
    TakeOutCentre();
    for (size_t channel = 0; channel < 2; ++channel) {
        m_fft->Inverse(m_bins[channel].data(), m_transformed.data());
        for (size_t index = 0; index < kFftSize; ++index)
            m_overlap[channel][index] += m_transformed[index] * m_window[index] * kOverlapScale;
    }

    // No later analysis frame reaches the first hop: it is finished.
    const std::int64_t songLeft = static_cast<std::int64_t>(m_sourceFrames) - m_frameStart;
    m_readyFrames = m_frameStart < 0 ? 0 : static_cast<size_t>(std::clamp<std::int64_t>(songLeft, 0, hop));
    m_readyAt = 0;
    for (size_t frame = 0; frame < m_readyFrames; ++frame) {
        m_ready[4 * frame] = m_input[0][frame];
        m_ready[4 * frame + 1] = m_input[1][frame];
        m_ready[4 * frame + 2] = m_overlap[0][frame];
        m_ready[4 * frame + 3] = m_overlap[1][frame];
    }
    for (auto& overlap : m_overlap) {
        std::copy(overlap.begin() + kHop, overlap.end(), overlap.begin());
        std::fill(overlap.end() - kHop, overlap.end(), 0.0f);
    }
    return true;
}

void CVocalReducedDecoder::DecodeHop()
{
    size_t read = 0;
    while (!m_sourceEnded && read < kHop) {
        const size_t got = m_source->Read(&m_decoded[2 * read], kHop - read);
        m_sourceEnded = got == 0;
        read += got;
    }
    m_sourceFrames += read;
    const size_t end = kFftSize - kHop;
    for (size_t frame = 0; frame < kHop; ++frame) {
        m_input[0][end + frame] = frame < read ? m_decoded[2 * frame] : 0.0f;
        m_input[1][end + frame] = frame < read ? m_decoded[2 * frame + 1] : 0.0f;
    }
}

void CVocalReducedDecoder::TakeOutCentre()
{
    auto& left = m_bins[0];
    auto& right = m_bins[1];
    for (size_t bin = m_lowBin - 1; bin <= m_highBin; ++bin) {
        m_hopPower[bin] = std::norm(left[bin]) + std::norm(right[bin]);
        m_hopDifference[bin] = std::norm(left[bin] - right[bin]);
    }
    for (size_t bin = m_lowBin; bin < m_highBin; ++bin) {
        const float power = m_hopPower[bin - 1] + m_hopPower[bin] + m_hopPower[bin + 1] + kSilence;
        const float difference = m_hopDifference[bin - 1] + m_hopDifference[bin] + m_hopDifference[bin + 1] + kSilence;
        m_power[bin] = kHistoryWeight * m_power[bin] + (1 - kHistoryWeight) * power;
        m_difference[bin] = kHistoryWeight * m_difference[bin] + (1 - kHistoryWeight) * difference;
        const float gain = CentreGain(m_difference[bin] / m_power[bin]);
        left[bin] *= gain;
        right[bin] *= gain;
    }
}

} // namespace linlangok
