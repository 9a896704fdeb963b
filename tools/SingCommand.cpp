// sing SONG OUT_VOICE.mp3 --seconds S --performance OUT_MIX [--balance P] [--effect PRESET]:
// plays the song through the karaoke session, as play does, while recording S seconds from the
// first device of the input, as record does; saves the voice and then the performance, the voice
// put in time against the accompaniment as it was heard and heard through the preset's effect;
// scores the singer as the windows do.

#include "common/FilePath.h"
#include "common/JsonWriter.h"
#include "core/controller/PerformanceController.h"
#include "core/controller/SongScoring.h"
#include "platform/audio/WaveInSystem.h"
#include "platform/pitch/AubioPitchTracker.h"
#include "platform/video/VideoMelody.h"
#include "tools/Commands.h"
#include "tools/SaveToPathPrompts.h"
#include "tools/ToolSession.h"
#include "tools/VoiceEffectOption.h"

#include <chrono>
#include <cmath>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>

namespace linlangok {
namespace {

constexpr double kLongestRecording = 24 * 3600;

} // namespace

int RunSingCommand(ToolContext& context)
{
    const auto& arguments = context.arguments;
    if (arguments.size() < 6 || arguments.size() % 2 != 0)
        return UsageError(kSingUsage);
    std::optional<double> seconds;
    std::optional<std::optional<double>> balance;
    std::string performancePath;
    const VoicePreset* preset = nullptr;
    for (size_t i = 2; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == "--seconds" && !seconds.has_value())
            seconds = ParseArgument(arguments[i + 1], 0.1, kLongestRecording);
        else if (arguments[i] == "--performance" && performancePath.empty())
            performancePath = arguments[i + 1];
        else if (arguments[i] == "--balance" && !balance)
            balance = ParseArgument(arguments[i + 1], 0.0, 100.0);
        else if (arguments[i] == "--effect" && !preset && FindVoicePreset(arguments[i + 1]))
            preset = FindVoicePreset(arguments[i + 1]);
        else
            return UsageError(kSingUsage);
    }
    const std::optional<double> voicePercent = balance.value_or(50);
    if (!seconds || !voicePercent || performancePath.empty() || std::floor(*voicePercent) != *voicePercent)
        return UsageError(kSingUsage);

    CSaveToPathPrompts prompts(context.prompts, arguments[1]);
    const std::unique_ptr<ToolSession> tool = ToolSession::Open(context, prompts);
    if (!tool)
        return 1;
    CKaraokeSession& session = tool->session;
    CRecordingController& recording = session.Recording();
    if (!SelectFirstInputDevice(recording))
        return 1;
    CLiveScoring live(*tool->waveIn, MakeAubioPitchTracker);
    CVideoMelodyDeriver videoMelodies(tool->videoSongs, MakeAubioPitchTracker);
    CSongScoring scoring({session, live, &videoMelodies, &tool->uiThread, context.programFolder});
    session.SetAccompanimentPath(PathToUtf16(arguments[0]));
    session.Play();
    scoring.SongStarted();
    const bool midi = session.Kind() == ESongKind::Midi;
    if (midi ? !session.Sequencer().IsPlaying() : !session.AudioPlayer().IsOpen())
        return 1; // the reason has been shown
    const std::uint64_t frames = TakeFrames(*seconds);
    recording.StartRecording(frames);
    if (!recording.IsRecording())
        return 1;
    WaitForTake(recording, frames, [&tool, &scoring](std::chrono::milliseconds time) {
        if (tool->uiThread.WaitForTask(std::min(time, std::chrono::milliseconds(50))))
            tool->uiThread.RunPending();
        scoring.Tick();
    });
    scoring.SongStopped();
    const bool saved = recording.StopRecording().fate == ETakeFate::Saved;
    session.Stop();
    PrintDropouts(session.Dropouts().Count(), recording.DropoutCount());
    if (!saved)
        return 1; // the reason has been shown
    auto take = recording.TakePerformance();
    if (!take) {
        std::cerr << "No accompaniment was heard during the recording: there is no performance.\n";
        return 1;
    }
    const double alignmentMs = take->AlignmentMs();
    const auto length = take->Length();
    CToolVoiceEffect effect(preset);
    const CTakePerformance performance(std::move(take), &context.encoder, &effect.Choice());
    try {
        if (const std::string notice = performance.Write(performancePath, static_cast<int>(*voicePercent));
            !notice.empty())
            std::cerr << notice << '\n';
    } catch (const std::runtime_error& error) {
        std::cerr << error.what() << '\n';
        return 1;
    }
    CJsonWriter json(std::cout);
    json.BeginObject()
        .Key("alignment_ms")
        .Value(alignmentMs)
        .Key("seconds")
        .Value(*seconds)
        .Key("length_ms")
        .Value(static_cast<long long>(length.count()))
        .Key("effect")
        .Value(effect.Choice().Name());
    if (const std::optional<SongScore>& score = scoring.LastResult()) {
        json.Key("score").BeginObject();
        WriteScore(json, *score);
        json.EndObject();
        if (const std::optional<SongScore>& second = scoring.LastSecondVoiceResult()) {
            json.Key("second_voice_score").BeginObject();
            WriteScore(json, *second);
            json.EndObject();
        }
    } else if (!scoring.Notice().empty()) {
        json.Key("score_notice").Value(scoring.Notice());
    }
    json.EndObject();
    std::cout << '\n';
    return 0;
}

} // namespace linlangok
