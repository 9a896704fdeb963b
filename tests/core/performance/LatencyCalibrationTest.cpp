#include "core/performance/LatencyCalibration.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

namespace linlangok {
namespace {

// `frames` of noise (Gaussian, `noise` RMS) and a 50 Hz hum, with the click train `lag` frames in
// at `gain`, rounded to 16 bits as an input delivers it.
std::vector<float> Captured(size_t lag, float gain, float noise, float hum)
{
    std::mt19937 random(7);
    std::normal_distribution<float> gauss(0.0f, noise);
    std::vector<float> captured(ClickTrain::kFrames + kLongestRoundTripFrames);
    for (size_t n = 0; n < captured.size(); ++n) {
        float sample = gauss(random) + hum * static_cast<float>(std::sin(2 * std::numbers::pi * 50 * n / 44100.0));
        if (n >= lag)
            sample += gain * ClickTrain::Sample(n - lag);
        captured[n] = std::round(sample * 32768.0f) / 32768.0f;
    }
    return captured;
}

TEST(LatencyCalibration, FindsTheTrainInNoiseAndInAQuietInputButNotInNoiseAlone)
{
    struct Case {
        size_t lag;
        float gain, noise, hum;
    };
    for (const Case& heard : {Case {3837, 1.0f, 0, 0}, Case {0, 1.0f, 0, 0}, Case {44100, 1.0f, 0, 0},
             Case {5000, 0.002f, 0, 0}, Case {2500, 0.5f, 0.1f, 0.3f}, Case {10000, 0.01f, 0.002f, 0}}) {
        const auto found = FindClickTrain(Captured(heard.lag, heard.gain, heard.noise, heard.hum));
        ASSERT_TRUE(found) << heard.lag << " at " << heard.gain;
        EXPECT_NEAR(*found, static_cast<double>(heard.lag), 0.5) << heard.lag << " at " << heard.gain;
    }
    for (const Case& silent : {Case {0, 0, 0, 0}, Case {0, 0, 0.2f, 0}, Case {0, 0, 0.01f, 0.5f}})
        EXPECT_FALSE(FindClickTrain(Captured(0, 0, silent.noise, silent.hum))) << silent.noise << ' ' << silent.hum;
    EXPECT_FALSE(FindClickTrain({}));
}

// The correction is kept with the devices it was measured on, and holds only for them.
TEST(LatencyCalibration, CorrectionIsKeptInLatencyIniForItsDevices)
{
    test::CTemporaryFolder folder;
    test::CScriptedUserPrompts prompts;
    EXPECT_FALSE(LoadLatencyCorrection(folder.Path(), prompts));
    ASSERT_TRUE(SaveLatencyCorrection(folder.Path(), {87.007, 57.25, "USB Audio: 声卡", "Mic\nin"}));
    const auto loaded = LoadLatencyCorrection(folder.Path(), prompts);
    ASSERT_TRUE(loaded);
    EXPECT_DOUBLE_EQ(loaded->roundTripMs, 87.007);
    EXPECT_DOUBLE_EQ(loaded->correctionMs, 57.25);
    EXPECT_EQ(loaded->output, "USB Audio: 声卡");
    EXPECT_TRUE(loaded->AppliesTo("USB Audio: 声卡", "Mic\nin"));
    EXPECT_FALSE(loaded->AppliesTo("null", "Mic\nin"));
    EXPECT_FALSE(loaded->AppliesTo("USB Audio: 声卡", "loopback"));
    // A file from before the devices were kept holds for every pair.
    EXPECT_TRUE((LatencyCorrection {87, 57, {}, {}}).AppliesTo("null", "loopback"));
}

TEST(LatencyCalibration, LatencyCorrectionOutOfRangeIsIgnored)
{
    test::CTemporaryFolder folder;
    test::CScriptedUserPrompts prompts;
    for (const std::string correction : {"1e18", "1e300", "-1e8", "10000.5"}) {
        folder.WriteFile("Latency.ini", "RoundTripMs=87\nCorrectionMs=" + correction + "\n");
        EXPECT_FALSE(LoadLatencyCorrection(folder.Path(), prompts)) << correction;
        EXPECT_NE(prompts.MessageTexts().back().find("CorrectionMs=" + correction + " 超出 ±10 秒"), std::string::npos);
    }
    folder.WriteFile("Latency.ini", "RoundTripMs=-10000\nCorrectionMs=10000\n");
    EXPECT_TRUE(LoadLatencyCorrection(folder.Path(), prompts));
    EXPECT_EQ(prompts.m_messages.size(), 4u);
}

} // namespace
} // namespace linlangok
