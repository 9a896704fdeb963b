#include "tests/core/controller/FakePerformance.h"

#include <gtest/gtest.h>

#include <thread>

namespace linlangok {
namespace {

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

} // namespace
} // namespace linlangok
