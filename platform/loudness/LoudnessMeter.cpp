#include "platform/loudness/LoudnessMeter.h"

#include "core/audio/SampleFormat.h"
#include "core/session/SongLoudness.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace linlangok {
namespace {

ebur128_state* State(void* state)
{
    return static_cast<ebur128_state*>(state);
}

} // namespace

CLoudnessMeter::CLoudnessMeter(int sampleRate, bool truePeak)
    : m_state(ebur128_init(2, static_cast<unsigned long>(sampleRate), EBUR128_MODE_I | EBUR128_MODE_HISTOGRAM))
    , m_truePeaks(truePeak)
{
    if (!m_state)
        throw std::runtime_error("cannot start the loudness meter");
}

CLoudnessMeter::~CLoudnessMeter()
{
    ebur128_state* state = State(m_state);
    ebur128_destroy(&state);
}

void CLoudnessMeter::Add(const float* interleaved, size_t frames)
{
    ebur128_add_frames_float(State(m_state), interleaved, frames);
    Detect(interleaved, frames);
}

void CLoudnessMeter::Detect(const float* interleaved, size_t frames)
{
    if (!m_truePeaks) {
        for (size_t i = 0; i < 2 * frames; ++i)
            m_truePeak = std::max(m_truePeak, std::abs(interleaved[i]));
        return;
    }
    std::array<float, CTruePeakDetector::kMaximumBlockFrames> peaks;
    for (size_t done = 0; done < frames;) {
        const size_t block = std::min(frames - done, peaks.size());
        m_detector.Process(interleaved + 2 * done, block, peaks.data());
        m_truePeak = std::max(m_truePeak, *std::max_element(peaks.begin(), peaks.begin() + block));
        done += block;
    }
}

std::optional<LoudnessMeasure> CLoudnessMeter::Measure()
{
    // Silence after the end brings out the peaks of the last frames.
    const std::array<float, 2 * CTruePeakDetector::kDelayFrames> silence {};
    Detect(silence.data(), CTruePeakDetector::kDelayFrames);
    double integrated = 0.0;
    if (ebur128_loudness_global(State(m_state), &integrated) != EBUR128_SUCCESS)
        return std::nullopt;
    const LoudnessMeasure measure {integrated, 20.0 * std::log10(std::max(m_truePeak, 1e-6f))};
    if (!IsPlausibleMeasure(measure))
        return std::nullopt;
    return measure;
}

CLoudnessRenderProbe::CLoudnessRenderProbe()
    : m_meter(kStreamSampleRate, false)
{
}

double CLoudnessRenderProbe::LevelingGainDb()
{
    return SongLevelingGainDb(ESongKind::Midi, m_meter.Measure());
}

} // namespace linlangok
