// Scoring the singer, on synthetic singers whose truth is known: how well the pitch tracker
// follows them (share of voiced frames within 50 cents, octave errors), the scores of the cases a
// scorer must tell apart, a singer heard late through a known latency, and the CPU time of
// tracking a voice. Figures only.
//
// bench_scoring [--method yinfast|yin|yinfft] [--confidence C]

#include "bench/BenchSupport.h"
#include "core/scoring/SingingScore.h"
#include "platform/pitch/AubioPitchTracker.h"
#include "tests/support/TestSinger.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <random>
#include <string>

namespace linlangok {
namespace {

constexpr int kRate = 44100;
constexpr int kNotes = 48;

struct TrackerChoice {
    std::string method = "yinfast";
    float confidence = CAubioPitchTracker::kMinimumConfidence;
};

PitchTrackerFactory Factory(const TrackerChoice& choice)
{
    return [choice](int rate) { return std::make_unique<CAubioPitchTracker>(rate, choice.method, choice.confidence); };
}

double SongSeconds(const std::vector<MelodyNote>& tune)
{
    return tune.back().end + 1.0;
}

// Share of the frames voiced in truth (their whole window inside one voiced stretch) that the
// tracker put within 50 cents, and those an octave or more away.
void ReportTracking(const char* name, const SungVoice& voice, const std::vector<PitchFrame>& frames)
{
    size_t voiced = 0, within = 0, octaves = 0, unvoiced = 0;
    const auto margin = static_cast<std::ptrdiff_t>(0.023 * kRate);
    for (const PitchFrame& frame : frames) {
        const auto centre = static_cast<std::ptrdiff_t>(std::llround(frame.seconds * kRate));
        if (centre - margin < 0 || centre + margin >= std::ptrdiff_t(voice.truePitch.size()))
            continue;
        if (std::isnan(voice.truePitch[size_t(centre - margin)]) || std::isnan(voice.truePitch[size_t(centre + margin)])
            || std::isnan(voice.truePitch[size_t(centre)]))
            continue;
        ++voiced;
        if (std::isnan(frame.pitch)) {
            ++unvoiced;
            continue;
        }
        const double error = std::abs(frame.pitch - voice.truePitch[size_t(centre)]);
        within += error <= 0.5;
        octaves += error >= 11;
    }
    std::printf("  %-28s voiced frames %zu: within 50 cents %.2f %%, octave errors %.2f %%, unvoiced %.2f %%\n", name,
        voiced, 100.0 * double(within) / double(voiced), 100.0 * double(octaves) / double(voiced),
        100.0 * double(unvoiced) / double(voiced));
}

int Score(const std::vector<MelodyNote>& tune, const std::vector<PitchFrame>& frames, double latency,
    EDifficulty difficulty = EDifficulty::Normal)
{
    ReferenceMelody melody {EMelodySource::Midi, tune, MelodyLines(tune)};
    CSingingScorer scorer(melody, difficulty);
    for (const PitchFrame& frame : frames)
        scorer.Add({frame.seconds - latency, frame.pitch});
    scorer.Finish();
    return scorer.Result().score;
}

std::vector<float> Mixed(std::vector<float> voice, const std::vector<float>& other)
{
    for (size_t at = 0; at < voice.size() && at < other.size(); ++at)
        voice[at] += other[at];
    return voice;
}

double Rms(const std::vector<float>& samples)
{
    double power = 0;
    for (float sample : samples)
        power += double(sample) * sample;
    return std::sqrt(power / double(std::max<size_t>(samples.size(), 1)));
}

} // namespace
} // namespace linlangok

int main(int argc, char** argv)
{
    using namespace linlangok;
    TrackerChoice choice;
    for (int index = 1; index + 1 < argc; index += 2) {
        if (std::strcmp(argv[index], "--method") == 0)
            choice.method = argv[index + 1];
        else if (std::strcmp(argv[index], "--confidence") == 0)
            choice.confidence = std::stof(argv[index + 1]);
    }
    const PitchTrackerFactory factory = Factory(choice);
    const std::vector<MelodyNote> tune = TestTune(kNotes);
    const double seconds = SongSeconds(tune);
    std::printf("bench_scoring: aubio %s, confidence %.2f, %d notes, %.1f s\n", choice.method.c_str(),
        double(choice.confidence), kNotes, seconds);

    std::printf("pitch tracking:\n");
    for (const double semitones : {0.0, -12.0, -19.0}) {
        SingerVoice voice;
        voice.semitones = semitones;
        const SungVoice sung = Sing(tune, voice, seconds);
        const double before = bench::ProcessCpuSeconds();
        const std::vector<PitchFrame> frames = TrackPitch(factory, sung.samples, kRate);
        const double cpu = bench::ProcessCpuSeconds() - before;
        const std::string name = "singer at " + std::to_string(int(semitones)) + " semitones";
        ReportTracking(name.c_str(), sung, frames);
        std::printf("  %-28s tracking CPU %.1f ms for %.1f s: %.2f %% of a core\n", "", cpu * 1000, seconds,
            100 * cpu / seconds);
    }

    std::printf("scores (normal):\n");
    const auto scoreOf = [&](const std::vector<float>& samples, double latency = 0) {
        return Score(tune, TrackPitch(factory, samples, kRate), latency);
    };
    const SungVoice exact = Sing(tune, SingerVoice {}, seconds);
    std::printf("  exact                           %3d (goal >= 95)\n", scoreOf(exact.samples));
    SingerVoice low;
    low.semitones = -12;
    std::printf("  an octave down                  %3d (goal >= 93)\n", scoreOf(Sing(tune, low, seconds).samples));
    SingerVoice flat;
    flat.flatEveryOther = 2;
    std::printf("  2 semitones flat, every other   %3d (goal 40..60)\n", scoreOf(Sing(tune, flat, seconds).samples));
    std::printf(
        "  silence                         %3d (goal 0)\n", scoreOf(std::vector<float>(exact.samples.size(), 0.0f)));
    std::vector<float> noise(exact.samples.size());
    std::mt19937 random(3);
    std::normal_distribution<float> gauss(0.0f, 0.1f);
    for (float& sample : noise)
        sample = gauss(random);
    std::printf("  white noise                     %3d (goal <= 10)\n", scoreOf(noise));
    const double leakLevel = Rms(exact.samples) * std::pow(10.0, -10.0 / 20);
    std::printf("  exact, backing leaking at -10 dB %3d (goal >= 90)\n",
        scoreOf(Mixed(exact.samples, TestBacking(tune, kRate, seconds, leakLevel))));
    const size_t late = static_cast<size_t>(0.150 * kRate);
    std::vector<float> delayed(late, 0.0f);
    delayed.insert(delayed.end(), exact.samples.begin(), exact.samples.end());
    std::printf("  exact, heard 150 ms late, known  %3d (goal within 2 of exact)\n", scoreOf(delayed, 0.150));
    std::printf("  exact, heard 150 ms late, not    %3d\n", scoreOf(delayed, 0.0));
    return 0;
}
