// The vocal reduction of a stereo song (伴唱 from the song itself), on signals made for it:
// - a centre voice (a harmonic tone up to 3 kHz with vibrato, equal in left and right) at three
//   pitches: its level in the reduced pair against the song's;
// - tones between the voice's harmonics, hard left, hard right and 60 % either way (balance and
//   constant-power laws), mixed with the voice: their level change in the reduced pair;
// - timing: the lag of the reduced pair behind the song (cross-correlation of a hard-left voice,
//   which passes untouched) and the frames until the channel pick hears the reduced pair alone;
// - CPU: a Google Benchmark over 10 s of the mix, in percent of one core at real time.
#include "core/playback/ChannelPick.h"
#include "core/playback/VocalReduction.h"
#include "platform/fft/FftwRealFft.h"
#include "tests/platform/audio/AudioTestSignals.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <numbers>
#include <vector>

namespace linlangok {
namespace {

constexpr size_t kFrames = 10 * 44100;

std::unique_ptr<IAudioFileDecoder> Reducer(const std::vector<std::int16_t>& song)
{
    return std::make_unique<CVocalReducedDecoder>(
        std::make_unique<test::CMemoryDecoder>(song, 10000), CFftwRealFft::Create);
}

std::vector<float> Reduce(const std::vector<std::int16_t>& song)
{
    std::vector<float> output(4 * kFrames);
    Reducer(song)->Read(output.data(), kFrames);
    return output;
}

// A channel's level (dB) over the middle 8 s.
double Level(const std::vector<float>& output, int channel, double hertz = 0)
{
    return test::Level(&output[4 * 44100], kFrames - 2 * 44100, 4, channel, hertz);
}

void MeasureVoice()
{
    for (const double hertz : {147.0, 220.0, 330.0}) {
        const auto output = Reduce(test::VoiceFrames(kFrames, hertz, 0.15, 0.15));
        std::printf("centre voice at %.0f Hz (vibrato ±2 %%): left %.1f dB, right %.1f dB\n", hertz,
            Level(output, 2) - Level(output, 0), Level(output, 3) - Level(output, 1));
    }
    // Off the centre (constant power), where the gain starts to rise.
    for (const double pan : {0.1, 0.2, 0.3}) {
        const double angle = (1 + pan) * std::numbers::pi / 4;
        const auto output = Reduce(test::VoiceFrames(kFrames, 220, 0.15 * std::cos(angle), 0.15 * std::sin(angle)));
        std::printf("voice at 220 Hz %.0f %% right: left %.1f dB, right %.1f dB\n", 100 * pan,
            Level(output, 2) - Level(output, 0), Level(output, 3) - Level(output, 1));
    }
}

void MeasureSides()
{
    const char* names[] = {"hard left", "hard right", "60 % left, balance law", "60 % right, balance law",
        "60 % left, constant power", "60 % right, constant power"};
    const double near = 0.1 * std::cos(0.1 * std::numbers::pi);
    const double far = 0.1 * std::sin(0.1 * std::numbers::pi);
    const std::vector<test::PannedTone> sides
        = {{330, 0.1, 0}, {770, 0, 0.1}, {1210, 0.1, 0.04}, {1650, 0.04, 0.1}, {2090, near, far}, {2530, far, near}};
    const auto output = Reduce(test::VoiceFrames(kFrames, 220, 0.15, 0.15, sides));
    for (size_t index = 0; index < sides.size(); ++index) {
        const int channel = sides[index].left >= sides[index].right ? 0 : 1;
        std::printf("%-27s %4.0f Hz with the voice: %+.2f dB\n", names[index], sides[index].hertz,
            Level(output, 2 + channel, sides[index].hertz) - Level(output, channel, sides[index].hertz));
    }
}

void MeasureTiming()
{
    const auto passed = Reduce(test::VoiceFrames(kFrames, 220, 0.15, 0));
    long bestLag = 0;
    double best = 0;
    for (long lag = -4096; lag <= 4096; ++lag) {
        double sum = 0;
        for (size_t frame = 5 * 44100; frame < 5 * 44100 + 22050; ++frame)
            sum += passed[4 * frame] * passed[4 * (frame + lag) + 2];
        if (sum > best) {
            best = sum;
            bestLag = lag;
        }
    }
    // 原唱 to 伴唱 mid-song on a centre voice: the frames until the pick hears the reduced pair alone.
    const auto output = Reduce(test::VoiceFrames(kFrames, 220, 0.15, 0.15));
    CChannelPicker picker;
    picker.Start(4, {0, 1});
    std::vector<float> heard(2 * kFrames);
    const size_t switchFrame = 5 * 44100;
    picker.MixInto(heard.data(), output.data(), switchFrame);
    picker.Pick({2, 3});
    picker.MixInto(&heard[2 * switchFrame], &output[4 * switchFrame], kFrames - switchFrame);
    size_t reduced = kFrames;
    while (reduced > switchFrame && heard[2 * (reduced - 1)] == output[4 * (reduced - 1) + 2])
        --reduced;
    const double fadeMilliseconds = 1000.0 * static_cast<double>(reduced - switchFrame) / 44100;
    std::printf("reduced pair behind the song: %ld frames; the reduced pair heard alone %zu frames after the "
                "switch (%.1f ms), so the switch is heard within %.1f ms of the pick\n",
        bestLag, reduced - switchFrame, fadeMilliseconds, fadeMilliseconds + 1000.0 * bestLag / 44100);
}

double ThreadCpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// 10 s of the voice with tones hard left and right, read as the player's decode thread does.
void ReduceTenSeconds(benchmark::State& state)
{
    const auto song = test::VoiceFrames(kFrames, 220, 0.15, 0.15, {{330, 0.1, 0}, {770, 0, 0.1}});
    std::vector<float> block(4 * 512);
    double cpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const auto decoder = Reducer(song);
        state.ResumeTiming();
        const double start = ThreadCpuSeconds();
        while (decoder->Read(block.data(), 512) > 0)
            benchmark::DoNotOptimize(block.data());
        cpu += ThreadCpuSeconds() - start;
    }
    // CPU time per second of audio, in percent of one core.
    state.counters["core_percent"] = 100 * cpu / (10.0 * static_cast<double>(state.iterations()));
}
BENCHMARK(ReduceTenSeconds)->Unit(benchmark::kMillisecond);

// Construction: the buffers and FFTW's plans.
void MakeDecoder(benchmark::State& state)
{
    const std::vector<std::int16_t> song(2);
    for (auto _ : state)
        benchmark::DoNotOptimize(Reducer(song));
}
BENCHMARK(MakeDecoder)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace linlangok

int main(int argc, char** argv)
{
    linlangok::MeasureVoice();
    linlangok::MeasureSides();
    linlangok::MeasureTiming();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
