// info-video, render-video-audio and frame: a video song's streams and vocal layout, its sound as
// the program plays it, and the picture shown at a moment of the song.

#include "common/FilePath.h"
#include "common/JsonWriter.h"
#include "common/Text.h"
#include "common/Translation.h"
#include "core/picture/VideoPicture.h"
#include "core/playback/AudioPlayer.h"
#include "core/session/SongMemory.h"
#include "core/session/VocalLayout.h"
#include "platform/audio/ClockedAudioOutput.h"
#include "platform/audio/RubberBandStretcher.h"
#include "platform/image/PngFile.h"
#include "platform/render/RenderAudio.h"
#include "platform/video/FfmpegVideoSongs.h"
#include "tools/Commands.h"

#include <chrono>
#include <iostream>
#include <thread>

namespace linlangok {
namespace {

using namespace std::chrono_literals;

// Past the last second a time option may name.
constexpr double kLatestSecond = 1e6;
// Frames of virtual time the frame command lets pass at a time: the windows' 10 ms.
constexpr size_t kStepFrames = 441;

struct VideoSong {
    VideoSongInfo info;
    int audioTracks = 0;
    VocalLayout layout; // remembered for the song or the default, fitted to its tracks
    bool remembered = false;
};

// What the song holds and the layout the program would play it by; nothing when it cannot be read
// (the reason has been shown).
std::optional<VideoSong> ReadVideoSong(ToolContext& context, IVideoSongs& videos, const std::string& path)
{
    VideoSong song;
    try {
        song.info = videos.Probe(path);
    } catch (const std::runtime_error& error) {
        context.prompts.ShowError(CaptionError(),
            Formatted(Tr("VideoCommands", "无法读取视频文件 %1: %2"), {Utf8ToUtf16(path), Utf8ToUtf16(error.what())}));
        return std::nullopt;
    }
    song.audioTracks = static_cast<int>(song.info.AudioTracks().size());
    std::optional<VocalLayout> remembered;
    if (const std::optional<SongIdentity> identity = IdentifySong(path)) {
        CSongMemory memory(context.programFolder / kSongMemoryFileName, context.prompts, context.fileLocks);
        remembered = memory.Recall(*identity).vocalLayout;
    }
    song.remembered = remembered.has_value();
    song.layout = FitVocalLayout(remembered.value_or(DefaultVocalLayout(song.audioTracks)), song.audioTracks);
    return song;
}

bool HasSound(ToolContext& context, const VideoSong& song, const std::string& path)
{
    if (song.audioTracks == 0)
        context.prompts.ShowError(
            CaptionError(), Formatted(Tr("VideoCommands", "视频文件中没有声音: %1"), {Utf8ToUtf16(path)}));
    return song.audioTracks > 0;
}

// Takes every "NAME SECONDS" out of the arguments, in order; false for a value that is no number
// of seconds from 0 on.
bool TakeSeconds(std::vector<std::string>& arguments, std::string_view name, std::vector<double>& values)
{
    for (auto option = arguments.begin(); option != arguments.end();) {
        if (*option != name) {
            ++option;
            continue;
        }
        if (option + 1 == arguments.end())
            return false;
        const std::optional<double> seconds = ParseArgument(*(option + 1), 0.0, kLatestSecond);
        if (!seconds || *seconds == kLatestSecond)
            return false;
        values.push_back(*seconds);
        option = arguments.erase(option, option + 2);
    }
    return true;
}

void WriteStream(CJsonWriter& json, const MediaStream& stream, int track)
{
    json.BeginObject().Key("index").Value(stream.index);
    switch (stream.type) {
    case MediaStream::EType::Audio:
        json.Key("type").Value("audio").Key("track").Value(track);
        json.Key("channels").Value(stream.channels).Key("sample_rate").Value(stream.sampleRate);
        break;
    case MediaStream::EType::Video:
        json.Key("type").Value("video").Key("width").Value(stream.width).Key("height").Value(stream.height);
        json.Key("fps").Value(stream.framesPerSecond, 3);
        break;
    case MediaStream::EType::Other:
        json.Key("type").Value("other");
        break;
    }
    json.Key("codec").Value(stream.codec);
    if (!stream.language.empty())
        json.Key("language").Value(stream.language);
    json.EndObject();
}

} // namespace

int RunInfoVideoCommand(ToolContext& context)
{
    if (context.arguments.size() != 1)
        return UsageError(kInfoVideoUsage);
    CFfmpegVideoSongs videos;
    const std::string& path = context.arguments[0];
    const std::optional<VideoSong> song = ReadVideoSong(context, videos, path);
    if (!song)
        return 1;
    CJsonWriter json(std::cout);
    json.BeginObject().Key("container").Value(song->info.container);
    json.Key("length_ms").Value(static_cast<long long>(song->info.lengthMilliseconds));
    json.Key("streams").BeginArray();
    int track = 0;
    for (const MediaStream& stream : song->info.streams)
        WriteStream(json, stream, stream.type == MediaStream::EType::Audio ? ++track : 0);
    json.EndArray();
    json.Key("audio_tracks").Value(song->audioTracks).Key("picture").Value(song->info.HasPicture());
    if (song->audioTracks > 0) {
        const std::vector<MediaStream> tracks = song->info.AudioTracks();
        json.Key("vocal_layout").Value(VocalLayoutText(song->layout));
        json.Key("vocal_label").Value(VocalLayoutLabel(song->layout));
        json.Key("remembered").Value(song->remembered);
        json.Key("choices").BeginArray();
        for (const VocalLayout& choice : VocalLayoutChoices(song->audioTracks, tracks.front().channels))
            json.Value(VocalLayoutText(choice));
        json.EndArray();
    }
    json.EndObject();
    std::cout << '\n';
    return 0;
}

int RunRenderVideoAudioCommand(ToolContext& context)
{
    const auto& arguments = context.arguments;
    if (arguments.size() < 2)
        return UsageError(kRenderVideoAudioUsage);
    std::vector<std::string> options(arguments.begin() + 2, arguments.end());
    const bool backing = TakeSwitch(options, "--backing");
    const bool normalize = !TakeSwitch(options, "--no-normalize");
    std::vector<double> switches;
    ShiftOptions shift;
    if (!TakeSeconds(options, "--switch-at", switches) || !ParseShiftOptions(options, 0, kAudioPitchLimit, shift))
        return UsageError(kRenderVideoAudioUsage);
    CFfmpegVideoSongs videos;
    const std::optional<VideoSong> song = ReadVideoSong(context, videos, arguments[0]);
    if (!song || !HasSound(context, *song, arguments[0]))
        return 1;
    RenderedPicks picks {HeardChannels(song->layout, !backing), {}};
    bool original = !backing;
    std::sort(switches.begin(), switches.end());
    for (const double seconds : switches) {
        original = !original;
        picks.changes.emplace_back(seconds, HeardChannels(song->layout, original));
    }
    const std::optional<double> gain
        = normalize ? std::optional(MeasuredLevelingGainDb(context, arguments[0], ESongKind::Audio)) : std::nullopt;
    const std::vector<int> tracks = DecodedTracks(song->layout);
    const auto frames = RenderAudio(
        context.prompts, arguments[0], arguments[1], {shift.transpose, shift.tempoPercent}, gain,
        [&videos, &tracks](const std::filesystem::path& path) { return videos.OpenAudio(path, tracks); },
        CRubberBandStretcher::Create, picks);
    if (!frames)
        return 1;
    std::cout << arguments[1] << ": " << static_cast<double>(*frames) / 44100 << " s\n";
    return 0;
}

int RunFrameCommand(ToolContext& context)
{
    std::vector<std::string> arguments = context.arguments;
    std::vector<double> at;
    if (!TakeSeconds(arguments, "--at", at) || at.size() != 1 || arguments.size() < 2)
        return UsageError(kFrameUsage);
    const std::string input = arguments[0];
    const std::string output = arguments[1];
    ShiftOptions shift;
    if (!ParseShiftOptions(arguments, 2, 0, shift))
        return UsageError(kFrameUsage);
    CFfmpegVideoSongs videos;
    const std::optional<VideoSong> song = ReadVideoSong(context, videos, input);
    if (!song || !HasSound(context, *song, input))
        return 1;
    std::optional<CVideoPicture> picture;
    try {
        picture.emplace(videos.OpenPictures(input));
    } catch (const std::runtime_error&) {
        context.prompts.ShowError(
            CaptionError(), Formatted(Tr("VideoCommands", "视频文件中没有画面: %1"), {Utf8ToUtf16(input)}));
        return 1;
    }
    // The song plays at the tempo on a virtual device, as fast as it decodes, and the picture
    // follows the position heard as the windows follow it, until that reaches the moment asked for.
    auto pacer = std::make_unique<CManualPacer>();
    CManualPacer& clock = *pacer;
    const std::unique_ptr<IAudioOutput> device = CreateNullAudioOutput(kStepFrames, std::move(pacer));
    const std::vector<int> tracks = DecodedTracks(song->layout);
    CAudioPlayer player(
        *device, context.prompts,
        [&videos, &tracks](const std::filesystem::path& path) { return videos.OpenAudio(path, tracks); },
        CRubberBandStretcher::Create);
    player.SetTempoPercent(shift.tempoPercent);
    if (!player.OpenAndPlay(input))
        return 1;
    double heard = 0.0;
    // A decoder that stops giving sound before the end stops the wait after a while.
    auto giveUp = std::chrono::steady_clock::now() + 10s;
    while (heard < at.front() && player.PositionMilliseconds() < player.EndMilliseconds()
        && std::chrono::steady_clock::now() < giveUp) {
        clock.Release(kStepFrames);
        clock.WaitUntilIdle();
        const double position = player.PositionSeconds();
        if (position == heard)
            std::this_thread::sleep_for(1ms); // the decode thread has not caught up
        else
            giveUp = std::chrono::steady_clock::now() + 10s;
        heard = position;
        picture->FrameAt(heard);
    }
    player.Stop();
    const std::shared_ptr<const SongFrame> frame = picture->WaitForFrameAt(std::min(heard, at.front()), 10s);
    if (!frame) {
        context.prompts.ShowError(
            CaptionError(), Formatted(Tr("VideoCommands", "视频文件中的画面无法解码: %1"), {Utf8ToUtf16(input)}));
        return 1;
    }
    if (!SavePng(output, *frame)) {
        context.prompts.ShowError(
            CaptionError(), Formatted(Tr("VideoCommands", "无法写入文件 %1"), {Utf8ToUtf16(output)}));
        return 1;
    }
    std::cout << output << ": " << frame->width << "x" << frame->height << ", picture " << frame->sequence << "\n";
    return 0;
}

} // namespace linlangok
