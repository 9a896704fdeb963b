// Audible timing: a click track (side-stick hits on every beat, the tempo changing every eight
// beats) plays in real time through the sequencer and the built-in synthesizer into the WAV-file
// audio device; the onsets found in the written audio are compared with the tempo map. Reports
// the jitter of the onsets around their median offset (p50, p99, maximum) for each buffer size,
// and for the same song rendered offline (virtual time: the synthesizer's 64-frame blocks
// alone, as the messages are stamped with their tempo-map times). Figures only.
//
// bench_audible_timing [--seconds N] [--buffer FRAMES]...   (default 20 s, buffers 64, 256, 1024, 4096)

#include "bench/BenchSupport.h"
#include "bench/SoundFileSupport.h"
#include "bench/support/SilentPrompts.h"
#include "common/CodePage.h"
#include "common/UiTaskQueue.h"
#include "core/midiplay/MidiSequencer.h"
#include "midi/MidiSong.h"
#include "platform/audio/AudioOutputDevices.h"
#include "platform/codepage/IconvCodePage.h"
#include "platform/midi/MidiOutputDeviceList.h"
#include "platform/render/RenderSong.h"
#include "platform/timer/ThreadTimerDriver.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include <unistd.h>

namespace linlangok {
namespace {

// Seconds of every click on the tempo map.
std::vector<double> ClickTimes(const CMidiSong& song)
{
    std::vector<double> times;
    for (size_t track = 0; track < song.TrackCount(); ++track) {
        for (const TrackEntry& entry : song.Track(track).Entries()) {
            const CChannelMessage* channel = AsChannelMessage(entry.message);
            if (channel && channel->IsNoteOn())
                times.push_back(song.TicksToSeconds(entry.tick));
        }
    }
    std::sort(times.begin(), times.end());
    return times;
}

// Finds each click's onset (the first sample above a tenth of the loudest) near where the
// first onset and the tempo map put it, and prints the jitter of (onset - tempo map time).
void Report(const char* label, const std::vector<float>& left, const std::vector<double>& clicks)
{
    float peak = 0.0f;
    for (float sample : left)
        peak = std::max(peak, std::fabs(sample));
    const float threshold = peak / 10;
    auto firstLoud = [&](size_t from, size_t to) -> long {
        for (size_t frame = from; frame < std::min(to, left.size()); ++frame) {
            if (std::fabs(left[frame]) > threshold)
                return static_cast<long>(frame);
        }
        return -1;
    };
    const long first = firstLoud(0, left.size());
    if (first < 0 || clicks.empty()) {
        std::printf("%s: no clicks heard\n", label);
        return;
    }
    std::vector<double> offsets;
    size_t missed = 0;
    for (double click : clicks) {
        const double expected = first + (click - clicks.front()) * 44100;
        const long onset = firstLoud(
            static_cast<size_t>(std::max(0.0, expected - 0.02 * 44100)), static_cast<size_t>(expected + 0.03 * 44100));
        if (onset < 0)
            ++missed;
        else
            offsets.push_back((onset - first) / 44100.0 - (click - clicks.front()));
    }
    const double median = bench::Percentile(offsets, 0.5);
    std::vector<double> jitter;
    for (double offset : offsets)
        jitter.push_back(std::fabs(offset - median));
    std::printf("%s: %zu clicks, %zu missed; onset jitter p50 %.3f ms, p99 %.3f ms, max %.3f ms\n", label,
        offsets.size(), missed, bench::Percentile(jitter, 0.5) * 1e3, bench::Percentile(jitter, 0.99) * 1e3,
        bench::Percentile(jitter, 1.0) * 1e3);
}

void PlayInRealTime(IUserPrompts& prompts, const std::filesystem::path& songPath,
    const std::filesystem::path& soundFont, const std::filesystem::path& wavPath, size_t bufferFrames,
    std::vector<double>& clicks)
{
    auto audio = OpenAudioOutput("wav:" + wavPath.string(), bufferFrames);
    CThreadTimerDriver driver;
    const CIconvCodePage codePage("GBK"); // the benchmark songs hold no texts
    CMidiSong song(codePage);
    if (!song.Load(songPath))
        return;
    clicks = ClickTimes(song);
    CMidiOutputDeviceList devices(soundFont, *audio, false);
    CUiTaskQueue uiThread;
    CMidiSequencer sequencer(prompts, uiThread, devices, driver, &song);
    sequencer.Start();
    while (sequencer.ElapsedSeconds() < song.LengthSeconds() + 0.5)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    sequencer.Stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
}

} // namespace
} // namespace linlangok

int main(int argc, char** argv)
{
    using namespace linlangok;
    double seconds = 20.0;
    std::vector<size_t> buffers;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::atof(argv[++i]);
        else if (std::strcmp(argv[i], "--buffer") == 0)
            buffers.push_back(static_cast<size_t>(std::atol(argv[++i])));
    }
    if (buffers.empty())
        buffers = {64, 256, 1024, 4096};
    const auto soundFont = FindSoundFont(std::getenv("LINLANGOK_SOUNDFONT"));
    if (!soundFont) {
        std::printf("no SoundFont: set LINLANGOK_SOUNDFONT\n");
        return 1;
    }
    const auto folder = std::filesystem::temp_directory_path() / ("bench_audible_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const auto songPath = folder / "clicks.mid";
    std::ofstream(songPath, std::ios::binary) << bench::ClickTrackBytes(seconds);
    bench::CSilentPrompts prompts;

    std::vector<double> clicks;
    for (size_t bufferFrames : buffers) {
        const auto wavPath = folder / "clicks.wav";
        PlayInRealTime(prompts, songPath, *soundFont, wavPath, bufferFrames, clicks);
        const std::string label = "real time, WAV-file device, " + std::to_string(bufferFrames) + "-frame buffer";
        Report(label.c_str(), bench::ReadLeftChannel(wavPath), clicks);
    }
    RenderOptions options;
    options.soundFont = *soundFont;
    if (RenderSong(prompts, CIconvCodePage("GBK"), songPath, folder / "offline.wav", options))
        Report("offline render (virtual time)", bench::ReadLeftChannel(folder / "offline.wav"), clicks);
    std::filesystem::remove_all(folder);
    return 0;
}
