#include "platform/lv2/IsolatedVoiceEffect.h"

#include "core/performance/VoiceEffectChain.h"
#include "core/performance/VoicePresets.h"
#include "platform/lv2/EffectHostProtocol.h"
#include "platform/lv2/Lv2Plugins.h"
#include "platform/lv2/Lv2VoiceEffects.h"
#include "tests/support/TemporaryFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace linlangok {
namespace {

constexpr const char* kMisbehaving = "urn:linlangok:test:misbehaving";

class IsolatedVoiceEffect : public testing::Test {
protected:
    static void SetUpTestSuite() { setenv("LV2_PATH", LINLANGOK_TEST_LV2_FOLDER ":/usr/lib/lv2", 1); }
    static std::unique_ptr<CIsolatedVoiceEffect> Start(const VoiceEffectChain& chain)
    {
        return std::make_unique<CIsolatedVoiceEffect>(LINLANGOK_EFFECT_HOST_PATH, chain);
    }
    void SetUp() override
    {
        for (size_t frame = 0; frame < m_voice.size(); ++frame)
            m_voice[frame] = 0.3f * float(std::sin(frame * 0.0627));
    }
    std::vector<float> m_voice = std::vector<float>(44100);
};

TEST_F(IsolatedVoiceEffect, RoomReverbSoundsAsItDoesInThisProcess)
{
    if (!std::filesystem::exists("/usr/lib/lv2/DragonflyRoomReverb.lv2/manifest.ttl"))
        GTEST_SKIP() << "dragonfly-reverb-lv2 is not installed";
    const VoiceEffectChain chain = ChainOf(*FindVoicePreset("录音棚"));
    // The room draws on rand() as it starts, whose sequence the rooms before it in this process
    // have moved on; the host's starts afresh.
    std::srand(1);
    const auto here = CLv2Plugins().StartChain(chain);
    const auto isolated = Start(chain);
    std::vector<float> expected(m_voice.size() * 2), heard(expected.size());
    for (size_t done = 0; done < m_voice.size(); done += 4096) { // the same runs of 256 frames in both
        const size_t frames = std::min<size_t>(4096, m_voice.size() - done);
        here->Process(m_voice.data() + done, 1, frames, expected.data() + done * 2);
        isolated->Process(m_voice.data() + done, 1, frames, heard.data() + done * 2);
    }
    EXPECT_NE(expected[20000 * 2], m_voice[20000]); // the room is heard
    EXPECT_EQ(heard, expected);
}

TEST_F(IsolatedVoiceEffect, PluginThatMisbehavesFailsTheEffectAndTheVoiceGoesOnDry)
{
    for (const auto& [mode, reason] : {std::pair {1.0f, "输出了无效的声音"}, {2.0f, "没有响应"}, {3.0f, "已崩溃"}}) {
        SCOPED_TRACE(reason);
        const auto effect = Start({{kMisbehaving, {{"mode", mode}}}});
        std::vector<float> out(m_voice.size() * 2);
        effect->Process(m_voice.data(), 1, 300, out.data());
        effect->Process(m_voice.data() + 300, 1, m_voice.size() - 300, out.data() + 600);
        EXPECT_TRUE(effect->HasFailed());
        EXPECT_EQ(effect->FailureReason(), std::string("效果插件“Misbehaving”") + reason + "，已关闭。");
        for (size_t frame = 0; frame < m_voice.size(); ++frame)
            ASSERT_TRUE(out[frame * 2] == m_voice[frame] && out[frame * 2 + 1] == m_voice[frame]) << frame;
        EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1); // the host is reaped
    }
}

TEST_F(IsolatedVoiceEffect, MissingPluginIsNamedWithThePackageThatBringsIt)
{
    using testing::StrEq, testing::ThrowsMessage;
    const auto starting = [](const char* uri) { return [uri] { Start({{uri, {}}}); }; };
    EXPECT_THAT(starting("urn:dragonfly:none"),
        ThrowsMessage<std::runtime_error>(
            StrEq("找不到效果插件“urn:dragonfly:none”。请安装软件包 dragonfly-reverb-lv2。")));
    EXPECT_THAT(starting("urn:linlangok:none"),
        ThrowsMessage<std::runtime_error>(StrEq("找不到效果插件“urn:linlangok:none”。")));
}

TEST_F(IsolatedVoiceEffect, VoiceEffectsReadControlsAndStartTheHostTheEnvironmentNames)
{
    setenv("LINLANGOK_EFFECT_HOST", LINLANGOK_EFFECT_HOST_PATH, 1);
    const CLv2VoiceEffects effects(EffectHostPath());
    EXPECT_EQ(effects.Controls(kMisbehaving), std::vector<VoiceControlInfo>({{"mode", "Mode", 0, 3, 0, false, true}}));
    EXPECT_TRUE(effects.Controls("urn:linlangok:none").empty());
    const auto effect = effects.Start({{kMisbehaving, {{"mode", 0}}}});
    std::vector<float> out(m_voice.size() * 2);
    effect->Process(m_voice.data(), 1, m_voice.size(), out.data());
    EXPECT_EQ(out[1001 * 2 + 1], m_voice[1001]); // passed on, not failed
    EXPECT_THROW(effects.Start({}), std::invalid_argument);
}

TEST(EffectHost, RefusesAMalformedChainWithAReason)
{
    const std::string valid = effecthost::EncodeChain({{kMisbehaving, {{"mode", 0}}}});
    const std::string huge("\xff\xff\xff\x7f", 4);
    const std::string inputs[] = {"hello", valid.substr(0, valid.size() - 2), valid.substr(0, 8) + huge,
        valid.substr(0, 12) + huge, valid.substr(0, 12 + 4 + strlen(kMisbehaving)) + huge};
    const test::CTemporaryFolder folder;
    for (const std::string& input : inputs) {
        const std::string command = std::string(LINLANGOK_EFFECT_HOST_PATH) + " <"
            + folder.WriteFile("in", input).string() + " >" + (folder.Path() / "out").string();
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << status;
        const std::string answer = test::ReadWholeFile(folder.Path() / "out");
        ASSERT_GT(answer.size(), sizeof(effecthost::AnswerHeader)); // with the reason
        EXPECT_EQ(answer.substr(0, 4), std::string(4, '\0')); // not started
    }
}

} // namespace
} // namespace linlangok
