#pragma once

#include "core/scoring/PitchTracker.h"

#include <cstdint>
#include <string>

struct _aubio_pitch_t;

namespace linlangok {

// The voice's pitch through aubio: a window of kWindowSeconds, every hop of at most kHopSeconds,
// with aubio's own silence gate and a confidence below which a window counts as unvoiced (noise,
// breath, consonants). The method is one of aubio's: by default "yinfast", YIN computed through the
// FFT (yinfft's confidence is not usable in aubio 0.4), at a YIN threshold of kTolerance, which
// keeps high voices from being taken an octave up.
class CAubioPitchTracker final : public IPitchTracker {
public:
    static constexpr double kWindowSeconds = 0.040; // at least: 2,048 samples at 44.1 kHz, down to 44 Hz
    static constexpr double kHopSeconds = 0.0058; // 256 samples at 44.1 kHz
    static constexpr float kSilenceDb = -55;
    static constexpr float kTolerance = 0.1f;
    static constexpr float kMinimumConfidence = 0.7f;

    // Raises std::runtime_error when aubio has no such method or refuses the rate.
    explicit CAubioPitchTracker(
        int sampleRate, const std::string& method = "yinfast", float minimumConfidence = kMinimumConfidence);
    ~CAubioPitchTracker() override;

    CAubioPitchTracker(const CAubioPitchTracker&) = delete;
    CAubioPitchTracker& operator=(const CAubioPitchTracker&) = delete;

    int SampleRate() const override { return m_sampleRate; }
    size_t HopFrames() const override { return m_hopFrames; }
    void Push(const float* samples, size_t count, std::vector<PitchFrame>& frames) override;

private:
    int m_sampleRate;
    size_t m_windowFrames;
    size_t m_hopFrames;
    float m_minimumConfidence;
    _aubio_pitch_t* m_pitch = nullptr;
    std::vector<float> m_hop;
    size_t m_filled = 0; // samples of m_hop
    std::uint64_t m_hops = 0;
};

// The tracker's factory with its default method and confidence.
std::unique_ptr<IPitchTracker> MakeAubioPitchTracker(int sampleRate);

} // namespace linlangok
