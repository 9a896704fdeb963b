// play FILE and playmidi FILE: a song through the karaoke session, as the main window plays it
// (MIDI through the sequencer and the built-in synthesizer on the real timer thread, anything
// else through the accompaniment player), on the output device that LINLANGOK_AUDIO_OUT selects.
// play takes the song's key and tempo. Prints the position and length (song
// time) once a second until the session's song-end rule ends it.

#include "common/FilePath.h"
#include "platform/audio/WaveInSystem.h"
#include "tools/Commands.h"
#include "tools/ToolSession.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <thread>

namespace linlangok {
namespace {

using namespace std::chrono_literals;

int PlayThroughSession(ToolContext& context, const char* usage, bool shifts)
{
    const auto& arguments = context.arguments;
    const bool audio = !arguments.empty() && DetectSongKind(PathToUtf16(arguments[0])) == ESongKind::Audio;
    ShiftOptions shift;
    if (arguments.empty() || (!shifts && arguments.size() != 1)
        || !ParseShiftOptions(arguments, 1, audio ? kAudioPitchLimit : 127, shift))
        return UsageError(usage);
    const std::unique_ptr<ToolSession> tool = ToolSession::Open(context, context.prompts);
    if (!tool)
        return 1;
    CKaraokeSession& session = tool->session;
    session.SetAccompanimentPath(PathToUtf16(arguments[0]));
    session.KeyAndTempo().SetPitch(shift.transpose);
    session.KeyAndTempo().SetTempoPercent(shift.tempoPercent);
    session.Play();
    const bool midi = session.Kind() == ESongKind::Midi;
    if (midi ? !session.Sequencer().IsPlaying() : !session.AudioPlayer().IsOpen())
        return 1; // the reason has been shown
    auto nextPrint = std::chrono::steady_clock::now();
    for (;;) {
        const bool ended = session.HasReachedEnd();
        if (ended || std::chrono::steady_clock::now() >= nextPrint) {
            std::printf("position %.1f s, length %d s\n", session.Position(), session.Length());
            std::fflush(stdout);
            nextPrint += 1s;
        }
        if (ended)
            break;
        if (tool->uiThread.WaitForTask(20ms))
            tool->uiThread.RunPending();
        if (midi && !session.Sequencer().IsPlaying())
            return 1; // stopped by an error that has been shown
    }
    session.Stop();
    PrintDropouts(session.Dropouts().Count(), 0);
    if (midi)
        std::this_thread::sleep_for(500ms); // the released notes fade out
    return 0;
}

} // namespace

int RunPlayCommand(ToolContext& context)
{
    return PlayThroughSession(context, kPlayUsage, true);
}

int RunPlayMidiCommand(ToolContext& context)
{
    return PlayThroughSession(context, kPlayMidiUsage, false);
}

} // namespace linlangok
