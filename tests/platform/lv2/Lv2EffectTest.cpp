#include "platform/lv2/Lv2Effect.h"
#include "platform/lv2/Lv2Plugins.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <stdexcept>
#include <vector>

namespace linlangok {
namespace {

constexpr const char* kRoom = "urn:dragonfly:room";

bool RoomInstalled()
{
    return std::filesystem::exists("/usr/lib/lv2/DragonflyRoomReverb.lv2/manifest.ttl");
}

// The energy of the left channel over frames first..last.
double Energy(const std::vector<float>& stereo, size_t first, size_t last)
{
    double sum = 0;
    for (size_t frame = first; frame < last; ++frame)
        sum += double(stereo[frame * 2]) * stereo[frame * 2];
    return sum;
}

TEST(Lv2Plugins, ListsTheInstalledReverbAndRefusesAnUnknownUri)
{
    if (!RoomInstalled())
        GTEST_SKIP() << "dragonfly-reverb-lv2 is not installed";
    const CLv2Plugins plugins;
    const std::vector<VoicePluginInfo> found = plugins.VoiceEffectPlugins();
    EXPECT_NE(std::find(found.begin(), found.end(), VoicePluginInfo {kRoom, "Dragonfly Room Reverb", "Reverb Plugin"}),
        found.end());
    try {
        plugins.Instantiate("urn:linlangok:none");
        ADD_FAILURE() << "an unknown plugin was made";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "找不到效果插件“urn:linlangok:none”。");
    }
}

TEST(Lv2Effect, RoomReverbGivesAFiniteDecayingTailInAnyBlockSize)
{
    if (!RoomInstalled())
        GTEST_SKIP() << "dragonfly-reverb-lv2 is not installed";
    const auto room = CLv2Plugins().Instantiate(kRoom);
    EXPECT_TRUE(room->SetControl("dry_level", -5)); // clamped to 0: the reverb alone
    EXPECT_FALSE(room->SetControl("no_such_control", 1));
    std::vector<float> voice(44100 * 3);
    voice[0] = 1;
    std::vector<float> out(voice.size() * 2);
    for (size_t done = 0; done < voice.size(); done += 100) // not a multiple of the plugin's block
        room->Process(voice.data() + done, 1, std::min<size_t>(100, voice.size() - done), out.data() + done * 2);
    EXPECT_FALSE(room->HasFailed());
    for (const float sample : out)
        ASSERT_TRUE(std::isfinite(sample));
    const double early = Energy(out, 441, 4410); // 10..100 ms
    EXPECT_GT(early, 1e-3);
    EXPECT_LT(Energy(out, 44100, 48510), early * 1e-3); // 1.0..1.1 s
    EXPECT_EQ(room->LatencyFrames(), 0u);
}

TEST(Lv2Effect, NanInputSwitchesTheEffectToItsDryInput)
{
    if (!RoomInstalled())
        GTEST_SKIP() << "dragonfly-reverb-lv2 is not installed";
    const auto room = CLv2Plugins().Instantiate(kRoom);
    std::vector<float> voice(1024, 0.25f);
    voice[300] = std::numeric_limits<float>::quiet_NaN();
    std::vector<float> out(voice.size() * 2);
    room->Process(voice.data(), 1, voice.size(), out.data());
    EXPECT_TRUE(room->HasFailed());
    for (const float sample : out)
        ASSERT_TRUE(std::isfinite(sample));
    EXPECT_EQ(out[300 * 2], 0.0f);
    EXPECT_EQ(out[1000 * 2], 0.25f);
    EXPECT_EQ(out[1000 * 2 + 1], 0.25f);
}

} // namespace
} // namespace linlangok
