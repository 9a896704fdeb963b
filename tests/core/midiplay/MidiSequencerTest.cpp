#include "core/midiplay/MidiSequencer.h"
#include "common/UiTaskQueue.h"
#include "midi/MidiSong.h"
#include "tests/support/CaptureMidiOutput.h"
#include "tests/support/Latin1CodePage.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "timebase/ManualTimerDriver.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace linlangok {
namespace {

using test::CScriptedUserPrompts;
using testing::ElementsAre;

std::uint32_t Pack(std::uint32_t status, std::uint32_t data1, std::uint32_t data2 = 0)
{
    return status | data1 << 8 | data2 << 16;
}

// A song built in place, a sequencer over a capture output, virtual time.
struct Rig {
    Rig()
        : song(codePage)
        , sequencer(prompts, uiThread, devices, driver, &song)
    {
        // Every message is stamped with the virtual millisecond of its send.
        devices.SetTickSource([this] { return static_cast<std::int32_t>(driver.Now()); });
    }

    CMidiTrack& AddTrack() { return song.AddTrack(std::make_unique<CMidiTrack>(song)); }
    void Add(CMidiTrack& track, std::int32_t tick, std::uint32_t packed)
    {
        Append(track, tick, song.Messages().New<CChannelMessage>(packed));
    }
    void AddTempo(CMidiTrack& track, std::int32_t tick, std::int32_t tempo)
    {
        const std::uint8_t data[3] = {std::uint8_t(tempo >> 16), std::uint8_t(tempo >> 8), std::uint8_t(tempo)};
        Append(track, tick, song.Messages().New<CMetaMessage>(song.Messages(), kMetaSetTempo, data, 3));
    }
    // At an absolute tick, before the track's End of Track.
    static void Append(CMidiTrack& track, std::int32_t tick, CMidiMessage* message)
    {
        track.Append(message, tick - (track.Count() >= 2 ? track.Entries()[track.Count() - 2].tick : 0));
    }

    std::vector<std::uint32_t> Sent() const { return devices.ShortMessages(); }
    // Virtual milliseconds at which the message was sent, in order.
    std::vector<std::int64_t> SendTimes(std::uint32_t message) const { return Times(message, false); }
    // Microseconds of virtual time at which each such message is meant to sound, in order.
    std::vector<std::int64_t> DueMicroseconds(std::uint32_t message) const { return Times(message, true); }
    std::vector<std::int64_t> Times(std::uint32_t message, bool due) const
    {
        std::vector<std::int64_t> times;
        for (const auto& captured : devices.Messages()) {
            if (captured.message == message && (!due || captured.due))
                times.push_back(due
                        ? std::chrono::duration_cast<std::chrono::microseconds>(captured.due->time_since_epoch())
                              .count()
                        : captured.tick);
        }
        return times;
    }

    CScriptedUserPrompts prompts;
    CManualTimerDriver driver;
    CUiTaskQueue uiThread;
    CCaptureMidiOutputList devices;
    const test::CLatin1CodePage codePage;
    CMidiSong song;
    CMidiSequencer sequencer;
};

TEST(MidiSequencer, TenMinutesOfNotesLandOnTheTickArithmeticWithoutDrift)
{
    Rig rig;
    rig.song.SetDivision(480);
    CMidiTrack& track = rig.AddTrack();
    // A note every beat at 120 bpm for ten minutes (1200 beats).
    for (std::int32_t beat = 0; beat < 1200; ++beat) {
        rig.Add(track, beat * 480, Pack(0x90, 60, 100));
        rig.Add(track, beat * 480 + 240, Pack(0x80, 60));
    }
    rig.sequencer.Start();
    ASSERT_TRUE(rig.sequencer.IsPlaying());
    rig.driver.Advance(601 * 1000);
    const std::vector<std::int64_t> times = rig.SendTimes(Pack(0x90, 60, 100));
    ASSERT_EQ(times.size(), 1200u);
    // Tick t goes out when the counter reads t + 1, in the period that completes tick t + 2:
    // ceil((t + 2) × 500000 / 480000) ms.
    for (size_t beat = 0; beat < times.size(); ++beat) {
        const std::int64_t tick = static_cast<std::int64_t>(beat) * 480;
        ASSERT_EQ(times[beat], ((tick + 2) * 500000 + 479999) / 480000) << "beat " << beat;
    }
    // The last beat lies within one period of its tempo-map time plus the two-tick lag.
    EXPECT_NEAR(times.back(), 1199 * 500.0 + 2 * 500000 / 480000.0, 1.0);
}

TEST(MidiSequencer, SetTempoChangesTheRateFromTheNextPeriodWithoutRescalingTheRemainder)
{
    Rig rig;
    CMidiTrack& conductor = rig.AddTrack();
    rig.AddTempo(conductor, 0, 500000);
    rig.AddTempo(conductor, 960, 250000);
    CMidiTrack& notes = rig.AddTrack();
    for (std::int32_t tick : {0, 480, 960, 1440, 1920})
        rig.Add(notes, tick, Pack(0x99, 42, 90));
    rig.Add(notes, 2000, Pack(0x89, 42));
    rig.sequencer.Start();
    rig.driver.Advance(8000);
    // Division 96: 500000 µs per quarter until tick 960 (sent in period 5011), then 250000 from
    // period 5012 on, with the 56000 µs·ticks remainder of period 5011 carried as it stands.
    EXPECT_THAT(rig.SendTimes(Pack(0x99, 42, 90)), ElementsAre(11, 2511, 5011, 6261, 7511));
    EXPECT_EQ(rig.sequencer.Clock().Tempo(), 250000);
    // Each note is stamped with its exact time on the tempo map, counted from the start.
    EXPECT_THAT(rig.DueMicroseconds(Pack(0x99, 42, 90)), ElementsAre(0, 2500000, 5000000, 6250000, 7500000));
}

TEST(MidiSequencer, StampsFollowTheTempoPercentAPauseAndASeek)
{
    Rig rig;
    CMidiTrack& track = rig.AddTrack();
    for (std::int32_t tick : {0, 96, 100, 192, 960})
        rig.Add(track, tick, Pack(0x90, 60, 100));
    rig.driver.Advance(7); // the clock's start, not the driver's zero, is the song's start
    rig.sequencer.Clock().SetTempoPercent(80);
    rig.sequencer.Start();
    rig.driver.Advance(700);
    // Division 96, 500000 µs per quarter at 80 %: 6510.4166 µs per tick.
    EXPECT_THAT(rig.DueMicroseconds(Pack(0x90, 60, 100)), ElementsAre(7000, 632000, 658041));
    rig.sequencer.Clock().Stop(); // a pause of 1 s moves what follows by 1 s
    rig.driver.Advance(1000);
    rig.sequencer.Clock().Start();
    rig.driver.Advance(1000);
    EXPECT_EQ(rig.DueMicroseconds(Pack(0x90, 60, 100)).back(), 1257000 + 1000000);
    rig.devices.Clear();
    ASSERT_TRUE(rig.sequencer.OpenAndSeek(900)); // playing on from tick 900, at 2707 ms
    rig.driver.Advance(1000);
    EXPECT_THAT(rig.DueMicroseconds(Pack(0x90, 60, 100)), ElementsAre(2707000 + 390625));
}

TEST(MidiSequencer, StartChasesAtTheStartTickAndStartingTwiceOnlyKeepsTheClockRunning)
{
    Rig rig;
    CMidiTrack& track = rig.AddTrack();
    rig.AddTempo(track, 0, 250000);
    rig.Add(track, 0, Pack(0xC2, 19));
    rig.Add(track, 0, Pack(0xB2, 7, 100));
    rig.Add(track, 0, Pack(0xB2, 127, 5));
    rig.Add(track, 0, Pack(0xE2, 0, 64));
    rig.Add(track, 0, Pack(0x92, 127, 80));
    rig.Add(track, 96, Pack(0x82, 127));
    rig.sequencer.Start();
    // The chase, before the first period: program, pitch bend, controllers in number order.
    EXPECT_THAT(rig.Sent(), ElementsAre(Pack(0xC2, 19), Pack(0xE2, 0, 64), Pack(0xB2, 7, 100), Pack(0xB2, 127, 5)));
    EXPECT_EQ(rig.sequencer.Clock().Tempo(), 250000);
    rig.devices.Clear();
    rig.driver.Advance(50);
    rig.sequencer.Start(); // already playing: no second chase, no reopening, and the clock runs on
    rig.driver.Advance(950);
    EXPECT_EQ(rig.devices.OpenCount(), 1);
    EXPECT_EQ(rig.sequencer.Clock().Timer().ElapsedMilliseconds(), 1000u);
    // Then every entry at tick 0 once more, in entry order, and the note off.
    EXPECT_THAT(rig.Sent(),
        ElementsAre(Pack(0xC2, 19), Pack(0xB2, 7, 100), Pack(0xB2, 127, 5), Pack(0xE2, 0, 64), Pack(0x92, 127, 80),
            Pack(0x82, 127)));
}

TEST(MidiSequencer, StopReleasesTheSustainPedalThenEverySoundingKeyOnce)
{
    Rig rig;
    CMidiTrack& first = rig.AddTrack();
    rig.Add(first, 0, Pack(0x90, 60, 100));
    rig.Add(first, 0, Pack(0x90, 60, 90)); // the same key twice: one slot
    rig.Add(first, 0, Pack(0xB3, 64, 127));
    rig.Add(first, 0, Pack(0x93, 127, 1));
    rig.Add(first, 0, Pack(0x91, 61, 100));
    rig.Add(first, 0, Pack(0x91, 61, 0)); // released by velocity 0
    rig.Add(first, 9600, Pack(0x80, 60));
    CMidiTrack& second = rig.AddTrack();
    rig.Add(second, 0, Pack(0x95, 30, 100));
    rig.Add(second, 9600, Pack(0x85, 30));
    rig.sequencer.Start();
    rig.driver.Advance(100);
    rig.devices.Clear();
    rig.sequencer.Stop();
    EXPECT_THAT(rig.Sent(), ElementsAre(Pack(0xB3, 64, 0), Pack(0x80, 60), Pack(0x83, 127), Pack(0x85, 30)));
    EXPECT_FALSE(rig.sequencer.IsPlaying());
    EXPECT_EQ(rig.sequencer.ElapsedSeconds(), 0.0);
    EXPECT_EQ(rig.sequencer.Clock().Timer().TickCounter(), 0);
    EXPECT_TRUE(rig.sequencer.Output().IsOpen());

    // Nothing sounds any more: a second stop sends nothing, and the clock stays still.
    rig.devices.Clear();
    rig.sequencer.Stop();
    rig.driver.Advance(100);
    EXPECT_TRUE(rig.Sent().empty());

    // Started again, the song plays from its start through a reopened output.
    rig.sequencer.Start();
    rig.driver.Advance(100);
    EXPECT_EQ(rig.devices.OpenCount(), 2);
    EXPECT_EQ(rig.SendTimes(Pack(0x95, 30, 100)).size(), 1u);
}

TEST(MidiSequencer, MutingAChannelReleasesItsSoundingNotesAndSkipsOnlyItsNotes)
{
    Rig rig;
    CMidiTrack& track = rig.AddTrack();
    rig.Add(track, 0, Pack(0x90, 60, 100)); // the melody, channel 0
    rig.Add(track, 0, Pack(0x91, 48, 100));
    rig.Add(track, 96, Pack(0x80, 60));
    rig.Add(track, 96, Pack(0xB0, 7, 90));
    rig.Add(track, 96, Pack(0x90, 62, 100));
    rig.Add(track, 96, Pack(0x91, 62, 100)); // shares key 62's slot with the muted note
    rig.Add(track, 9600, Pack(0x80, 62));
    rig.sequencer.Start();
    rig.driver.Advance(100);
    rig.devices.Clear();
    rig.sequencer.SetMutedChannel(0);
    rig.driver.Advance(10); // no entry is due: only the release goes out
    EXPECT_THAT(rig.Sent(), ElementsAre(Pack(0x80, 60)));
    rig.devices.Clear();
    rig.driver.Advance(1000);
    EXPECT_THAT(rig.Sent(), ElementsAre(Pack(0xB0, 7, 90), Pack(0x91, 62, 100)));
    // The muted notes never sounded, so stopping silences only the others; so do later starts.
    rig.devices.Clear();
    rig.sequencer.Stop();
    EXPECT_THAT(rig.Sent(), ElementsAre(Pack(0x81, 48), Pack(0x81, 62)));
    rig.sequencer.Start();
    rig.driver.Advance(100);
    EXPECT_TRUE(rig.SendTimes(Pack(0x90, 60, 100)).empty());
    rig.sequencer.SetMutedChannel(std::nullopt);
    rig.driver.Advance(1000);
    EXPECT_EQ(rig.SendTimes(Pack(0x90, 62, 100)).size(), 1u);
}

struct CTickCounter : CTimerClient {
    void UpdateTick(CMultimediaTimer&) override { ++ticks; }
    int ticks = 0;
};

TEST(MidiSequencer, TracksAreServedInOrderOnceEachBesideOtherClients)
{
    Rig rig;
    CTickCounter counter;
    rig.sequencer.Clock().Timer().AddClient(counter);
    CMidiTrack& first = rig.AddTrack();
    CMidiTrack& second = rig.AddTrack();
    CMidiTrack& third = rig.AddTrack();
    rig.Add(third, 10, Pack(0x92, 3, 1));
    rig.Add(second, 10, Pack(0x91, 2, 1));
    rig.Add(first, 10, Pack(0x90, 1, 1));
    rig.Add(first, 11, Pack(0x90, 4, 1));
    rig.sequencer.Start();
    rig.driver.Advance(1000); // 192 ticks
    EXPECT_THAT(rig.Sent(), ElementsAre(Pack(0x90, 1, 1), Pack(0x91, 2, 1), Pack(0x92, 3, 1), Pack(0x90, 4, 1)));
    EXPECT_EQ(counter.ticks, 192);
    rig.sequencer.Clock().Timer().RemoveClient(counter);
}

TEST(MidiSequencer, NothingPlaysWithoutEventsOrWithoutAnOutput)
{
    Rig rig;
    rig.AddTrack();
    rig.sequencer.Start(); // only End of Track entries: length 0
    EXPECT_FALSE(rig.sequencer.IsPlaying());
    EXPECT_EQ(rig.devices.OpenCount(), 0);
    EXPECT_TRUE(rig.prompts.m_messages.empty());

    CScriptedUserPrompts prompts;
    CCaptureMidiOutputList none(0);
    CUiTaskQueue uiThread;
    CMidiSequencer sequencer(prompts, uiThread, none, rig.driver, &rig.song);
    rig.Add(rig.song.Track(0), 10, Pack(0x90, 60, 1));
    sequencer.Start();
    EXPECT_FALSE(sequencer.IsPlaying());
    EXPECT_FALSE(sequencer.Clock().Timer().IsRunning());
    EXPECT_THAT(prompts.MessageTexts(), ElementsAre("无MIDI输出设备!\n"));
}

TEST(MidiSequencer, OutputErrorsAreShownAndPlaybackStops)
{
    Rig rig;
    CMidiTrack& track = rig.AddTrack();
    rig.Add(track, 0, Pack(0xC0, 1));
    rig.Add(track, 480, Pack(0x90, 60, 1));
    rig.Add(track, 960, Pack(0x80, 60));

    // A failure while chasing at Start.
    rig.devices.SetSendFails(true);
    rig.sequencer.Start();
    EXPECT_THAT(rig.prompts.MessageTexts(), ElementsAre("播放开始时出错!"));
    EXPECT_FALSE(rig.sequencer.IsPlaying());

    // A failure on the timer thread: the timer stops at once, the UI thread stops and tells.
    rig.devices.SetSendFails(false);
    rig.sequencer.Start();
    ASSERT_TRUE(rig.sequencer.IsPlaying());
    rig.driver.Advance(100);
    rig.devices.SetSendFails(true);
    testing::internal::CaptureStderr();
    rig.driver.Advance(10000);
    // The message the user sees names no cause; the log keeps the device's own error.
    EXPECT_THAT(testing::internal::GetCapturedStderr(), testing::HasSubstr("MIDI send: capture device send failed"));
    EXPECT_FALSE(rig.sequencer.Clock().Timer().IsRunning());
    EXPECT_EQ(rig.sequencer.Clock().Timer().TickCounter(), 481);
    EXPECT_EQ(rig.uiThread.RunPending(), 1u);
    EXPECT_THAT(rig.prompts.MessageTexts(), ElementsAre("播放开始时出错!", "UpdateTimer error!"));
    EXPECT_FALSE(rig.sequencer.IsPlaying());

    // A failure while silencing at Stop.
    rig.devices.SetSendFails(false);
    rig.sequencer.Start();
    rig.driver.Advance(2600); // the note sounds
    rig.devices.SetSendFails(true);
    rig.sequencer.Stop();
    EXPECT_EQ(rig.prompts.MessageTexts().back(), "停止播放时出错!");
}

TEST(MidiSequencer, ErrorPostedAfterTheSequencerIsGoneIsDropped)
{
    Rig rig;
    rig.Add(rig.AddTrack(), 10, Pack(0x90, 60, 1));
    {
        CMidiSequencer sequencer(rig.prompts, rig.uiThread, rig.devices, rig.driver, &rig.song);
        sequencer.Start();
        rig.devices.SetSendFails(true);
        rig.driver.Advance(1000);
    }
    EXPECT_EQ(rig.uiThread.RunPending(), 1u);
    EXPECT_TRUE(rig.prompts.m_messages.empty());
}

} // namespace
} // namespace linlangok
