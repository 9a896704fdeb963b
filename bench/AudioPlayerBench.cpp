// Accompaniment playback costs: decoding speed of WAV, resampled WAV and MP3 files as the
// player's decode thread sees them (CPU time per second of audio), and the audio callback's time
// for one 512-frame buffer with the player mixing from its ring (p50, p99, maximum).

#include "bench/support/SilentPrompts.h"
#include "core/playback/AudioPlayer.h"
#include "core/playback/AudioSourceMixer.h"
#include "platform/audio/RubberBandStretcher.h"
#include "platform/audio/SndFileDecoder.h"

#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <numbers>
#include <thread>
#include <unistd.h>
#include <vector>

namespace linlangok {
namespace {

constexpr int kSeconds = 20;
constexpr size_t kBufferFrames = 512;

double CpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void WriteMusic(const std::filesystem::path& path, int rate, int format)
{
    std::vector<float> samples(static_cast<size_t>(2 * kSeconds * rate));
    for (size_t i = 0; i < samples.size() / 2; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double note = 220 * std::pow(2.0, static_cast<int>(t * 2) % 12 / 12.0);
        samples[2 * i] = static_cast<float>(0.3 * std::sin(2 * std::numbers::pi * note * t));
        samples[2 * i + 1] = static_cast<float>(0.3 * std::sin(2 * std::numbers::pi * note * 1.5 * t));
    }
    SF_INFO info {};
    info.samplerate = rate;
    info.channels = 2;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    sf_writef_float(file, samples.data(), static_cast<sf_count_t>(samples.size() / 2));
    sf_close(file);
}

void MeasureDecoding(const char* label, const std::filesystem::path& path)
{
    CSndFileDecoder decoder(path);
    std::vector<float> chunk(4096 * 2);
    const double start = CpuSeconds();
    size_t frames = 0;
    while (const size_t read = decoder.Read(chunk.data(), 4096))
        frames += read;
    const double cpu = CpuSeconds() - start;
    const double audio = static_cast<double>(frames) / 44100;
    std::printf("decode %-12s %.1f s of audio: %6.2f ms CPU per second of audio (%.0f× real time)\n", label, audio,
        1000 * cpu / audio, audio / cpu);
}

// The output the player sees; the benchmark drives its callback by hand.
class CHandDrivenOutput final : public IAudioOutput {
public:
    std::string Name() const override { return "bench"; }
    int SampleRate() const override { return 44100; }
    size_t BufferFrames() const override { return kBufferFrames; }
    std::chrono::microseconds OutputLatency() const override { return {}; }
    void AddSource(IAudioSource& source) override { m_mixer.AddSource(source); }
    void RemoveSource(IAudioSource& source) override { m_mixer.RemoveSource(source); }
    CAudioSourceMixer m_mixer;
};

void MeasureCallback(const std::filesystem::path& path)
{
    CHandDrivenOutput output;
    bench::CSilentPrompts prompts;
    CAudioPlayer player(output, prompts, CSndFileDecoder::Open, CRubberBandStretcher::Create);
    player.OpenAndPlay(path.u16string());
    std::vector<float> mix(kBufferFrames * 2);
    std::vector<double> times;
    AudioBufferTiming timing;
    // Five times faster than real time: the decode thread (every 10 ms) stays well ahead.
    const auto period = std::chrono::microseconds(kBufferFrames * 1000000 / 44100 / 5);
    auto next = std::chrono::steady_clock::now();
    while (player.PositionMilliseconds() < player.EndMilliseconds()) {
        const auto start = std::chrono::steady_clock::now();
        output.m_mixer.Render(mix.data(), kBufferFrames, timing);
        times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
        timing.firstFrame += kBufferFrames;
        next += period;
        std::this_thread::sleep_until(next);
    }
    std::sort(times.begin(), times.end());
    std::printf("callback (512 frames, player mixing): p50 %.1f µs, p99 %.1f µs, max %.1f µs over %zu buffers; "
                "the buffer lasts %.0f µs\n",
        times[times.size() / 2], times[times.size() * 99 / 100], times.back(), times.size(),
        kBufferFrames * 1e6 / 44100);
}

} // namespace
} // namespace linlangok

int main()
{
    using namespace linlangok;
    const auto folder = std::filesystem::temp_directory_path() / ("linlangok-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    WriteMusic(folder / "music.wav", 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    WriteMusic(folder / "music48k.wav", 48000, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    WriteMusic(folder / "music.mp3", 44100, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III);
    MeasureDecoding("WAV 44.1 kHz", folder / "music.wav");
    MeasureDecoding("WAV 48 kHz", folder / "music48k.wav");
    MeasureDecoding("MP3", folder / "music.mp3");
    MeasureCallback(folder / "music.mp3");
    std::filesystem::remove_all(folder);
    return 0;
}
