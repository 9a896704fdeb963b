#include "engine/CaptureMidiOutput.h"
#include "engine/MidiSequencer.h"
#include "engine/UiTaskQueue.h"
#include "midi/MidiSong.h"
#include "platform/timer/ThreadTimerDriver.h"
#include "tests/support/Latin1CodePage.h"
#include "tests/support/ScriptedUserPrompts.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace linlangok {
namespace {

using namespace std::chrono_literals;

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
    CMidiSong song(prompts, codePage, driver);
    CMidiTrack& track = song.AddTrack(std::make_unique<CMidiTrack>(song));
    const uint8_t fast[3] = {0x03, 0xD0, 0x90}; // 250000 µs per quarter
    track.Append(song.Messages().New<CMetaMessage>(song.Messages(), kMetaSetTempo, fast, 3), 0);
    // Division 96: 16 notes, 12 ticks apart (31.25 ms at 250000).
    std::vector<uint32_t> expected;
    std::vector<int32_t> ticks;
    for (uint32_t note = 0; note < 16; ++note) {
        track.Append(song.Messages().New<CNoteOnMessage>(0, 60 + note, 100), note == 0 ? 0 : 6);
        track.Append(song.Messages().New<CChannelMessage>(0x80, 0, 60 + note, 0), 6);
        expected.push_back(0x640090u | (60 + note) << 8);
        expected.push_back(0x000080u | (60 + note) << 8);
        ticks.push_back(static_cast<int32_t>(note * 12));
        ticks.push_back(static_cast<int32_t>(note * 12 + 6));
    }
    CMidiSequencer sequencer(prompts, uiThread, devices, &song);
    const auto start = std::chrono::steady_clock::now();
    sequencer.Start();
    ASSERT_TRUE(sequencer.IsPlaying());
    const auto giveUp = start + 20s;
    while (devices.Messages().size() < expected.size() && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(2ms);
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
