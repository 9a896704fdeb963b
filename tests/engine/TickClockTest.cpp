#include "engine/TickClock.h"
#include "engine/ManualTimerDriver.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace linlangok {
namespace {

struct CTickRecorder : CTimerClient {
    void UpdateTick(CMultimediaTimer& timer) override { ticks.push_back(timer.TickCounter()); }
    std::vector<int32_t> ticks;
};

struct CThrowingClient : CTimerClient {
    void UpdateTick(CMultimediaTimer&) override { throw std::runtime_error("UpdateTick error!"); }
};

TEST(TickClock, GivesOutExactTicksWithoutDrift)
{
    CManualTimerDriver driver;
    CTickClock clock(driver);
    CTickRecorder recorder;
    clock.Timer().AddClient(recorder);
    clock.Rewind(96, 0);
    clock.Start();
    driver.Advance(1000);
    EXPECT_EQ(recorder.ticks.size(), 192u);
    EXPECT_EQ(clock.Remainder(), 0);
    EXPECT_EQ(clock.Timer().ElapsedMilliseconds(), 1000u);
    EXPECT_EQ(recorder.ticks.front(), 0);
    EXPECT_EQ(recorder.ticks.back(), 191);

    // One hour at division 480, tempo 123456: floor(3.6e9 µs * 480 / 123456) ticks in all.
    clock.StopAndReset();
    clock.Rewind(480, 0);
    clock.SetTempo(123456);
    recorder.ticks.clear();
    clock.Start();
    driver.Advance(3600 * 1000);
    EXPECT_EQ(recorder.ticks.size(), 3600000000ull * 480 / 123456);
    clock.Timer().RemoveClient(recorder);
}

TEST(TickClock, TempoChangeTakesEffectFromTheNextPeriod)
{
    CManualTimerDriver driver;
    CTickClock clock(driver);
    CTickRecorder recorder;
    clock.Timer().AddClient(recorder);
    clock.Rewind(1000, 0); // 1000 ticks per quarter: 2 ticks per ms at 500000
    clock.Start();
    driver.Advance(10);
    EXPECT_EQ(recorder.ticks.size(), 20u);
    clock.SetTempo(1000000);
    driver.Advance(10);
    EXPECT_EQ(recorder.ticks.size(), 30u);
    clock.Timer().RemoveClient(recorder);
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
    const int32_t pausedAt = clock.Timer().TickCounter();
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
}

TEST(MultimediaTimer, RefusedStartLeavesTheTimerStopped)
{
    CManualTimerDriver driver;
    driver.SetRefuse(true);
    CMultimediaTimer timer(driver);
    EXPECT_FALSE(timer.Start(1, 1));
    EXPECT_FALSE(timer.IsRunning());
}

TEST(MultimediaTimer, ClientErrorStopsTheTimerAndReachesTheHandler)
{
    CManualTimerDriver driver;
    CTickClock clock(driver);
    CThrowingClient throwing;
    clock.Timer().AddClient(throwing);
    std::vector<std::string> errors;
    clock.Timer().SetErrorHandler([&](const std::string& message) { errors.push_back(message); });
    clock.Rewind(96, 0);
    clock.Start();
    driver.Advance(50);
    EXPECT_FALSE(clock.Timer().IsRunning());
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "UpdateTimer error!");
    clock.Timer().RemoveClient(throwing);
}

} // namespace
} // namespace linlangok
