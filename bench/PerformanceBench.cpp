// The performance take in real time over the loopback pair (the input hears the output 87 ms
// later, and neither reports a latency): a MIDI click track through the sequencer and the built-in
// synthesizer, calibrated first as the 校准延迟 button does, then recorded with and without the
// take (--correction MS stores that correction instead of calibrating). Reports how far the voice's clicks land from
// the accompaniment's in the performance, dry and through the KTV effect, the CPU the take costs, the disk it
// fills and how fast the mix is written.

#include "bench/BenchSupport.h"
#include "bench/SoundFileSupport.h"
#include "bench/support/SilentPrompts.h"
#include "common/UiTaskQueue.h"
#include "core/midiplay/MidiSequencer.h"
#include "core/mixer/MemoryMixer.h"
#include "core/performance/LatencyCalibration.h"
#include "core/performance/PerformanceRecorder.h"
#include "core/performance/RecordingController.h"
#include "core/performance/VoicePresets.h"
#include "midi/MidiSong.h"
#include "platform/audio/AudioOutputDevices.h"
#include "platform/audio/ClockedAudioOutput.h"
#include "platform/audio/WaveInSystem.h"
#include "platform/codepage/IconvCodePage.h"
#include "platform/files/FlockFileLocks.h"
#include "platform/lv2/Lv2VoiceEffects.h"
#include "platform/midi/MidiOutputDeviceList.h"
#include "platform/mp3/LameMp3Encoder.h"
#include "platform/timer/ThreadTimerDriver.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

namespace linlangok {
namespace {

using Clock = std::chrono::steady_clock;

// The first frame of each click: above a quarter of the loudest, after 50 ms below it.
std::vector<double> Onsets(const std::vector<float>& left)
{
    float peak = 0;
    for (float sample : left)
        peak = std::max(peak, std::fabs(sample));
    std::vector<double> onsets;
    long quietSince = -100000;
    for (size_t frame = 0; frame < left.size(); ++frame) {
        if (std::fabs(left[frame]) < peak / 4)
            continue;
        if (static_cast<long>(frame) - quietSince > 2205)
            onsets.push_back(static_cast<double>(frame));
        quietSince = static_cast<long>(frame);
    }
    return onsets;
}

struct Recorded {
    double cpuSeconds = 0;
    double wallSeconds = 0;
    uintmax_t temporaryBytes = 0;
    std::unique_ptr<CPerformanceTake> take;
};

// Plays the song from its start and records `seconds` through `controller`.
Recorded RecordWhilePlaying(CMidiSequencer& sequencer, CUiTaskQueue& uiThread, CRecordingController& controller,
    const std::filesystem::path& folder, double seconds)
{
    sequencer.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Recorded recorded;
    const double cpu = bench::ProcessCpuSeconds();
    const auto start = Clock::now();
    controller.StartRecording();
    while (Clock::now() - start < std::chrono::duration<double>(seconds)) {
        if (uiThread.WaitForTask(std::chrono::milliseconds(20)))
            uiThread.RunPending();
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename().string().starts_with(".$$performance"))
            recorded.temporaryBytes += entry.file_size();
    }
    controller.StopRecording();
    recorded.cpuSeconds = bench::ProcessCpuSeconds() - cpu;
    recorded.wallSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    sequencer.Stop();
    recorded.take = controller.TakePerformance();
    return recorded;
}

// A 440 Hz tone, for the output to play.
struct CToneSource : IAudioSource {
    void MixInto(float* mix, size_t frames, const AudioBufferTiming& timing) noexcept override
    {
        for (size_t i = 0; i < frames; ++i) {
            const auto sample
                = static_cast<float>(0.3 * std::sin(2 * 3.141592653589793 * 440 * (timing.firstFrame + i) / 44100));
            mix[i * 2] += sample;
            mix[i * 2 + 1] += sample;
        }
    }
};

// The CPU seconds a null output takes to play `seconds` of a tone as fast as it can, with the
// performance recorder tapping it or not.
double OfflineCpuSeconds(const std::filesystem::path& folder, double seconds, bool tapped)
{
    auto pacer = std::make_unique<CManualPacer>();
    CManualPacer& clock = *pacer;
    const auto output = CreateNullAudioOutput(kDefaultBufferFrames, std::move(pacer));
    CToneSource tone;
    output->AddSource(tone);
    CFlockFileLocks locks;
    CTakeFolder takes(locks, folder);
    CPerformanceRecorder recorder(*output, takes, 1);
    if (tapped)
        recorder.Start();
    const double cpu = bench::ProcessCpuSeconds();
    for (double done = 0; done < seconds; done += 1) {
        clock.Release(44100);
        clock.WaitUntilIdle();
    }
    recorder.Finish({}, 0);
    const double used = bench::ProcessCpuSeconds() - cpu;
    output->RemoveSource(tone);
    return used;
}

} // namespace
} // namespace linlangok

int main(int argc, char** argv)
{
    using namespace linlangok;
    double seconds = 20;
    std::optional<double> stored; // --correction MS: this instead of a calibration
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::atof(argv[++i]);
        else if (std::strcmp(argv[i], "--correction") == 0)
            stored = std::atof(argv[++i]);
    }
    const auto soundFont = FindSoundFont(std::getenv("LINLANGOK_SOUNDFONT"));
    if (!soundFont) {
        std::printf("no SoundFont: set LINLANGOK_SOUNDFONT\n");
        return 1;
    }
    const auto folder = std::filesystem::temp_directory_path() / ("bench_performance_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    bench::CSilentPrompts prompts;
    const auto line = std::make_shared<CLoopbackLine>();
    const auto output = OpenAudioOutput("loopback:87", kDefaultBufferFrames, line);
    CWaveInSystem waveIn(CaptureDevicesForSelection("loopback", line));

    if (stored) {
        SaveLatencyCorrection(folder, {*stored, *stored, {}, {}});
    } else {
        CLatencyCalibration calibration(*output, waveIn, kWaveMapper);
        if (!calibration.Start())
            return 1;
        while (!calibration.IsDone())
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const auto roundTrip = calibration.Finish();
        if (!roundTrip) {
            std::printf("calibration heard no click\n");
            return 1;
        }
        SaveLatencyCorrection(folder, calibration.Correction(*roundTrip));
        std::printf("calibration over loopback:87: %.3f ms (error %+.3f ms)\n", *roundTrip, *roundTrip - 87);
    }

    constexpr double kOfflineSeconds = 600;
    const double untapped = OfflineCpuSeconds(folder, kOfflineSeconds, false);
    const double tapped = OfflineCpuSeconds(folder, kOfflineSeconds, true);
    std::printf("keeping the accompaniment of %.0f s played as fast as it goes: %.3f s CPU, %.3f s without "
                "(%.3f %% of one core in real time)\n",
        kOfflineSeconds, tapped, untapped, (tapped - untapped) / kOfflineSeconds * 100);

    const auto songPath = folder / "clicks.mid";
    std::ofstream(songPath, std::ios::binary) << bench::ClickTrackBytes(seconds + 5);
    CThreadTimerDriver driver;
    const CIconvCodePage codePage("GBK");
    CMidiSong song(codePage);
    if (!song.Load(songPath))
        return 1;
    CMidiOutputDeviceList devices(*soundFont, *output, false);
    CUiTaskQueue uiThread;
    CMidiSequencer sequencer(prompts, uiThread, devices, driver, &song);
    CMemoryMixerSystem mixers;
    mixers.AddMixer();
    CInputDeviceList inputs(waveIn, mixers);
    CLameMp3EncoderLibrary encoder;
    std::ostringstream errors;
    CFlockFileLocks locks;
    CRecordingController withTake(inputs, mixers, &encoder, folder, locks, prompts, errors, output.get());
    CRecordingController withoutTake(inputs, mixers, &encoder, folder, locks, prompts, errors);
    withTake.SelectDevice(withTake.DeviceNames().front());
    withoutTake.SelectDevice(withoutTake.DeviceNames().front());

    const Recorded plain = RecordWhilePlaying(sequencer, uiThread, withoutTake, folder, seconds);
    Recorded kept = RecordWhilePlaying(sequencer, uiThread, withTake, folder, seconds);
    if (!kept.take) {
        std::printf("no take: %s\n", errors.str().c_str());
        return 1;
    }
    std::printf("CPU while recording %.0f s: %.2f %% of one core without the take, %.2f %% with it (+%.2f %%)\n",
        seconds, plain.cpuSeconds / plain.wallSeconds * 100, kept.cpuSeconds / kept.wallSeconds * 100,
        (kept.cpuSeconds / kept.wallSeconds - plain.cpuSeconds / plain.wallSeconds) * 100);
    std::printf("temporary files: %.1f KiB/s (%.1f MiB a minute)\n", kept.temporaryBytes / kept.wallSeconds / 1024,
        kept.temporaryBytes / kept.wallSeconds * 60 / 1048576);

    const auto started = Clock::now();
    kept.take->Write(folder / "mix.mp3", 50, &encoder);
    const double mp3Seconds = std::chrono::duration<double>(Clock::now() - started).count();
    kept.take->Write(folder / "voice.wav", 100, &encoder);
    kept.take->Write(folder / "music.wav", 0, &encoder);
    const double length = kept.take->Length().count() / 1000.0;
    std::printf("mix of %.1f s written as MP3 in %.3f s (%.0fx real time)\n", length, mp3Seconds, length / mp3Seconds);

    const auto music = Onsets(bench::ReadLeftChannel(folder / "music.wav"));
    // How far the voice's clicks in the mix at `path` land from the accompaniment's.
    auto reportAlignment = [&music](const std::filesystem::path& path, const char* what) {
        const auto voice = Onsets(bench::ReadLeftChannel(path));
        std::vector<double> errorsMs;
        for (double onset : music) {
            double nearest = 1e9;
            for (double heard : voice)
                nearest = std::fabs(heard - onset) < std::fabs(nearest) ? heard - onset : nearest;
            if (std::fabs(nearest) < 4410)
                errorsMs.push_back(nearest / 44.1);
        }
        std::vector<double> magnitudes;
        for (double error : errorsMs)
            magnitudes.push_back(std::fabs(error));
        std::printf("%s against accompaniment over %zu of %zu clicks: median %+.3f ms, max |error| %.3f ms\n", what,
            errorsMs.size(), music.size(), bench::Percentile(errorsMs, 0.5), bench::Percentile(magnitudes, 1.0));
    };
    std::printf("alignment %.3f ms applied\n", kept.take->AlignmentMs());
    reportAlignment(folder / "voice.wav", "voice");

    // The same take through the KTV preset, in the effect host.
    const CLv2VoiceEffects effects(LINLANGOK_EFFECT_HOST_PATH);
    const VoiceEffectChain ktv = ChainOf(*FindVoicePreset("KTV"));
    try {
        const auto wetStarted = Clock::now();
        kept.take->Write(folder / "mix-ktv.mp3", 50, &encoder, effects.Start(ktv).get());
        const double wetSeconds = std::chrono::duration<double>(Clock::now() - wetStarted).count();
        std::printf("mix through KTV written as MP3 in %.3f s (%.0fx real time)\n", wetSeconds, length / wetSeconds);
        kept.take->Write(folder / "voice-ktv.wav", 100, &encoder, effects.Start(ktv).get());
        reportAlignment(folder / "voice-ktv.wav", "voice through KTV");
    } catch (const std::exception& error) {
        std::printf("KTV: %s\n", error.what());
    }
    kept.take.reset();
    std::filesystem::remove_all(folder);
    return 0;
}
