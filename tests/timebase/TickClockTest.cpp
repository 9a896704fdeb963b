#include "timebase/TickClock.h"
#include "timebase/ManualTimerDriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace linlangok {
namespace {

// Tempo changes and client errors are covered through the sequencer in MidiSequencerTest.
struct CTickRecorder : CTimerClient {
    void UpdateTick(CMultimediaTimer& timer) override { ticks.push_back(timer.TickCounter()); }
    std::vector<std::int32_t> ticks;
};

TEST(TickClock, GivesOutExactTicksWithoutDriftAtAnyTempoPercent)
{
    struct Case {
        std::int32_t division;
        std::int32_t tempo;
        std::uint32_t milliseconds;
        std::int32_t percent;
        std::int32_t quarter; // microseconds per quarter note as played: tempo * 100 / percent
    };
    // One second at 96 and 500000, one hour at 480 and a tempo that divides nothing evenly; both
    // also slower and faster than the song, the elapsed milliseconds staying real time.
    for (const Case& row : {Case {96, 500000, 1000, 100, 500000}, Case {480, 123456, 3600 * 1000, 100, 123456},
             Case {96, 500000, 1000, 80, 625000}, Case {480, 123456, 3600 * 1000, 150, 82304}}) {
        SCOPED_TRACE(testing::Message() << row.tempo << " at " << row.percent << " %");
        CManualTimerDriver driver;
        CTickClock clock(driver);
        CTickRecorder recorder;
        clock.Timer().AddClient(recorder);
        clock.Rewind(row.division, 0);
        clock.SetTempo(row.tempo);
        clock.SetTempoPercent(row.percent);
        clock.Start();
        driver.Advance(row.milliseconds);
        const std::uint64_t product
            = std::uint64_t {row.milliseconds} * 1000 * static_cast<std::uint64_t>(row.division);
        ASSERT_EQ(recorder.ticks.size(), product / static_cast<std::uint64_t>(row.quarter));
        EXPECT_EQ(static_cast<std::uint64_t>(clock.Remainder()), product % static_cast<std::uint64_t>(row.quarter));
        EXPECT_EQ(clock.Timer().ElapsedMilliseconds(), row.milliseconds);
        EXPECT_EQ(recorder.ticks.front(), 0);
        EXPECT_EQ(recorder.ticks.back(), static_cast<std::int32_t>(recorder.ticks.size()) - 1);
        clock.Timer().RemoveClient(recorder);
    }
    CManualTimerDriver driver;
    EXPECT_THROW(CTickClock(driver).SetTempoPercent(0), std::invalid_argument);
}

TEST(TickClock, TheTimerSleepsUntilThePeriodOfTheFanOutAClientWants)
{
    struct CWantingRecorder : CTickRecorder {
        std::int32_t NextTickWanted(std::int32_t) const override { return wanted; }
        std::uint32_t PeriodsUntilWanted(const CMultimediaTimer&) const override { return UINT32_MAX; }
        std::int32_t wanted = 0;
    };
    struct Case {
        std::int32_t division;
        std::int32_t tempo;
        std::int32_t percent;
        std::int32_t wanted;
    };
    for (const Case& row : {Case {96, 500000, 100, 10}, Case {480, 123456, 150, 500}, Case {96, 500000, 80, 3}}) {
        SCOPED_TRACE(testing::Message() << "tick " << row.wanted << " at " << row.percent << " %");
        CManualTimerDriver driver;
        CTickClock clock(driver);
        CWantingRecorder recorder;
        recorder.wanted = row.wanted;
        clock.Timer().AddClient(recorder);
        clock.Rewind(row.division, 0);
        clock.SetTempo(row.tempo);
        clock.SetTempoPercent(row.percent);
        const std::uint32_t sleep = clock.Timer().OnPeriods(1);
        ASSERT_GT(sleep, 1u);
        ASSERT_LT(sleep, CMultimediaTimer::kMaximumSleepPeriods);
        EXPECT_EQ(clock.Timer().OnPeriods(sleep - 1), 1u);
        EXPECT_TRUE(recorder.ticks.empty() || recorder.ticks.back() < row.wanted);
        clock.Timer().OnPeriods(1);
        EXPECT_NE(std::find(recorder.ticks.begin(), recorder.ticks.end(), row.wanted), recorder.ticks.end());
        EXPECT_EQ(clock.Timer().CallbackCount(), sleep + 1);
        clock.Timer().RemoveClient(recorder);
    }
}

TEST(TickClock, PauseKeepsCountersAndResetZeroesThem)
{
    CManualTimerDriver driver;
    CTickClock clock(driver);
    clock.Rewind(96, 10);
    clock.Start();
    clock.Start(); // one periodic event only
    driver.Advance(100);
    EXPECT_EQ(clock.Timer().CallbackCount(), 100u);
    clock.Stop();
    clock.Stop();
    driver.Advance(100);
    EXPECT_EQ(clock.Timer().ElapsedMilliseconds(), 100u);
    const std::int32_t pausedAt = clock.Timer().TickCounter();
    EXPECT_EQ(pausedAt, 10 + 19);
    clock.Start();
    driver.Advance(100);
    EXPECT_EQ(clock.Timer().ElapsedMilliseconds(), 200u);
    EXPECT_GT(clock.Timer().TickCounter(), pausedAt);
    clock.StopAndReset();
    EXPECT_EQ(clock.Timer().ElapsedMilliseconds(), 0u);
    EXPECT_EQ(clock.Timer().TickCounter(), 0);
}

TEST(MultimediaTimer, ClientAddedTwiceIsCalledTwiceAndRemovedCompletely)
{
    CManualTimerDriver driver;
    CMultimediaTimer timer(driver);
    CTickRecorder recorder;
    timer.AddClient(recorder);
    timer.AddClient(recorder);
    timer.FanOutTick();
    EXPECT_EQ(recorder.ticks.size(), 2u);
    timer.RemoveClient(recorder);
    timer.FanOutTick();
    EXPECT_EQ(recorder.ticks.size(), 2u);

    driver.SetRefuse(true);
    EXPECT_FALSE(timer.Start(1, 1));
    EXPECT_FALSE(timer.IsRunning());
}

} // namespace
} // namespace linlangok
