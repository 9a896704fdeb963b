// Video songs: what playing one costs and how closely its picture and its 原唱/伴唱 switch follow
// the sound. Every video is made with the ffmpeg command in a temporary folder.
//
// - CPU (share of one core, the whole process) while a video plays in real time: its sound
//   through the player on the null device, its pictures followed every 15 ms as the 视频 window
//   follows them (without painting), with software decoding; and the pictures shown and dropped.
// - The switch, live on a virtual device: how long after the click the other tone dominates (add
//   the output's buffer and latency for a sound card), the longest silence around it, and the
//   largest jump of the position, by channel and by track, at 100 % and at 80 % (stretched).
// - A/V sync over 5 minutes at 100, 80 and 150 % and after 20 random seeks: the largest distance,
//   in pictures, between the picture shown at the position heard and the one due then. The video
//   is Matroska, whose times are exact; ffmpeg's own MPEG program streams carry a time on few
//   packets, and the times guessed between them put a picture one early here and there.

#include "bench/BenchSupport.h"
#include "bench/support/SilentPrompts.h"
#include "core/picture/VideoPicture.h"
#include "core/playback/AudioPlayer.h"
#include "platform/audio/ClockedAudioOutput.h"
#include "platform/audio/RubberBandStretcher.h"
#include "platform/video/FfmpegVideoSongs.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <numbers>
#include <random>
#include <set>
#include <thread>

namespace linlangok {
namespace {

using namespace std::chrono_literals;

constexpr size_t kBufferFrames = 441;
const std::string kBars = "\"color=c=black:s=64x48:r=25:d=%d,geq=lum='if(bitand(N\\,pow(2\\,floor(X/4)))\\,235\\,16)'"
                          ":cb=128:cr=128\"";

std::filesystem::path g_folder;
bench::CSilentPrompts g_prompts;
CFfmpegVideoSongs g_videos;

bool Make(const std::string& arguments)
{
    const std::string command = "cd '" + g_folder.string() + "' && ffmpeg -v error -y " + arguments;
    return std::system(command.c_str()) == 0;
}

std::string Bars(int seconds)
{
    char text[256];
    std::snprintf(text, sizeof text, kBars.c_str(), seconds);
    return text;
}

int Number(const SongFrame& frame)
{
    int number = 0;
    for (int bar = 0; bar < 16; ++bar)
        number |= (frame.pixels.at(static_cast<size_t>(24 * frame.width + bar * 4 + 2)) & 0xFF) > 128 ? 1 << bar : 0;
    return number;
}

AudioFileOpener Tracks(std::vector<int> tracks)
{
    return [tracks](const std::filesystem::path& path) { return g_videos.OpenAudio(path, tracks); };
}

void MeasureCpu(const char* label, const std::filesystem::path& video, double seconds)
{
    const auto output = CreateNullAudioOutput(512, std::make_unique<CRealTimePacer>(44100, 512));
    CAudioPlayer player(*output, g_prompts, Tracks({0}), CRubberBandStretcher::Create);
    const double cpuBefore = bench::ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    if (!player.OpenAndPlay(video))
        return;
    CVideoPicture picture(g_videos.OpenPictures(video));
    std::set<std::uint64_t> shown;
    while (std::chrono::steady_clock::now() - start < std::chrono::duration<double>(seconds)) {
        if (const auto frame = picture.FrameAt(player.PositionSeconds()))
            shown.insert(frame->sequence);
        std::this_thread::sleep_for(15ms);
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = bench::ProcessCpuSeconds() - cpuBefore;
    double fps = 0;
    for (const MediaStream& stream : g_videos.Probe(video).streams)
        fps = stream.type == MediaStream::EType::Video ? stream.framesPerSecond : fps;
    const auto due = static_cast<size_t>(player.PositionSeconds() * fps);
    std::printf("%-34s %5.1f %% of one core; %zu of %zu pictures shown\n", label, 100 * cpu / wall, shown.size(), due);
}

// The power of a tone in a stretch of one channel (Goertzel).
double Power(const std::vector<float>& stereo, size_t first, size_t frames, int channel, double frequency)
{
    const double coefficient = 2 * std::cos(2 * std::numbers::pi * frequency / 44100);
    double previous = 0;
    double before = 0;
    for (size_t frame = first; frame < first + frames; ++frame) {
        const double next = stereo[frame * 2 + static_cast<size_t>(channel)] + coefficient * previous - before;
        before = previous;
        previous = next;
    }
    return previous * previous + before * before - coefficient * previous * before;
}

void MeasureSwitch(const char* label, const std::filesystem::path& video, std::vector<int> tracks, ChannelPick from,
    ChannelPick to, double oldTone, double newTone, int tempo)
{
    std::vector<float> heard;
    std::mutex heardLock;
    auto pacer = std::make_unique<CManualPacer>();
    CManualPacer& clock = *pacer;
    CClockedAudioOutput output("bench", kBufferFrames, std::move(pacer), [&](const float* samples, size_t frames) {
        std::lock_guard lock(heardLock);
        heard.insert(heard.end(), samples, samples + frames * 2);
    });
    CAudioPlayer player(output, g_prompts, Tracks(tracks), CRubberBandStretcher::Create);
    player.SetTempoPercent(tempo);
    player.SetChannelPick(from);
    if (!player.OpenAndPlay(video))
        return;
    std::this_thread::sleep_for(300ms); // the decode thread fills the ring ahead
    const size_t clickBuffer = 150;
    double largestJump = 0;
    std::int64_t lastPosition = 0;
    for (size_t buffer = 0; buffer < 300; ++buffer) {
        if (buffer == clickBuffer)
            player.SetChannelPick(to);
        clock.Release(kBufferFrames);
        clock.WaitUntilIdle();
        const std::int64_t position = player.PositionMilliseconds();
        if (buffer > 0)
            largestJump = std::max(largestJump, std::abs((position - lastPosition) - 10.0 * tempo / 100));
        lastPosition = position;
        if (buffer % 20 == 0)
            std::this_thread::sleep_for(20ms);
    }
    player.Stop();
    std::lock_guard lock(heardLock);
    const size_t click = clickBuffer * kBufferFrames;
    const size_t window = 220; // 5 ms
    double heardAfter = -1;
    for (size_t frame = click - window; frame + window < heard.size() / 2 && heardAfter < 0; frame += 11)
        if (Power(heard, frame, window, 0, newTone) > Power(heard, frame, window, 0, oldTone))
            heardAfter = (static_cast<double>(frame + window) - static_cast<double>(click)) / 44.1;
    double level = 0;
    for (size_t frame = click - 44100 / 2; frame < click; ++frame)
        level = std::max(level, static_cast<double>(std::abs(heard[frame * 2])));
    size_t quiet = 0;
    size_t longestQuiet = 0;
    for (size_t frame = click - 4410; frame < click + 4410; ++frame) {
        quiet = std::abs(heard[frame * 2]) < level * 0.05 && std::abs(heard[frame * 2 + 1]) < level * 0.05 ? quiet + 1
                                                                                                           : 0;
        longestQuiet = std::max(longestQuiet, quiet);
    }
    std::printf("%-34s other tone after %5.1f ms, longest quiet %4.2f ms, largest position jump %4.1f ms\n", label,
        heardAfter, static_cast<double>(longestQuiet) / 44.1, largestJump);
}

void MeasureSync(const std::filesystem::path& video, int tempo)
{
    auto pacer = std::make_unique<CManualPacer>();
    CManualPacer& clock = *pacer;
    const auto output = CreateNullAudioOutput(kBufferFrames, std::move(pacer));
    CAudioPlayer player(*output, g_prompts, Tracks({0}), CRubberBandStretcher::Create);
    player.SetTempoPercent(tempo);
    if (!player.OpenAndPlay(video))
        return;
    CVideoPicture picture(g_videos.OpenPictures(video));
    double largest = 0;
    double next = 0;
    int samples = 0;
    for (double position = 0; position < 299.0; position = player.PositionSeconds()) {
        clock.Release(kBufferFrames);
        clock.WaitUntilIdle();
        if (position == player.PositionSeconds())
            std::this_thread::sleep_for(1ms); // the decode thread is behind
        if (position < next)
            continue;
        next = position + 0.5;
        ++samples;
        const auto frame = picture.WaitForFrameAt(position, 5s);
        // Before the first picture (due a little after the sound starts) none is shown.
        if (frame)
            largest = std::max(largest, std::abs(Number(*frame) - std::floor(position * 25)));
    }
    std::mt19937 random(static_cast<unsigned>(tempo));
    double afterSeeks = 0;
    for (int seek = 0; seek < 20; ++seek) {
        const double seconds = std::uniform_real_distribution<double>(0.0, 299.0)(random);
        const auto frame = picture.WaitForFrameAt(seconds, 5s);
        afterSeeks = std::max(afterSeeks, frame ? std::abs(Number(*frame) - std::floor(seconds * 25)) : 1e9);
    }
    std::printf("A/V sync at %3d %%: largest distance %.0f pictures over %d looks in 5 minutes, %.0f after 20 seeks\n",
        tempo, largest, samples, afterSeeks);
}

} // namespace
} // namespace linlangok

int main()
{
    using namespace linlangok;
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) {
        std::printf("bench_video: the ffmpeg command is not installed\n");
        return 0;
    }
    g_folder = std::filesystem::temp_directory_path() / ("linlangok-video-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(g_folder);
    const std::string tones = "-f lavfi -i sine=f=440:d=%1 -f lavfi -i sine=f=880:d=%1 -filter_complex "
                              "'[1:a][2:a]join=inputs=2:channel_layout=stereo' ";
    const auto sound = [&](int seconds) {
        std::string text = tones;
        for (size_t at; (at = text.find("%1")) != std::string::npos;)
            text.replace(at, 2, std::to_string(seconds));
        return text;
    };
    const bool made = Make("-f lavfi -i testsrc2=s=1920x1080:r=30:d=20 " + sound(20)
                          + "-c:v libx264 -preset veryfast -crf 20 -pix_fmt yuv420p -c:a aac h264-1080p.mp4")
        && Make(
            "-f lavfi -i testsrc2=s=720x576:r=25:d=20 " + sound(20) + "-c:v mpeg2video -b:v 6M -c:a mp2 dvd-576p.mpg")
        && Make("-f lavfi -i " + Bars(300) + " " + sound(300) + "-c:v mpeg2video -q:v 2 -c:a mp2 -b:a 192k bars.mkv")
        && Make("-f lavfi -i " + Bars(20)
            + " -f lavfi -i sine=f=440:d=20 -f lavfi -i sine=f=660:d=20 -map 0:v -map 1:a "
              "-map 2:a -ac 2 -c:v mpeg4 -c:a flac two.mkv");
    if (!made) {
        std::printf("bench_video: ffmpeg could not make the videos\n");
        return 1;
    }
    MeasureCpu("1080p H.264 30 fps, software", g_folder / "h264-1080p.mp4", 15);
    MeasureCpu("576p MPEG-2 25 fps (DVD), software", g_folder / "dvd-576p.mpg", 15);
    MeasureSwitch("switch by channel at 100 %", g_folder / "bars.mkv", {0}, {1, 1}, {0, 0}, 880, 440, 100);
    MeasureSwitch("switch by channel at 80 %", g_folder / "bars.mkv", {0}, {1, 1}, {0, 0}, 880, 440, 80);
    MeasureSwitch("switch by track at 100 %", g_folder / "two.mkv", {0, 1}, {0, 1}, {2, 3}, 440, 660, 100);
    MeasureSwitch("switch by track at 150 %", g_folder / "two.mkv", {0, 1}, {0, 1}, {2, 3}, 440, 660, 150);
    for (const int tempo : {100, 80, 150})
        MeasureSync(g_folder / "bars.mkv", tempo);
    std::filesystem::remove_all(g_folder);
    return 0;
}
