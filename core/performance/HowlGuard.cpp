#include "core/performance/HowlGuard.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace linlangok {
namespace {

constexpr size_t kFftSize = 2048;
constexpr size_t kHop = 1024;
constexpr double kWatchedSeconds = 0.5;
constexpr double kLowestHz = 80;
constexpr double kHighestHz = 12000;
// How far the band stands above the strongest other peak, beyond its window's main lobe.
constexpr double kNarrowDb = 20;
constexpr size_t kMainLobeBins = 4;
// A howl's frequency is that of the loop: it stays within this while it grows; a singer's
// vibrato moves by tens of hertz.
constexpr double kSteadyHz = 4;
// Over the half second the band has risen by this much, in each of its thirds by a quarter of it
// (a howl grows all the while; a note's onset is one step, then a held level), and never fell
// this far below its highest level so far.
constexpr double kRiseDb = 1.5;
constexpr size_t kRisingParts = 3;
constexpr double kDipDb = 1;
// Quieter peaks (as a sine's amplitude, full scale 1) are no howl yet.
constexpr double kQuietestAmplitude = 0.001;

} // namespace

CHowlGuard::CHowlGuard(const RealFftFactory& fftFactory, int sampleRate)
    : m_fft(fftFactory(kFftSize))
    , m_sampleRate(sampleRate)
    , m_window(kFftSize)
    , m_history(kFftSize, 0.0f)
    , m_windowed(kFftSize)
    , m_bins(kFftSize / 2 + 1)
    , m_power(kFftSize / 2 + 1)
    , m_peaks(static_cast<size_t>(std::ceil(kWatchedSeconds * sampleRate / kHop)) + 1)
{
    for (size_t i = 0; i < kFftSize; ++i)
        m_window[i] = static_cast<float>(0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(i) / kFftSize));
}

void CHowlGuard::Reset()
{
    std::fill(m_history.begin(), m_history.end(), 0.0f);
    m_sinceAnalysis = 0;
    m_nextPeak = 0;
    m_peakCount = 0;
    m_howling = false;
}

bool CHowlGuard::Process(const float* stereo, size_t frames)
{
    for (size_t frame = 0; frame < frames && !m_howling; ++frame) {
        m_history[kFftSize - kHop + m_sinceAnalysis] = 0.5f * (stereo[frame * 2] + stereo[frame * 2 + 1]);
        if (++m_sinceAnalysis < kHop)
            continue;
        m_peaks[m_nextPeak] = Analyse();
        m_nextPeak = (m_nextPeak + 1) % m_peaks.size();
        m_peakCount = std::min(m_peakCount + 1, m_peaks.size());
        m_howling = Howls();
        std::copy(m_history.begin() + kHop, m_history.end(), m_history.begin());
        m_sinceAnalysis = 0;
    }
    return m_howling;
}

CHowlGuard::Peak CHowlGuard::Analyse()
{
    std::transform(m_history.begin(), m_history.end(), m_window.begin(), m_windowed.begin(), std::multiplies<>());
    m_fft->Forward(m_windowed.data(), m_bins.data());
    std::transform(
        m_bins.begin(), m_bins.end(), m_power.begin(), [](std::complex<float> bin) { return std::norm(bin); });
    const double binHz = double(m_sampleRate) / kFftSize;
    const size_t low = static_cast<size_t>(kLowestHz / binHz);
    const size_t high = std::min(static_cast<size_t>(kHighestHz / binHz), m_power.size() - 2);
    const size_t top = static_cast<size_t>(
        std::max_element(m_power.begin() + long(low), m_power.begin() + long(high) + 1) - m_power.begin());
    float other = 0;
    for (size_t bin = low; bin <= high; ++bin) {
        if (bin + kMainLobeBins < top || bin > top + kMainLobeBins)
            other = std::max(other, m_power[bin]);
    }
    constexpr double kTiny = 1e-20;
    const double before = std::log(m_power[top - 1] + kTiny);
    const double at = std::log(m_power[top] + kTiny);
    const double after = std::log(m_power[top + 1] + kTiny);
    const double curvature = before - 2 * at + after;
    const double offset = curvature < 0 ? 0.5 * (before - after) / curvature : 0.0;
    Peak peak;
    peak.frequency = (double(top) + offset) * binHz;
    peak.levelDb = 10 * std::log10(double(m_power[top - 1]) + m_power[top] + m_power[top + 1] + kTiny);
    // A Hann-windowed sine of amplitude A peaks at A·N/4.
    const double amplitude = 4 * std::sqrt(double(m_power[top])) / kFftSize;
    peak.narrow = amplitude >= kQuietestAmplitude && m_power[top] >= other * std::pow(10.0, kNarrowDb / 10) + kTiny;
    return peak;
}

bool CHowlGuard::Howls() const
{
    if (m_peakCount < m_peaks.size())
        return false;
    const size_t count = m_peaks.size();
    auto at = [this, count](size_t i) -> const Peak& { return m_peaks[(m_nextPeak + i) % count]; };
    double lowestHz = 1e9, highestHz = 0, loudestDb = -1e9;
    for (size_t i = 0; i < count; ++i) {
        const Peak& peak = at(i);
        if (!peak.narrow || peak.levelDb < loudestDb - kDipDb)
            return false;
        lowestHz = std::min(lowestHz, peak.frequency);
        highestHz = std::max(highestHz, peak.frequency);
        loudestDb = std::max(loudestDb, peak.levelDb);
    }
    if (highestHz - lowestHz > kSteadyHz || at(count - 1).levelDb - at(0).levelDb < kRiseDb)
        return false;
    for (size_t part = 0; part < kRisingParts; ++part) {
        const size_t from = part * (count - 1) / kRisingParts;
        const size_t to = (part + 1) * (count - 1) / kRisingParts;
        if (at(to).levelDb - at(from).levelDb < kRiseDb / 4)
            return false;
    }
    return true;
}

} // namespace linlangok
