#include "tests/core/controller/FakePerformance.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace linlangok {
namespace {

// Half the voice, `latency` frames late and saying so; failing from its `failAfter`th block.
struct CHalvingEffect final : IVoiceEffect {
    void Process(const float* in, int, size_t frames, float* stereoOut) override
    {
        failed = failed || ++blocks > failAfter;
        for (size_t i = 0; i < frames * 2; ++i) {
            delayed.push_back(in[i] * 0.5f);
            stereoOut[i] = delayed.front();
            delayed.erase(delayed.begin());
        }
    }
    size_t LatencyFrames() const override { return delayed.size() / 2; }
    bool HasFailed() const override { return failed; }
    std::string FailureReason() const override { return failed ? "效果插件“半”已崩溃，已关闭。" : ""; }

    std::vector<float> delayed;
    size_t blocks = 0;
    size_t failAfter = 0;
    bool failed = false;
};

struct CHalvingEffects final : IVoiceEffects {
    std::vector<VoicePluginInfo> Plugins() const override { return {}; }
    std::vector<VoiceControlInfo> Controls(std::string_view) const override { return {}; }
    std::unique_ptr<IVoiceEffect> Start(const VoiceEffectChain& chain) const override
    {
        started.push_back(chain);
        auto effect = std::make_unique<CHalvingEffect>();
        effect->delayed.assign(2 * 300, 0.0f);
        effect->failAfter = failAfter;
        return effect;
    }

    size_t failAfter = 1000;
    mutable std::vector<VoiceEffectChain> started;
};

class PerformanceControllerTest : public ::testing::Test, protected test::CPerformanceRig {
protected:
    std::filesystem::path AuditionFile() const { return devices.home.Path() / ".$$performance1.wav"; }
};

TEST_F(PerformanceControllerTest, AlignmentReadsInTenthsOfAMillisecondAndAScoredTakeSaysItsScore)
{
    const std::pair<double, std::u16string_view> rows[]
        = {{120.0, u"120.0"}, {87.04, u"87.0"}, {4.96, u"5.0"}, {-0.04, u"0.0"}, {-12.25, u"-12.3"}};
    for (const auto& [milliseconds, shown] : rows) {
        performance.alignmentMs = milliseconds;
        EXPECT_EQ(controller.AlignmentText(), u"人声已对齐伴奏 (校正 " + std::u16string(shown) + u" 毫秒)")
            << milliseconds;
    }
    performance.score = 88;
    EXPECT_EQ(controller.AlignmentText(), u"人声已对齐伴奏 (校正 -12.3 毫秒)　得分 88");
}

// Asking again before an existing file is overwritten is AskSavePathConfirmingOverwrite's, checked
// with the recording's save in Mp3StreamWriterTest.
TEST_F(PerformanceControllerTest, SaveWritesTheChosenPathAtTheSlidersBalance)
{
    EXPECT_EQ(controller.VoicePercent(), 50);
    for (const auto& [moved, kept] : {std::pair {130, 100}, {-5, 0}, {80, 80}}) {
        controller.SetVoicePercent(moved);
        EXPECT_EQ(controller.VoicePercent(), kept);
    }

    const std::filesystem::path target = devices.home.Path() / "mix.wav";
    devices.prompts.m_paths.push_back(target);
    controller.Save();
    EXPECT_EQ(performance.writes, (std::vector<test::CFakePerformance::Written> {{target, 80}}));
    EXPECT_TRUE(devices.prompts.m_messages.empty());
}

TEST_F(PerformanceControllerTest, AFailedWriteIsShownWithThePathAndItsReason)
{
    performance.failure = "Can't write MP3 file.";
    const std::filesystem::path target = devices.home.Path() / "mix.mp3";
    devices.prompts.m_paths.push_back(target);
    controller.Save();
    ASSERT_EQ(devices.prompts.m_messages.size(), 1u);
    EXPECT_EQ(devices.prompts.MessageTexts()[0], "无法保存文件 " + target.string() + "\nCan't write MP3 file.");

    // An audition that cannot be mixed does not start.
    controller.ToggleAudition();
    EXPECT_FALSE(controller.IsAuditioning());
    EXPECT_EQ(devices.prompts.MessageTexts().back(), "Can't write MP3 file.");
}

TEST_F(PerformanceControllerTest, AuditionTogglesAndStopsOnCloseAndAtItsEnd)
{
    controller.SetVoicePercent(30);
    EXPECT_EQ(controller.AuditionButtonText(), u"试听");
    controller.ToggleAudition();
    EXPECT_TRUE(controller.IsAuditioning());
    EXPECT_EQ(controller.AuditionButtonText(), u"停止");
    EXPECT_EQ(performance.writes, (std::vector<test::CFakePerformance::Written> {{AuditionFile(), 30}}));
    EXPECT_EQ(player.EndMilliseconds(), 200);

    controller.ToggleAudition();
    EXPECT_FALSE(controller.IsAuditioning());
    EXPECT_EQ(controller.AuditionButtonText(), u"试听");
    EXPECT_FALSE(player.IsOpen());
    EXPECT_FALSE(std::filesystem::exists(AuditionFile()));

    controller.ToggleAudition();
    controller.Close();
    EXPECT_FALSE(controller.IsAuditioning());
    EXPECT_FALSE(player.IsOpen());
    EXPECT_FALSE(std::filesystem::exists(AuditionFile()));

    // Played to its end, the next poll stops it.
    controller.ToggleAudition();
    for (int step = 0; step < 1000 && player.PositionMilliseconds() < player.EndMilliseconds(); ++step) {
        controller.AuditionTick();
        EXPECT_TRUE(controller.IsAuditioning());
        devices.Advance(20);
        std::this_thread::sleep_for(std::chrono::milliseconds(1)); // the decode thread keeps ahead
    }
    controller.AuditionTick();
    EXPECT_FALSE(controller.IsAuditioning());
    EXPECT_FALSE(std::filesystem::exists(AuditionFile()));
    EXPECT_TRUE(devices.prompts.m_messages.empty());
}

TEST(TakePerformance, TheVoiceIsHeardThroughTheEffectInTimeAndAFailingOneLeavesTheMixDry)
{
    test::CTemporaryFolder folder;
    std::string voice(44100 * 4, '\0');
    for (size_t frame = 0; frame < 44100; ++frame) {
        const auto sample = static_cast<std::int16_t>((frame % 200) * 100 - 10000);
        std::memcpy(voice.data() + frame * 4, &sample, 2);
        std::memcpy(voice.data() + frame * 4 + 2, &sample, 2);
    }
    CHalvingEffects effects;
    CVoiceEffectChoice choice(&effects);
    choice.SetText("lv2 urn:test:half gain=0.5");
    const CTakePerformance performance(
        std::make_unique<CPerformanceTake>(folder.WriteFile("music.tmp", std::string(44100 * 4, '\0')),
            folder.WriteFile("voice.tmp", voice), folder.Path() / "audition.wav", 0, 0),
        nullptr, &choice);
    const CTakePerformance dryPerformance(
        std::make_unique<CPerformanceTake>(folder.WriteFile("music2.tmp", std::string(44100 * 4, '\0')),
            folder.WriteFile("voice2.tmp", voice), folder.Path() / "audition2.wav", 0, 0),
        nullptr);

    EXPECT_EQ(dryPerformance.Write(folder.Path() / "dry.wav", 100), "");
    EXPECT_EQ(performance.Write(folder.Path() / "wet.wav", 100), "");
    ASSERT_EQ(effects.started, std::vector<VoiceEffectChain>(1, {{"urn:test:half", {{"gain", 0.5f}}}}));
    const auto dry = test::ReadAudioFile(folder.Path() / "dry.wav").samples;
    const auto wet = test::ReadAudioFile(folder.Path() / "wet.wav").samples;
    // In time despite the effect's latency, with room for its tail; the take is still the dry one.
    ASSERT_EQ(wet.size(), dry.size() + 3 * 44100 * 2);
    for (size_t i = 0; i < dry.size(); ++i)
        ASSERT_NEAR(wet[i], dry[i] / 2, 1) << i;

    effects.failAfter = 10;
    EXPECT_EQ(performance.Write(folder.Path() / "failed.wav", 100), "效果插件“半”已崩溃，已关闭。\n人声没有加效果。");
    EXPECT_EQ(test::ReadAudioFile(folder.Path() / "failed.wav").samples, dry);
    EXPECT_TRUE(choice.IsDry());
    EXPECT_EQ(choice.Text(), "无");
    // 无 starts nothing and mixes exactly as without effects.
    EXPECT_EQ(performance.Write(folder.Path() / "none.wav", 100), "");
    EXPECT_EQ(test::ReadWholeFile(folder.Path() / "none.wav"), test::ReadWholeFile(folder.Path() / "dry.wav"));
    EXPECT_EQ(effects.started.size(), 2u);
}

TEST(VoiceEffectChoice, IsKeptAsTextAndAnythingElseIsDry)
{
    CVoiceEffectChoice choice(nullptr);
    for (const std::string_view text : {"KTV", "大厅", "lv2 urn:test:half gain=0.5 mix=-2.25", "无"}) {
        choice.SetText(text);
        EXPECT_EQ(choice.Text(), text);
    }
    choice.SetText("lv2 urn:test:half");
    EXPECT_EQ(choice.Name(), CVoiceEffectChoice::kMoreEffects);
    for (const std::string_view text : {"", "ktv", "lv2 ", "lv2 urn:x gain", "lv2 urn:x gain=1e400", "lv2 urn:x =1",
             "lv2 urn:x gain=nan", "lv2 urn:x gain=1x"}) {
        choice.SetText("KTV");
        choice.SetText(text);
        EXPECT_TRUE(choice.IsDry()) << text;
    }
    std::string why;
    choice.SetText("KTV");
    EXPECT_EQ(choice.Start(why), nullptr); // nothing installed to run it
}

} // namespace
} // namespace linlangok
