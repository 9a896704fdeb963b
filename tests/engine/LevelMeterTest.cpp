#include "engine/LevelMeter.h"
#include "engine/LevelMeterCapture.h"
#include "tests/engine/RecordingFakeWaveIn.h"
#include "tests/support/ScriptedUserPrompts.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace linlangok {
namespace {

TEST(LevelMeter, LevelsRunFromSilenceToFullScale)
{
    struct Case {
        int16_t left, right;
        int expectedLeft, expectedRight;
    };
    const Case cases[] = {
        {0, 0, 0, 0}, {-32768, -32768, 256, 256}, {32767, -32767, 255, 255},
        {32767, 0, 255, 0}, // each channel's sum is divided by the samples of both
        {63, -64, 0, 0}, // |63| >> 6 is 0; 64 >> 6 = 1 per right sample, 128 / 256
        {6400, 12800, 50, 100}, // 100 × 128 / 256
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(testing::Message() << row.left << ", " << row.right);
        std::vector<int16_t> samples;
        for (size_t frame = 0; frame < 128; ++frame)
            samples.insert(samples.end(), {row.left, row.right});
        const MeterLevels levels = MeasureLevels(samples.data(), samples.size());
        EXPECT_EQ(levels.left, row.expectedLeft);
        EXPECT_EQ(levels.right, row.expectedRight);
    }
    EXPECT_EQ(MeasureLevels(nullptr, 0).left, 0);
    const int16_t odd[] = {-32768, 0, -32768}; // a lone last sample counts as left
    EXPECT_EQ(MeasureLevels(odd, 3).left, 341); // 1024 / 3
}

TEST(LevelMeter, HeldMarkerRisesAtOnceAndFallsByFour)
{
    EXPECT_EQ(HoldLevel(10, 200), 200);
    EXPECT_EQ(HoldLevel(200, 200), 200);
    EXPECT_EQ(HoldLevel(200, 199), 196);
    EXPECT_EQ(HoldLevel(2, 0), 0);
    MeterLevels held {200, 256};
    int buffers = 0;
    while (held.left > 0) {
        held = HoldLevels(held, {0, 0});
        ++buffers;
    }
    EXPECT_EQ(buffers, 50);
    EXPECT_EQ(held.right, 56);
}

TEST(LevelMeter, GeometrySplitsTheClientRectangle)
{
    const MeterRectangle client {0, 0, 37, 31};
    const MeterShapes full = LayOutMeter(client, {256, 0}, {256, 128});
    EXPECT_EQ(full.leftBar, (MeterRectangle {0, 2, 18, 31}));
    EXPECT_EQ(full.rightBar, (MeterRectangle {18, 33, 37, 31})); // below the bottom: nothing drawn
    EXPECT_EQ(full.leftMarker, (MeterRectangle {0, -2, 18, 1})); // trunc(−2), toward zero
    EXPECT_EQ(full.rightMarker, (MeterRectangle {18, 13, 37, 16})); // trunc(15.5 − 2)
    const MeterShapes offset = LayOutMeter({10, 5, 30, 105}, {64, 192}, {100, 0});
    EXPECT_EQ(offset.leftBar, (MeterRectangle {10, 77, 20, 105})); // 0.75 × 100 + 2
    EXPECT_EQ(offset.rightBar, (MeterRectangle {20, 27, 30, 105}));
    EXPECT_EQ(offset.leftMarker.top, 58); // trunc(60.9375 − 2)
    EXPECT_EQ(offset.rightMarker.top, 98);
    EXPECT_EQ(kMeterBarColour, (MeterColour {0x20, 0x80, 0xC0}));
    EXPECT_EQ(kMeterMarkerColour, (MeterColour {0xF0, 0xF0, 0xF0}));
}

TEST(LevelMeterCapture, EachBufferUpdatesLevelsAndIsQueuedAgain)
{
    test::CFakeWaveIn waveIn;
    test::CScriptedUserPrompts prompts;
    std::atomic<int> changes {0};
    CInputLevelMeterCapture meter(waveIn, prompts, [&] { changes++; });
    meter.Start();
    meter.Start(); // running: ignored
    ASSERT_TRUE(meter.IsRunning());
    EXPECT_EQ(waveIn.LastDevice(), kWaveMapper);
    waveIn.Capture(128, 6400, -32768);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(meter.Levels().left, 50);
    EXPECT_EQ(meter.Levels().right, 256);
    EXPECT_EQ(meter.HeldLevels().right, 256);
    waveIn.Capture(128 * 3, 0, 0);
    EXPECT_EQ(changes, 4);
    EXPECT_EQ(meter.Levels().right, 0);
    EXPECT_EQ(meter.HeldLevels().right, 244);
    EXPECT_EQ(waveIn.Queued(), 2u);
    meter.Stop();
    EXPECT_FALSE(meter.IsRunning());
    EXPECT_FALSE(waveIn.IsOpen());
    EXPECT_EQ(waveIn.Queued(), 0u);
    meter.Stop();
    EXPECT_TRUE(prompts.m_messages.empty());
}

TEST(LevelMeterCapture, FailuresShowTheirCodeAndLeaveTheMeterStopped)
{
    struct Case {
        const char* operation;
        int call;
        std::u16string text;
    };
    const Case cases[] = {
        {"open", 1, u"Can't open WAVE In Device!"},
        {"prepare", 1, u"Error preparing WAVEHDR 1! -- 0000000B\n"},
        {"prepare", 2, u"Error preparing WAVEHDR 2! -- 0000000B\n"},
        {"add", 1, u"Error queueing WAVEHDR 1! -- 0000000B\n"},
        {"add", 2, u"Error queueing WAVEHDR 2! -- 0000000B\n"},
        {"start", 1, u"Error starting record! -- 0000000B\n"},
    };
    for (const Case& failure : cases) {
        SCOPED_TRACE(failure.operation + std::to_string(failure.call));
        test::CFakeWaveIn waveIn;
        waveIn.FailOn(failure.operation, failure.call, kWaveInErrorInvalidParameter);
        test::CScriptedUserPrompts prompts;
        CInputLevelMeterCapture meter(waveIn, prompts, nullptr);
        meter.Start();
        EXPECT_FALSE(meter.IsRunning());
        EXPECT_FALSE(waveIn.IsOpen());
        ASSERT_EQ(prompts.m_messages.size(), 1u);
        EXPECT_EQ(prompts.m_messages[0].caption, u"");
        EXPECT_EQ(prompts.m_messages[0].text, failure.text);
    }
}

} // namespace
} // namespace linlangok
