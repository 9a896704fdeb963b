#include "core/performance/VoiceEffectChain.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace linlangok {
namespace {

// Each side times `scale` plus `offset`; remembers the channels it was given and its longest block.
struct CLinearStage final : IVoiceEffect {
    CLinearStage(float scale, float offset, size_t latency, std::string failure = {})
        : scale(scale)
        , offset(offset)
        , latency(latency)
        , failure(std::move(failure))
    {
    }
    void Process(const float* in, int channels, size_t frames, float* stereoOut) override
    {
        lastChannels = channels;
        longestBlock = std::max(longestBlock, frames);
        for (size_t sample = 0; sample < frames * 2; ++sample)
            stereoOut[sample] = in[sample / 2 * size_t(channels) + (channels == 2 ? sample % 2 : 0)] * scale + offset;
    }
    size_t LatencyFrames() const override { return latency; }
    bool HasFailed() const override { return !failure.empty(); }
    std::string FailureReason() const override { return failure; }

    float scale, offset;
    size_t latency;
    std::string failure;
    int lastChannels = 0;
    size_t longestBlock = 0;
};

TEST(VoiceEffectChain, RunsTheStagesInTurnInPiecesOfItsBlock)
{
    std::vector<std::unique_ptr<IVoiceEffect>> stages;
    for (const auto& [scale, offset, latency] : {std::tuple {2.0f, 0.0f, 3}, {1.0f, 1.0f, 0}, {-1.0f, 0.0f, 5}})
        stages.push_back(std::make_unique<CLinearStage>(scale, offset, latency));
    const auto& first = static_cast<const CLinearStage&>(*stages[0]);
    const auto& last = static_cast<const CLinearStage&>(*stages[2]);
    CVoiceEffectChain chain(std::move(stages), 4);
    const std::vector<float> voice {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::vector<float> out(voice.size() * 2);
    chain.Process(voice.data(), 1, voice.size(), out.data());
    for (size_t sample = 0; sample < out.size(); ++sample)
        EXPECT_EQ(out[sample], -(voice[sample / 2] * 2 + 1));
    EXPECT_EQ(first.lastChannels, 1);
    EXPECT_EQ(last.lastChannels, 2);
    EXPECT_EQ(last.longestBlock, 4u);
    EXPECT_EQ(chain.LatencyFrames(), 8u);
    EXPECT_FALSE(chain.HasFailed());
}

TEST(VoiceEffectChain, FailsForTheFirstFailedStagesReason)
{
    std::vector<std::unique_ptr<IVoiceEffect>> stages;
    for (const char* failure : {"", "B", "C"})
        stages.push_back(std::make_unique<CLinearStage>(1, 0, 0, failure));
    const CVoiceEffectChain chain(std::move(stages));
    EXPECT_TRUE(chain.HasFailed());
    EXPECT_EQ(chain.FailureReason(), "B");
    EXPECT_THROW(CVoiceEffectChain({}), std::invalid_argument);
}

} // namespace
} // namespace linlangok
