// The live scoring in real time: a synthetic singer on the WAV-file input (paced as a sound card
// delivers), tracked and scored while the UI thread ticks at 60 Hz as the lyrics window does.
// Reports how long after being sung a pitch is there at the tick that paints it, the CPU time the
// capture and the analysis cost as a share of one core, and the score. Figures only.
//
// bench_live_scoring [--seconds S]

#include "bench/BenchSupport.h"
#include "core/scoring/LiveScoring.h"
#include "platform/audio/WavFileWriter.h"
#include "platform/audio/WaveInSystem.h"
#include "platform/pitch/AubioPitchTracker.h"
#include "tests/support/TestSinger.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

int main(int argc, char** argv)
{
    using namespace linlangok;
    using namespace std::chrono_literals;
    const int notes = argc == 3 && std::strcmp(argv[1], "--seconds") == 0 ? std::atoi(argv[2]) * 8 / 5 : 48;
    const std::vector<MelodyNote> tune = TestTune(std::max(notes, 8));
    const double seconds = tune.back().end + 0.5;
    const SungVoice sung = Sing(tune, SingerVoice {}, seconds);
    const std::filesystem::path voice = std::filesystem::temp_directory_path() / "bench_live_scoring.wav";
    {
        std::vector<float> stereo(2 * sung.samples.size());
        for (size_t at = 0; at < sung.samples.size(); ++at)
            stereo[2 * at] = stereo[2 * at + 1] = sung.samples[at];
        CWavFileWriter writer(voice, EWavFileMode::Replacing);
        if (!writer.WriteFloat(stereo.data(), sung.samples.size()) || !writer.Commit())
            return 1;
    }
    setenv("LINLANGOK_AUDIO_IN", ("wav:" + voice.string()).c_str(), 1);
    const std::unique_ptr<IWaveInSystem> input = CreateWaveInSystem();
    CLiveScoring live(*input, MakeAubioPitchTracker);
    ReferenceMelody melody {EMelodySource::Midi, tune, MelodyLines(tune)};

    const double cpuBefore = bench::ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    if (!live.Start(kWaveMapper, {melody, EDifficulty::Normal, 1.0, 0.0, std::nullopt})) {
        std::fprintf(stderr, "bench_live_scoring: the WAV input cannot be opened\n");
        return 1;
    }
    std::vector<double> lags;
    double lastShown = -1;
    for (auto tick = start; tick - start < std::chrono::duration<double>(seconds); tick += 16667us) {
        std::this_thread::sleep_until(tick);
        const auto now = std::chrono::steady_clock::now();
        const double heard = std::chrono::duration<double>(now - start).count();
        live.Update(heard, now);
        for (const TracePoint& point : live.ViewAt(heard).trace) {
            if (point.seconds > lastShown && !std::isnan(point.pitch))
                lags.push_back(heard - point.seconds);
            lastShown = std::max(lastShown, point.seconds);
        }
    }
    const std::optional<SongScore> score = live.Stop();
    const double cpu = bench::ProcessCpuSeconds() - cpuBefore;
    std::filesystem::remove(voice);
    std::printf("bench_live_scoring: %.1f s of singing in real time, the UI ticking at 60 Hz\n", seconds);
    std::printf("  a sung pitch is painted at the tick p50 %.1f ms, p95 %.1f ms, max %.1f ms after it was sung "
                "(goal: shown within 60 ms)\n",
        1000 * bench::Percentile(lags, 0.5), 1000 * bench::Percentile(lags, 0.95), 1000 * bench::Percentile(lags, 1.0));
    std::printf("  capture, analysis and scoring: %.2f %% of one core (goal: under 2 %%)\n", 100 * cpu / seconds);
    std::printf("  score %d, %d of %d notes hit, %llu samples dropped\n", score ? score->score : -1,
        score ? score->notesHit : 0, score ? score->notes : 0, static_cast<unsigned long long>(live.DroppedSamples()));
    return 0;
}
