#include "core/mixer/MixerArithmetic.h"

#include <gtest/gtest.h>

namespace linlangok {
namespace {

const FaderScale kFullScale = *MakeFaderScale(0, 65535, 65535);

TEST(FaderScale, StepsStayWithinTheSpan)
{
    const auto coarse = MakeFaderScale(0, 65535, 31);
    ASSERT_TRUE(coarse);
    EXPECT_EQ(coarse->span, 65535);
    EXPECT_EQ(coarse->stepSize, 2114);
    EXPECT_EQ(MakeFaderScale(0, 10, 0)->stepSize, 10); // no steps: one step
    EXPECT_EQ(MakeFaderScale(0, 10, 1000)->steps, 10); // more steps than values: no zero step size
    EXPECT_FALSE(MakeFaderScale(5, 5, 10));
}

TEST(FaderPosition, FollowsTheKind)
{
    double ratio = 0;
    const FaderChannels values {40000, 20000, true};
    EXPECT_EQ(FaderPosition(EFaderKind::Left, kFullScale, values, ratio), 40000);
    EXPECT_EQ(FaderPosition(EFaderKind::Right, kFullScale, values, ratio), 20000);
    EXPECT_EQ(FaderPosition(EFaderKind::Main, kFullScale, values, ratio), 40000);
    EXPECT_DOUBLE_EQ(ratio, -0.5);
    EXPECT_EQ(FaderPosition(EFaderKind::Balance, kFullScale, values, ratio), 16383); // trunc(0.5 × 65535 × 0.5)
    EXPECT_EQ(FaderPosition(EFaderKind::Main, kFullScale, {30000, 0, false}, ratio), 30000);
    EXPECT_DOUBLE_EQ(ratio, -0.5); // a one-channel line leaves the ratio alone
    EXPECT_EQ(FaderPosition(EFaderKind::Balance, kFullScale, {0, 0, true}, ratio), std::nullopt);
    const auto coarse = *MakeFaderScale(0, 65535, 31);
    EXPECT_EQ(FaderPosition(EFaderKind::Main, coarse, {65535, 0, true}, ratio), 31); // not 31.0009…
}

TEST(FaderValues, TheMainFaderKeepsTheBalanceAndTheBalanceFaderTheLouderChannel)
{
    const FaderChannels quieterRight = FaderValues(EFaderKind::Main, kFullScale, 30001, {40000, 20000, true}, -0.5);
    EXPECT_EQ(quieterRight.left, 30001);
    EXPECT_EQ(quieterRight.right, 15000);
    const FaderChannels quieterLeft = FaderValues(EFaderKind::Main, kFullScale, 10000, {1, 2, true}, 0.25);
    EXPECT_EQ(quieterLeft.right, 10000);
    EXPECT_EQ(quieterLeft.left, 7500);
    const FaderChannels mono = FaderValues(EFaderKind::Main, kFullScale, 123, {9, 0, false}, -0.5);
    EXPECT_EQ(mono.left, 123);
    EXPECT_FALSE(mono.stereo);
    EXPECT_EQ(FaderValues(EFaderKind::Right, kFullScale, 77, {5, 6, true}, 0).left, 5);

    // The balance fader keeps the louder channel: at a quarter of the span the right channel gets
    // half of the louder value.
    const FaderChannels left
        = FaderValues(EFaderKind::Balance, *MakeFaderScale(0, 65532, 65532), 16383, {60000, 10000, true}, 0);
    EXPECT_EQ(left.right, 30000);
    EXPECT_EQ(left.left, 60000);
    const FaderChannels right
        = FaderValues(EFaderKind::Balance, *MakeFaderScale(0, 65532, 65532), 49149, {60000, 10000, true}, 0);
    EXPECT_EQ(right.right, 60000);
    EXPECT_EQ(right.left, 30000);
}

TEST(VolumePercent, StaysWithinTheBounds)
{
    EXPECT_EQ(VolumePercent(32768, 0, 65535), 50);
    EXPECT_EQ(VolumePercent(65535, 0, 65535), 100);
    EXPECT_EQ(VolumePercent(70000, 0, 65535), 100);
    EXPECT_EQ(VolumePercent(-5, 0, 65535), 0);
    EXPECT_EQ(VolumePercent(-32, -64, 0), 50);
    EXPECT_EQ(VolumeForPercent(12, 0, 65535), 7864);
    EXPECT_EQ(VolumeForPercent(150, 0, 65535), 65535);
    EXPECT_EQ(VolumeForPercent(-1, 10, 20), 10);
}

// A slider moved to 25 % showed 24 % once the mixer reported the value back, and its up key
// could not get past such a step.
TEST(VolumePercent, EveryPercentWrittenReadsBackUnchanged)
{
    for (const auto& [minimum, maximum] : {std::pair<int, int>(0, 65535), {-6400, 0}, {0, 255}}) {
        for (int percent = 0; percent <= 100; ++percent)
            EXPECT_EQ(VolumePercent(VolumeForPercent(percent, minimum, maximum), minimum, maximum), percent)
                << minimum << " … " << maximum;
    }
}

} // namespace
} // namespace linlangok
