#pragma once

#include "core/playback/AudioStretcher.h"

#include <memory>
#include <vector>

namespace RubberBand {
class RubberBandStretcher;
}

namespace linlangok {

// IAudioStretcher over librubberband in real-time mode, with its finer (R3) engine on its short
// window: exact pitch for music at a small share of one core, at the song's own level. Formants
// move with the key: kept in place, they would weigh each shifted partial by the envelope at its
// old frequency, which costs a tone or a whole song several decibels. The channels are stretched
// together, so the pairs of a song with two tracks stay in step. One processing thread, its caller's.
class CRubberBandStretcher final : public IAudioStretcher {
public:
    explicit CRubberBandStretcher(int channels);
    ~CRubberBandStretcher() override;

    CRubberBandStretcher(const CRubberBandStretcher&) = delete;
    CRubberBandStretcher& operator=(const CRubberBandStretcher&) = delete;

    void Restart(double pitchScale, double timeRatio) override;
    size_t StartPad() const override;
    size_t StartDelay() const override;
    size_t FramesRequired() const override;
    void Process(const float* samples, size_t frames, bool final) override;
    size_t Available() const override;
    size_t Retrieve(float* samples, size_t frames) override;

    // The factory for the player and the renderer.
    static std::unique_ptr<IAudioStretcher> Create(int channels);

private:
    std::unique_ptr<RubberBand::RubberBandStretcher> m_stretcher;
    std::vector<std::vector<float>> m_channels; // one chunk of each channel, apart
    std::vector<float*> m_pointers; // to each of them
};

} // namespace linlangok
