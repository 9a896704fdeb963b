// Key and tempo for audio accompaniments:
// - pitch and duration: a 10 s 440 Hz sine rendered at +2 and -3 semitones (and at 80 %), its
//   frequency from interpolated zero crossings over the steady middle, against the exact value;
// - the stretcher engines and windows librubberband offers, offline: CPU time per second of audio
//   and pitch error at +2 (the player uses the finer engine on its short window);
// - CPU in real time: the process's CPU time per second of audio while the player plays an MP3 at
//   +2 into an output paced like a sound card (512-frame buffers);
// - how soon a key change is heard: the player plays a sine in real time and the key changes
//   every 1.5 s; the delay runs from the call to the first frame at the new pitch that the audio
//   callback takes (the sound card's own buffer comes on top).

#include "bench/support/SilentPrompts.h"
#include "core/audio/SampleFormat.h"
#include "core/playback/AudioPlayer.h"
#include "core/playback/AudioSourceMixer.h"
#include "platform/audio/RubberBandStretcher.h"
#include "platform/audio/SndFileDecoder.h"
#include "platform/render/RenderAudio.h"
#include "tests/platform/audio/AudioTestSignals.h"

#include <rubberband/RubberBandStretcher.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <thread>
#include <unistd.h>
#include <vector>

namespace linlangok {
namespace {

using RubberBand::RubberBandStretcher;

constexpr int kRate = 44100;
constexpr size_t kBufferFrames = 512;

double CpuSeconds(clockid_t clock)
{
    timespec now {};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double ExpectedFrequency(int semitones)
{
    return 440 * std::exp2(semitones / 12.0);
}

void MeasurePitchAndDuration(const std::filesystem::path& folder)
{
    const auto sine = folder / "sine.wav";
    test::WriteWavFile(sine, test::SineFrames(10 * kRate, 440, 0.5));
    bench::CSilentPrompts prompts;
    for (const StretchSettings settings :
        {StretchSettings {2, 100}, StretchSettings {-3, 100}, StretchSettings {2, 80}}) {
        const auto out = folder / "out.wav";
        RenderAudio(prompts, sine, out, settings, std::nullopt, CSndFileDecoder::Open, CRubberBandStretcher::Create);
        const auto audio = test::ReadAudioFile(out);
        const size_t frames = audio.samples.size() / 2;
        const double frequency = test::ToneFrequency(&audio.samples[frames / 10 * 2], frames * 8 / 10, 2, 0);
        const double expectedSeconds = 10.0 * 100 / settings.tempoPercent;
        std::printf("render %+d semitones at %d %%: %.3f Hz (exact %.3f Hz, error %+.3f cents); %.4f s (expected "
                    "%.4f s, off by %.1f ms)\n",
            settings.semitones, settings.tempoPercent, frequency, ExpectedFrequency(settings.semitones),
            test::Cents(frequency, ExpectedFrequency(settings.semitones)), static_cast<double>(frames) / kRate,
            expectedSeconds, 1000 * std::abs(static_cast<double>(frames) / kRate - expectedSeconds));
    }
}

// The library on its own, block by block as the stage drives it, at +2 over 10 s of sine (440 Hz
// left, 880 Hz right).
void CompareEngines()
{
    const auto input = test::SineFrames(10 * kRate, 440, 0.5);
    std::vector<float> left(input.size() / 2);
    std::vector<float> right(input.size() / 2);
    for (size_t i = 0; i < left.size(); ++i) {
        left[i] = Int16ToFloat(input[i * 2]);
        right[i] = Int16ToFloat(input[i * 2 + 1]);
    }
    struct Engine {
        const char* name;
        RubberBandStretcher::Options options;
    };
    const Engine engines[] = {
        {"faster (R2)", RubberBandStretcher::OptionEngineFaster},
        {"faster (R2), pitch high quality",
            RubberBandStretcher::OptionEngineFaster | RubberBandStretcher::OptionPitchHighQuality},
        {"finer (R3)", RubberBandStretcher::OptionEngineFiner},
        {"finer (R3), short window (used)",
            RubberBandStretcher::OptionEngineFiner | RubberBandStretcher::OptionWindowShort},
    };
    for (const Engine& engine : engines) {
        RubberBandStretcher stretcher(kRate, 2,
            engine.options | RubberBandStretcher::OptionProcessRealTime | RubberBandStretcher::OptionChannelsTogether
                | RubberBandStretcher::OptionThreadingNever,
            1.0, std::exp2(2 / 12.0));
        std::vector<float> output;
        std::vector<float> block(4096);
        std::vector<float> otherChannel(4096);
        const double start = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        const std::vector<float> pad(stretcher.getPreferredStartPad());
        const float* padChannels[] = {pad.data(), pad.data()};
        stretcher.process(padChannels, pad.size(), false);
        for (size_t at = 0; at < left.size();) {
            const size_t count
                = std::min({std::max<size_t>(stretcher.getSamplesRequired(), 1), size_t {4096}, left.size() - at});
            const float* channels[] = {&left[at], &right[at]};
            at += count;
            stretcher.process(channels, count, at == left.size());
            while (stretcher.available() > 0) {
                float* out[] = {block.data(), otherChannel.data()};
                const size_t got = stretcher.retrieve(out, std::min<size_t>(4096, stretcher.available()));
                output.insert(output.end(), block.begin(), block.begin() + static_cast<long>(got));
            }
        }
        const double cpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - start;
        std::vector<std::int16_t> samples(output.size());
        FloatsToInt16(output.data(), output.size(), samples.data());
        const size_t steady = samples.size() / 10;
        const double frequency = test::ToneFrequency(&samples[steady], samples.size() - 2 * steady, 1, 0);
        std::printf("engine %-32s %5.1f %% of one core, pitch error %+.2f cents, start delay %.1f ms\n", engine.name,
            100 * cpu / 10, test::Cents(frequency, ExpectedFrequency(2)),
            1000.0 * static_cast<double>(stretcher.getStartDelay()) / kRate);
    }
}

// An output that a thread of its own pulls in real time, one buffer per buffer period, keeping
// what it pulled.
class CPacedCapture final : public IAudioOutput {
public:
    explicit CPacedCapture(size_t frames)
        : m_samples(frames * 2)
    {
    }
    ~CPacedCapture() override { Finish(); }

    std::string Name() const override { return "bench"; }
    int SampleRate() const override { return kRate; }
    size_t BufferFrames() const override { return kBufferFrames; }
    std::chrono::microseconds OutputLatency() const override { return {}; }
    void AddSource(IAudioSource& source) override { m_mixer.AddSource(source); }
    void RemoveSource(IAudioSource& source) override { m_mixer.RemoveSource(source); }

    void Start()
    {
        m_thread = std::thread([this] {
            auto deadline = std::chrono::steady_clock::now();
            const auto period = std::chrono::nanoseconds(kBufferFrames * 1000000000ull / kRate);
            AudioBufferTiming timing;
            while (timing.firstFrame + kBufferFrames <= m_samples.size() / 2) {
                std::this_thread::sleep_until(deadline);
                m_mixer.Render(&m_samples[timing.firstFrame * 2], kBufferFrames, timing);
                timing.firstFrame += kBufferFrames;
                m_frames.store(timing.firstFrame);
                deadline += period;
            }
        });
    }
    void Finish()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    // The frames the callback has taken so far.
    std::uint64_t Frames() const { return m_frames.load(); }
    const std::vector<float>& Samples() const { return m_samples; }

private:
    CAudioSourceMixer m_mixer;
    std::vector<float> m_samples;
    std::atomic<std::uint64_t> m_frames {0};
    std::thread m_thread;
};

void MeasureRealTimeCpu(const std::filesystem::path& folder)
{
    const auto song = folder / "music.mp3";
    test::WriteMp3File(song, test::ChirpFrames(12 * kRate, 200, 4000, 0.5));
    constexpr int kSeconds = 10;
    for (const int semitones : {0, 2}) {
        CPacedCapture output(kSeconds * kRate);
        bench::CSilentPrompts prompts;
        CAudioPlayer player(output, prompts, CSndFileDecoder::Open, CRubberBandStretcher::Create);
        player.SetPitch(semitones);
        const double start = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        player.OpenAndPlay(song.u16string());
        output.Start();
        output.Finish();
        player.Stop();
        const double cpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - start;
        std::printf("real time, MP3 at %+d semitones: %.1f %% of one core (process CPU time per second of audio, "
                    "decoding and the paced output included)\n",
            semitones, 100 * cpu / kSeconds);
    }
}

// The first upward zero crossing at or after `from` from which on eight periods in a row last
// as long as a tone of `frequency` (within 0.3 %).
size_t ToneStart(const std::vector<float>& samples, size_t from, double frequency)
{
    std::vector<double> crossings;
    for (size_t frame = from + 1; frame * 2 < samples.size(); ++frame) {
        const double before = samples[(frame - 1) * 2];
        const double now = samples[frame * 2];
        if (before >= 0 || now < 0)
            continue;
        crossings.push_back(static_cast<double>(frame - 1) + before / (before - now));
        const size_t count = crossings.size();
        if (count < 9)
            continue;
        bool steady = true;
        for (size_t i = count - 8; i < count && steady; ++i)
            steady = std::abs((crossings[i] - crossings[i - 1]) * frequency / kRate - 1) < 0.003;
        if (steady)
            return static_cast<size_t>(crossings[count - 9]);
    }
    return samples.size() / 2;
}

void MeasureChangeDelay(const std::filesystem::path& folder)
{
    const auto sine = folder / "sine.wav";
    constexpr int kSeconds = 9;
    CPacedCapture output(kSeconds * kRate);
    bench::CSilentPrompts prompts;
    CAudioPlayer player(output, prompts, CSndFileDecoder::Open, CRubberBandStretcher::Create);
    player.OpenAndPlay(sine.u16string());
    output.Start();
    struct Change {
        int semitones;
        std::uint64_t frame;
    };
    std::vector<Change> changes;
    const auto start = std::chrono::steady_clock::now();
    int step = 0;
    for (const int semitones : {2, -3, 5, 0, 2}) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(1500 * ++step));
        changes.push_back({semitones, output.Frames()});
        player.SetPitch(semitones);
    }
    output.Finish();
    player.Stop();
    double longest = 0;
    for (const Change& change : changes) {
        const size_t heard = ToneStart(output.Samples(), change.frame, ExpectedFrequency(change.semitones));
        const double delay = 1000.0 * static_cast<double>(heard - change.frame) / kRate;
        longest = std::max(longest, delay);
        std::printf("key change to %+d: heard after %.1f ms\n", change.semitones, delay);
    }
    std::printf("key change: longest delay %.1f ms (the margin is %.1f ms)\n", longest,
        1000.0 * CAudioPlayer::kChangeMarginFrames / kRate);
}

} // namespace
} // namespace linlangok

int main()
{
    using namespace linlangok;
    const auto folder = std::filesystem::temp_directory_path() / ("linlangok-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    MeasurePitchAndDuration(folder);
    CompareEngines();
    MeasureRealTimeCpu(folder);
    MeasureChangeDelay(folder);
    std::filesystem::remove_all(folder);
    return 0;
}
