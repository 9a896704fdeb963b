#pragma once

#include "core/loudness/Loudness.h"
#include "core/loudness/TruePeakDetector.h"
#include "platform/render/RenderSong.h"

#include <array>
#include <cstddef>
#include <optional>

namespace linlangok {

// Measures a stereo stream per EBU R128: the integrated loudness with libebur128 (gated, from a
// histogram, so memory stays the same however long the stream), the true peak with the
// leveler's own detector (ITU-R BS.1770-4 Annex 2). One thread at a time.
class CLoudnessMeter {
public:
    // Raises std::runtime_error when libebur128 cannot start. Without truePeak the peak measured
    // is the samples' own, at a small part of the cost.
    explicit CLoudnessMeter(int sampleRate, bool truePeak = true);
    ~CLoudnessMeter();

    CLoudnessMeter(const CLoudnessMeter&) = delete;
    CLoudnessMeter& operator=(const CLoudnessMeter&) = delete;

    // Adds interleaved stereo frames (full scale ±1).
    void Add(const float* interleaved, size_t frames);

    // The measure of everything added, or nothing for silence (below the absolute gate).
    std::optional<LoudnessMeasure> Measure();

private:
    void Detect(const float* interleaved, size_t frames);

    void* m_state = nullptr; // ebur128_state*
    CTruePeakDetector m_detector;
    bool m_truePeaks;
    float m_truePeak = 0.0f;
};

// Levels a render by its own loudness, measured as songs are (RenderOptions::levelByProbe).
class CLoudnessRenderProbe final : public ILoudnessProbe {
public:
    CLoudnessRenderProbe();
    void Add(const float* interleaved, size_t frames) override { m_meter.Add(interleaved, frames); }
    double LevelingGainDb() override;

private:
    CLoudnessMeter m_meter;
};

} // namespace linlangok
