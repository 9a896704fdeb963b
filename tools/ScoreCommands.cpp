// melody SONG and score SONG VOICE: a song's reference melody, and a voice recording scored against
// it as the windows score a singer.

#include "common/JsonWriter.h"
#include "common/SongKind.h"
#include "common/Text.h"
#include "common/Translation.h"
#include "core/audio/SampleFormat.h"
#include "core/controller/SongScoring.h"
#include "core/lyrics/UltraStarSong.h"
#include "core/scoring/SingingScore.h"
#include "core/session/RememberedSong.h"
#include "core/session/VideoMelodyQueue.h"
#include "platform/mp3g/Mp3gSongFiles.h"
#include "platform/pitch/AubioPitchTracker.h"
#include "platform/video/FfmpegVideoSongs.h"
#include "platform/video/VideoMelody.h"
#include "tools/Commands.h"
#include "tools/MidiCommands.h"

#include <iostream>
#include <stdexcept>

namespace linlangok {
namespace {

// A video's melody from its original vocal and backing, laid out as the song remembers, kept in the
// program folder by the song's content as the program keeps it.
std::optional<VocalMelodyResult> VideoMelody(ToolContext& context, const std::string& path)
{
    const std::optional<SongIdentity> song = IdentifySong(path);
    if (!song)
        return std::nullopt;
    CFfmpegVideoSongs videos;
    CVideoMelodyDeriver deriver(videos, MakeAubioPitchTracker);
    CRememberedSong remembered(Utf8ToUtf16(path), context.programFolder, context.prompts, context.fileLocks);
    const VocalLayout layout = remembered.RecallAnew().vocalLayout.value_or(deriver.DefaultLayout(path));
    return FindVideoMelody(deriver, CMelodyStore(context.programFolder / kMelodyFolderName), path, *song, layout, {});
}

// The song's reference melody at `transpose` semitones; nothing, with the reason printed, when it
// has none or cannot be read.
std::optional<ReferenceMelody> LoadReference(ToolContext& context, const std::string& path, int transpose)
{
    if (DetectSongKind(Utf8ToUtf16(path)) == ESongKind::Midi) {
        CToolSong loaded(context);
        if (!loaded.Load(path))
            return std::nullopt;
        CMidiSong& song = loaded.Song();
        for (size_t index = 0; index < song.TrackCount(); ++index)
            song.Track(index).Transpose(transpose);
        if (std::optional<ReferenceMelody> melody = MidiSongMelody(song))
            return melody;
    } else if (IsUltraStarFileName(Utf8ToUtf16(path))) {
        const UltraStarRead read = ReadUltraStarFile(path, context.textEncodings, context.codePage);
        if (!read.song) {
            std::cerr << path << ": " << Utf16ToUtf8(read.error) << '\n';
            return std::nullopt;
        }
        return TransposedMelody(UltraStarMelody(*read.song, 0), transpose);
    } else if (IsVideoFileName(Utf8ToUtf16(path))) {
        if (const std::optional<VocalMelodyResult> derived = VideoMelody(context, path)) {
            if (derived->verdict == EVocalMelodyVerdict::Melody)
                return TransposedMelody(derived->melody, transpose);
            std::cerr << path << ": " << Utf16ToUtf8(VocalMelodyVerdictText(derived->verdict)) << '\n';
            return std::nullopt;
        }
    }
    std::cerr << FormattedUtf8(
        TrUtf8("ScoreCommands", "%1: 本歌曲无评分数据 (the song has no melody to score against)"), {path})
              << '\n';
    return std::nullopt;
}

// An UltraStar duet's second voice at `transpose` semitones; nothing for another song.
std::optional<ReferenceMelody> SecondVoice(ToolContext& context, const std::string& path, int transpose)
{
    if (!IsUltraStarFileName(Utf8ToUtf16(path)))
        return std::nullopt;
    const std::optional<UltraStarSong> song = ReadUltraStarFile(path, context.textEncodings, context.codePage).song;
    if (!song || song->voices < 2)
        return std::nullopt;
    return TransposedMelody(UltraStarMelody(*song, 1), transpose);
}

std::optional<EDifficulty> ParseDifficulty(std::string_view text)
{
    if (text == "easy")
        return EDifficulty::Easy;
    if (text == "normal")
        return EDifficulty::Normal;
    if (text == "hard")
        return EDifficulty::Hard;
    return std::nullopt;
}

// Feeds the recording's pitches to the scorers: a pitch heard at `seconds` of the recording was
// sung `latency` earlier, at the song time the tempo makes of it. One scorer hears the first stereo
// pair's two sides together; a duet's two hear its left and its right. Raises std::runtime_error
// when the recording cannot be read.
void ScoreRecording(
    const std::string& voicePath, double latency, double songPerSecond, const std::vector<CSingingScorer*>& scorers)
{
    const std::unique_ptr<IAudioFileDecoder> decoder = OpenSongAudio(voicePath);
    const size_t channels = static_cast<size_t>(decoder->Channels());
    std::vector<std::unique_ptr<IPitchTracker>> trackers;
    for (size_t voice = 0; voice < scorers.size(); ++voice)
        trackers.push_back(MakeAubioPitchTracker(kStreamSampleRate));
    constexpr size_t kChunkFrames = 4096;
    std::vector<float> samples(kChunkFrames * channels);
    std::vector<float> voice(kChunkFrames);
    std::vector<PitchFrame> frames;
    while (const size_t read = decoder->Read(samples.data(), kChunkFrames)) {
        for (size_t index = 0; index < scorers.size(); ++index) {
            for (size_t frame = 0; frame < read; ++frame) {
                const float* pair = &samples[frame * channels];
                voice[frame] = scorers.size() == 1 ? 0.5f * (pair[0] + pair[1]) : pair[index];
            }
            frames.clear();
            trackers[index]->Push(voice.data(), read, frames);
            for (const PitchFrame& pitch : frames)
                scorers[index]->Add({(pitch.seconds - latency) * songPerSecond, pitch.pitch});
        }
    }
    for (CSingingScorer* scorer : scorers)
        scorer->Finish();
}

} // namespace

void WriteScore(CJsonWriter& json, const SongScore& score)
{
    json.Key("score").Value(score.score).Key("notes").Value(score.notes).Key("notes_hit").Value(score.notesHit);
    json.Key("lines").BeginArray();
    for (const LineScore& line : score.lines) {
        json.BeginObject().Key("start").Value(line.line.start, 3).Key("end").Value(line.line.end, 3);
        json.Key("score").Value(line.score).Key("word").Value(line.word).EndObject();
    }
    json.EndArray();
}

int RunMelodyCommand(ToolContext& context)
{
    ShiftOptions shift;
    if (context.arguments.empty() || !ParseShiftOptions(context.arguments, 1, 127, shift) || shift.tempoPercent != 100)
        return UsageError(kMelodyUsage);
    const std::optional<ReferenceMelody> melody = LoadReference(context, context.arguments[0], shift.transpose);
    if (!melody)
        return 1;
    CJsonWriter json(std::cout);
    json.BeginObject().Key("reference").Value(MelodySourceName(melody->source)).Key("notes").BeginArray();
    for (const MelodyNote& note : melody->notes) {
        json.BeginObject().Key("start").Value(note.start, 3).Key("end").Value(note.end, 3);
        json.Key("pitch").Value(note.pitch, 2).EndObject();
    }
    json.EndArray().EndObject();
    std::cout << '\n';
    return 0;
}

int RunScoreCommand(ToolContext& context)
{
    std::vector<std::string> arguments = context.arguments;
    EDifficulty difficulty = EDifficulty::Normal;
    double latencyMs = 0;
    for (size_t index = 2; index + 1 < arguments.size();) {
        if (arguments[index] == "--difficulty") {
            const std::optional<EDifficulty> parsed = ParseDifficulty(arguments[index + 1]);
            if (!parsed)
                return UsageError(kScoreUsage);
            difficulty = *parsed;
        } else if (arguments[index] == "--latency-ms") {
            const std::optional<double> parsed = ParseArgument(arguments[index + 1], -10000.0, 10000.0);
            if (!parsed)
                return UsageError(kScoreUsage);
            latencyMs = *parsed;
        } else {
            index += 2;
            continue;
        }
        arguments.erase(arguments.begin() + std::ptrdiff_t(index), arguments.begin() + std::ptrdiff_t(index) + 2);
    }
    ShiftOptions shift;
    if (arguments.size() < 2 || !ParseShiftOptions(arguments, 2, 127, shift))
        return UsageError(kScoreUsage);
    std::optional<ReferenceMelody> melody = LoadReference(context, arguments[0], shift.transpose);
    if (!melody)
        return 1;
    const EMelodySource source = melody->source;
    CSingingScorer scorer(std::move(*melody), difficulty);
    std::optional<ReferenceMelody> second = SecondVoice(context, arguments[0], shift.transpose);
    std::optional<CSingingScorer> secondScorer;
    std::vector<CSingingScorer*> scorers {&scorer};
    if (second)
        scorers.push_back(&secondScorer.emplace(std::move(*second), difficulty));
    try {
        ScoreRecording(arguments[1], latencyMs / 1000, shift.tempoPercent / 100.0, scorers);
    } catch (const std::runtime_error& error) {
        std::cerr << arguments[1] << ": " << error.what() << '\n';
        return 1;
    }
    CJsonWriter json(std::cout);
    json.BeginObject();
    WriteScore(json, scorer.Result());
    if (secondScorer) {
        json.Key("second_voice").BeginObject();
        WriteScore(json, secondScorer->Result());
        json.EndObject();
    }
    json.Key("reference").Value(MelodySourceName(source)).EndObject();
    std::cout << '\n';
    return 0;
}

} // namespace linlangok
