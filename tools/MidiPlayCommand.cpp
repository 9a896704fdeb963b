// playmidi FILE: a MIDI song through the sequencer, on the real timer thread, into the built-in
// synthesizer on the output device that LINLANGOK_AUDIO_OUT selects; prints the position once a
// second until the song ends.

#include "common/CodePage.h"
#include "common/UserPrompts.h"
#include "engine/MidiSequencer.h"
#include "engine/UiTaskQueue.h"
#include "midi/MidiSong.h"
#include "platform/audio/AudioOutputDevices.h"
#include "platform/midi/MidiOutputDeviceList.h"
#include "platform/timer/ThreadTimerDriver.h"
#include "tools/Commands.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace linlangok {

using namespace std::chrono_literals;

int RunPlayMidiCommand(ToolContext& context)
{
    if (context.arguments.size() != 1)
        return UsageError(kPlayMidiUsage);
    IAudioOutput* output = OpenSharedOutputOrReport();
    if (!output)
        return 1;
    CThreadTimerDriver driver;
    CMidiSong song(context.prompts, LegacyCodePage(), driver);
    if (!song.Load(context.arguments[0]))
        return 1;
    CMidiOutputDeviceList devices(FindSoundFont(std::getenv("LINLANGOK_SOUNDFONT")), *output, true);
    // This loop is the UI thread: errors from the timer thread are shown here.
    CUiTaskQueue uiThread;
    CMidiSequencer sequencer(context.prompts, uiThread, devices, &song);
    sequencer.Start();
    // As the main window's display tick does, the song ends when its position reaches its length.
    const double length = song.LengthSeconds();
    auto nextPrint = std::chrono::steady_clock::now();
    while (sequencer.IsPlaying()) {
        const bool ended = song.ElapsedSeconds() >= length;
        if (ended || std::chrono::steady_clock::now() >= nextPrint) {
            std::printf("position %.1f s, length %.1f s\n", song.ElapsedSeconds(), length);
            std::fflush(stdout);
            nextPrint += 1s;
        }
        if (ended) {
            sequencer.Stop();
            std::this_thread::sleep_for(500ms); // the released notes fade out
            return 0;
        }
        if (uiThread.WaitForTask(20ms))
            uiThread.RunPending();
    }
    return 1; // not started, or stopped by an error that has been shown
}

} // namespace linlangok
