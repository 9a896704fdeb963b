#pragma once

#include "common/UiTaskQueue.h"
#include "core/recording/RecordingDevices.h"
#include "core/session/KaraokeSession.h"
#include "platform/loudness/SongLoudnessAnalyser.h"
#include "platform/midi/MidiOutputDeviceList.h"
#include "platform/timer/ThreadTimerDriver.h"
#include "platform/video/FfmpegVideoSongs.h"
#include "tools/Commands.h"

#include <chrono>
#include <cstdint>
#include <functional>

namespace linlangok {

// A karaoke session for a command, as the main window runs one: MIDI through the sequencer and
// the built-in synthesizer (LINLANGOK_SOUNDFONT) on the real timer thread, anything else through
// the accompaniment player, both on `output`; recording from `waveIn`'s devices; messages through
// `prompts`. The command's own loop is the UI thread, running `uiThread`'s tasks. `output` and
// `prompts` outlive it.
struct ToolSession {
    // On the context's audio output and wave input; null when either cannot be opened (the
    // reason has been shown).
    static std::unique_ptr<ToolSession> Open(ToolContext& context, IUserPrompts& prompts);

    ToolSession(
        ToolContext& context, IAudioOutput& output, std::unique_ptr<IWaveInSystem> waveIn, IUserPrompts& prompts);

    std::unique_ptr<IWaveInSystem> waveIn;
    CThreadTimerDriver timerDriver;
    CMidiOutputDeviceList midiDevices;
    CInputDeviceList inputDevices;
    CUiTaskQueue uiThread;
    CFfmpegVideoSongs videoSongs;
    CSongLoudnessAnalyser loudnessAnalyser;
    CKaraokeSession session;
};

// Selects the controller's first input device, which the recording commands record from. False,
// with a message on standard error, when there is none.
bool SelectFirstInputDevice(CRecordingController& controller);

// Tells standard error of dropouts in playback and recording (DropoutNotice), when there were any.
void PrintDropouts(std::uint64_t playback, std::uint64_t recording);

// The frames of a take of `seconds`.
std::uint64_t TakeFrames(double seconds);
// Waits until the running recording has captured `frames` frames, calling `wait` with the longest
// it may wait before the next look. A device that delivers less gets the take's own duration and
// ten seconds more, so that a stalled device cannot hold the command for ever.
void WaitForTake(const CRecordingController& controller, std::uint64_t frames,
    const std::function<void(std::chrono::milliseconds)>& wait);

} // namespace linlangok
