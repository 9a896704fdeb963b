#include "core/performance/VoiceEffectChain.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace linlangok {
namespace {

// Every sample times `scale` plus `offset`, each side from its own input channel; remembers the
// channels it was given and its longest block.
class CLinearStage final : public IVoiceEffect {
public:
    CLinearStage(float scale, float offset, size_t latency, std::string failure = {})
        : m_scale(scale)
        , m_offset(offset)
        , m_latency(latency)
        , m_failure(std::move(failure))
    {
    }
    void Process(const float* in, int channels, size_t frames, float* stereoOut) override
    {
        lastChannels = channels;
        longestBlock = std::max(longestBlock, frames);
        for (size_t sample = 0; sample < frames * 2; ++sample)
            stereoOut[sample]
                = in[sample / 2 * size_t(channels) + (channels == 2 ? sample % 2 : 0)] * m_scale + m_offset;
    }
    size_t LatencyFrames() const override { return m_latency; }
    bool HasFailed() const override { return !m_failure.empty(); }
    std::string FailureReason() const override { return m_failure; }

    int lastChannels = 0;
    size_t longestBlock = 0;

private:
    float m_scale, m_offset;
    size_t m_latency;
    std::string m_failure;
};

TEST(VoiceEffectChain, RunsTheStagesInTurnInPiecesOfItsBlock)
{
    std::vector<std::unique_ptr<IVoiceEffect>> stages;
    auto* first = static_cast<CLinearStage*>(stages.emplace_back(std::make_unique<CLinearStage>(2, 0, 3)).get());
    auto* second = static_cast<CLinearStage*>(stages.emplace_back(std::make_unique<CLinearStage>(1, 1, 0)).get());
    auto* third = static_cast<CLinearStage*>(stages.emplace_back(std::make_unique<CLinearStage>(-1, 0, 5)).get());
    CVoiceEffectChain chain(std::move(stages), 4);
    const std::vector<float> voice {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::vector<float> out(voice.size() * 2);
    chain.Process(voice.data(), 1, voice.size(), out.data());
    for (size_t frame = 0; frame < voice.size(); ++frame) {
        EXPECT_EQ(out[frame * 2], -(voice[frame] * 2 + 1));
        EXPECT_EQ(out[frame * 2 + 1], -(voice[frame] * 2 + 1));
    }
    EXPECT_EQ(first->lastChannels, 1);
    EXPECT_EQ(second->lastChannels, 2);
    EXPECT_EQ(third->longestBlock, 4u);
    EXPECT_EQ(chain.LatencyFrames(), 8u);
    EXPECT_FALSE(chain.HasFailed());
    EXPECT_EQ(chain.FailureReason(), "");
}

TEST(VoiceEffectChain, FailsForTheFirstFailedStagesReason)
{
    std::vector<std::unique_ptr<IVoiceEffect>> stages;
    stages.push_back(std::make_unique<CLinearStage>(1, 0, 0));
    stages.push_back(std::make_unique<CLinearStage>(1, 0, 0, "B"));
    stages.push_back(std::make_unique<CLinearStage>(1, 0, 0, "C"));
    const CVoiceEffectChain chain(std::move(stages));
    EXPECT_TRUE(chain.HasFailed());
    EXPECT_EQ(chain.FailureReason(), "B");
    EXPECT_THROW(CVoiceEffectChain({}), std::invalid_argument);
}

} // namespace
} // namespace linlangok
