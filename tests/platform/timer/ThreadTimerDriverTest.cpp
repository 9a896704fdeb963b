#include "platform/timer/ThreadTimerDriver.h"
#include "common/UiTaskQueue.h"
#include "core/midiplay/MidiSequencer.h"
#include "midi/MidiSong.h"
#include "tests/support/CaptureMidiOutput.h"
#include "tests/support/Latin1CodePage.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "timebase/TickClock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace linlangok {
namespace {

using namespace std::chrono_literals;

// Waits (polling) until the condition holds; the bound only keeps a broken build from hanging.
template <typename Condition> bool WaitFor(Condition condition)
{
    const auto giveUp = std::chrono::steady_clock::now() + 20s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > giveUp)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

struct CPeriodCounter : CTimerClient {
    void UpdateTimer(CMultimediaTimer&) override { periods.fetch_add(1); }
    std::atomic<int> periods {0};
};

// With a client that wants every period, and with none, when the thread sleeps as long as it may:
// every period is counted, the position shown never goes back, and Stop waits for the callback.
TEST(ThreadTimerDriver, ASleepingClockCountsEveryPeriodAndPauseKeepsThePositionShown)
{
    for (const bool withClient : {true, false}) {
        SCOPED_TRACE(withClient ? "client" : "sleeping");
        CThreadTimerDriver driver;
        CTickClock clock(driver);
        CPeriodCounter counter;
        if (withClient)
            clock.Timer().AddClient(counter);
        clock.Rewind(96, 0);
        clock.Start();
        std::uint32_t shown = 0;
        ASSERT_TRUE(WaitFor([&] {
            const std::uint32_t elapsed = clock.Timer().ElapsedMilliseconds();
            EXPECT_GE(elapsed, shown);
            shown = elapsed;
            return elapsed >= 30;
        }));
        clock.Stop();
        const std::uint32_t elapsed = clock.Timer().ElapsedMilliseconds();
        EXPECT_GE(elapsed, shown);
        EXPECT_EQ(clock.Timer().CallbackCount(), elapsed);
        EXPECT_EQ(clock.Timer().TickCounter(), static_cast<std::int32_t>(elapsed * 96000 / 500000));
        EXPECT_EQ(counter.periods.load(), withClient ? static_cast<int>(elapsed) : 0);
        std::this_thread::sleep_for(5ms);
        EXPECT_EQ(clock.Timer().ElapsedMilliseconds(), elapsed);

        clock.Start(); // resumes after a pause
        ASSERT_TRUE(WaitFor([&] { return clock.Timer().ElapsedMilliseconds() >= elapsed + 10; }));
        clock.Stop();
        clock.Timer().RemoveClient(counter);
    }
}

struct CStoppingClient : CTimerClient {
    CStoppingClient(IPeriodicTimerDriver& driver)
        : driver(driver)
    {
    }
    void UpdateTimer(CMultimediaTimer&) override
    {
        if (periods.fetch_add(1) + 1 == 5)
            driver.StopPeriodic(1);
    }
    // The thread sleeps ten periods at a time, so that the fifth comes within a catch-up.
    std::uint32_t PeriodsUntilWanted(const CMultimediaTimer&) const override { return 10; }
    IPeriodicTimerDriver& driver;
    std::atomic<int> periods {0};
};

TEST(ThreadTimerDriver, StopFromInsideTheCallbackEndsTheEventAtOnceEvenWithinACatchUp)
{
    CThreadTimerDriver driver;
    CMultimediaTimer timer(driver);
    CStoppingClient client(driver);
    timer.AddClient(client);
    ASSERT_TRUE(timer.Start(1, 1)); // the driver's first identifier is 1
    ASSERT_TRUE(WaitFor([&] { return client.periods.load() >= 5; }));
    timer.Stop(); // releases the ended event
    EXPECT_EQ(client.periods.load(), 5);
    timer.RemoveClient(client);
}

struct CFailingClient : CTimerClient {
    void UpdateTick(CMultimediaTimer&) override
    {
        if (++ticks == 3)
            throw std::runtime_error("MIDIOut发送消息出错!");
    }
    int ticks = 0;
};

TEST(ThreadTimerDriver, ClientErrorStopsPlaybackAndIsPostedToTheUiThread)
{
    CThreadTimerDriver driver;
    CUiTaskQueue uiThread;
    CTickClock clock(driver);
    CFailingClient client;
    clock.Timer().AddClient(client);
    std::string shown;
    clock.Timer().SetErrorHandler(
        [&](const std::string& message) { uiThread.Post([&shown, message] { shown = message; }); });
    clock.Rewind(960, 0); // about 2 ticks per period
    clock.Start();
    ASSERT_TRUE(uiThread.WaitForTask(20s));
    EXPECT_EQ(uiThread.RunPending(), 1u);
    EXPECT_EQ(shown, "UpdateTimer error!");
    EXPECT_FALSE(clock.Timer().IsRunning());
    const std::uint32_t callbacks = clock.Timer().CallbackCount();
    clock.Stop();
    EXPECT_EQ(clock.Timer().CallbackCount(), callbacks);
    EXPECT_EQ(client.ticks, 3);

    // The clock starts again after the failure.
    client.ticks = -1000000;
    clock.Start();
    EXPECT_TRUE(clock.Timer().IsRunning());
    ASSERT_TRUE(WaitFor([&] { return clock.Timer().CallbackCount() > callbacks + 5; }));
    clock.Stop();
    clock.Timer().RemoveClient(client);
}

// A short song on the real timer thread: the messages arrive in order and none is early. How
// late they are depends on the machine's load and is left to the benchmark.
TEST(MidiSequencerRealTime, PlaysAShortSongInOrderAndNeverEarly)
{
    test::CScriptedUserPrompts prompts;
    CThreadTimerDriver driver;
    CUiTaskQueue uiThread;
    CCaptureMidiOutputList devices;
    devices.Reserve(1000);
    const test::CLatin1CodePage codePage;
    CMidiSong song(codePage);
    CMidiTrack& track = song.AddTrack(std::make_unique<CMidiTrack>(song));
    const std::uint8_t fast[3] = {0x03, 0xD0, 0x90}; // 250000 µs per quarter
    track.Append(song.Messages().New<CMetaMessage>(song.Messages(), kMetaSetTempo, fast, 3), 0);
    // Division 96: 16 notes, 12 ticks apart (31.25 ms at 250000).
    std::vector<std::uint32_t> expected;
    std::vector<std::int32_t> ticks;
    for (std::uint32_t note = 0; note < 16; ++note) {
        track.Append(song.Messages().New<CChannelMessage>(0x90, 0, 60 + note, 100), note == 0 ? 0 : 6);
        track.Append(song.Messages().New<CChannelMessage>(0x80, 0, 60 + note, 0), 6);
        expected.push_back(0x640090u | (60 + note) << 8);
        expected.push_back(0x000080u | (60 + note) << 8);
        ticks.push_back(static_cast<std::int32_t>(note * 12));
        ticks.push_back(static_cast<std::int32_t>(note * 12 + 6));
    }
    CMidiSequencer sequencer(prompts, uiThread, devices, driver, &song);
    const auto start = std::chrono::steady_clock::now();
    sequencer.Start();
    ASSERT_TRUE(sequencer.IsPlaying());
    EXPECT_TRUE(WaitFor([&] { return devices.Messages().size() >= expected.size(); }));
    sequencer.Stop();

    const std::vector<CapturedMidiMessage> captured = devices.Messages();
    ASSERT_GE(captured.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(captured[i].message, expected[i]) << "message " << i;
        // Tick t goes out no earlier than the period that completes tick t + 2.
        const auto earliest = start + std::chrono::microseconds((ticks[i] + 2) * 250000 / 96);
        EXPECT_GE(captured[i].time, earliest) << "message " << i;
        if (i > 0) {
            EXPECT_GE(captured[i].time, captured[i - 1].time);
        }
    }
    EXPECT_TRUE(prompts.m_messages.empty());
}

} // namespace
} // namespace linlangok
