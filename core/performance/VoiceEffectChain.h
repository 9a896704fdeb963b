#pragma once

#include "core/performance/VoiceEffect.h"

#include <memory>
#include <vector>

namespace linlangok {

// What a failed effect outputs: its input as stereo (mono on both sides), non-finite samples as
// silence.
void PassVoiceDry(const float* in, int channels, size_t frames, float* stereoOut);

// IVoiceEffect over effects the voice goes through in turn: the first gets the caller's channels,
// the others the stereo output of the one before. Blocks longer than the maximum given are
// processed in pieces of it; the buffers between the stages are made here, so Process does not
// allocate. The output lags by the stages' latencies added up; the chain has failed when a stage
// has, for that stage's reason, and that stage passes its input on from then.
class CVoiceEffectChain final : public IVoiceEffect {
public:
    static constexpr size_t kDefaultMaximumFrames = 1024;

    // Raises std::invalid_argument when there is no stage or the maximum is 0.
    explicit CVoiceEffectChain(
        std::vector<std::unique_ptr<IVoiceEffect>> stages, size_t maximumFrames = kDefaultMaximumFrames);

    void Process(const float* in, int channels, size_t frames, float* stereoOut) override;
    size_t LatencyFrames() const override;
    bool HasFailed() const override;
    std::string FailureReason() const override;

private:
    std::vector<std::unique_ptr<IVoiceEffect>> m_stages;
    size_t m_maximumFrames;
    std::vector<float> m_between[2]; // stereo, between one stage and the next
};

} // namespace linlangok
