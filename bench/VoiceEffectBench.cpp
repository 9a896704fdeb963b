// The KTV voice preset through the installed LV2 plugins:
// - CPU: a minute of noise through its chain in blocks of 128 frames, in percent of one core at
//   real time, in this process and in the effect host (the program's and the host's time added,
//   the host's start apart);
// - the time a block takes to come back, in this process and through the host, and what the
//   host adds (median and 99th percentile);
// - RT60: the chain's impulse response, its energy decay curve integrated backwards (Schroeder),
//   the time from -5 to -35 dB doubled (T30).
#include "bench/BenchSupport.h"
#include "core/performance/VoiceEffectChain.h"
#include "core/performance/VoicePresets.h"
#include "platform/lv2/IsolatedVoiceEffect.h"
#include "platform/lv2/Lv2Plugins.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

namespace linlangok {
namespace {

constexpr size_t kBlockFrames = 128;

// The voice (mono) through the effect in blocks, into stereo; each block's wall time in `blockSeconds`.
std::vector<float> Run(IVoiceEffect& effect, const std::vector<float>& voice, std::vector<double>& blockSeconds)
{
    std::vector<float> stereo(voice.size() * 2);
    for (size_t done = 0; done < voice.size(); done += kBlockFrames) {
        const size_t frames = std::min(kBlockFrames, voice.size() - done);
        const auto start = std::chrono::steady_clock::now();
        effect.Process(voice.data() + done, 1, frames, stereo.data() + done * 2);
        blockSeconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    if (effect.HasFailed())
        throw std::runtime_error(effect.FailureReason());
    return stereo;
}

double Rt60Seconds(const std::vector<float>& stereo)
{
    const size_t frames = stereo.size() / 2;
    std::vector<double> remaining(frames + 1, 0.0);
    for (size_t frame = frames; frame-- > 0;)
        remaining[frame] = remaining[frame + 1] + double(stereo[frame * 2]) * stereo[frame * 2];
    auto reaches = [&](double decibels) {
        for (size_t frame = 0; frame < frames; ++frame)
            if (10 * std::log10(remaining[frame] / remaining[0]) <= decibels)
                return double(frame) / 44100;
        return double(frames) / 44100;
    };
    return 2 * (reaches(-35) - reaches(-5));
}

void PrintBlockTimes(const char* where, const std::vector<double>& seconds)
{
    std::printf("KTV chain %s: a %zu-frame block in %.1f µs (median), %.1f µs (p99)\n", where, kBlockFrames,
        1e6 * bench::Percentile(seconds, 0.5), 1e6 * bench::Percentile(seconds, 0.99));
}

} // namespace
} // namespace linlangok

int main()
{
    using namespace linlangok;
    const CLv2Plugins plugins;
    const VoiceEffectChain ktv = ChainOf(*FindVoicePreset("KTV"));
    try {
        std::vector<float> noise(60 * 44100);
        std::mt19937 random(7);
        std::normal_distribution<float> gauss(0.0f, 0.1f);
        for (float& sample : noise)
            sample = gauss(random);
        std::vector<double> here, isolated;
        double start = bench::ProcessCpuSeconds();
        Run(*plugins.StartChain(ktv), noise, here);
        const double hereSeconds = bench::ProcessCpuSeconds() - start;
        std::printf("KTV chain in this process: %.2f %% of one core at real time (%zu-frame blocks)\n",
            100 * hereSeconds / 60, kBlockFrames);
        double childrenStart = bench::ChildrenCpuSeconds();
        {
            const CIsolatedVoiceEffect startedOnly(LINLANGOK_EFFECT_HOST_PATH, ktv);
        }
        const double hostStartSeconds = bench::ChildrenCpuSeconds() - childrenStart;
        start = bench::ProcessCpuSeconds();
        childrenStart = bench::ChildrenCpuSeconds();
        {
            CIsolatedVoiceEffect effect(LINLANGOK_EFFECT_HOST_PATH, ktv);
            Run(effect, noise, isolated);
        }
        const double programSeconds = bench::ProcessCpuSeconds() - start;
        const double hostSeconds = bench::ChildrenCpuSeconds() - childrenStart - hostStartSeconds;
        std::printf("KTV chain in the effect host: %.2f %% of one core (the program %.2f %%, the host %.2f %%; the "
                    "host's start %.0f ms of CPU, not counted)\n",
            100 * (programSeconds + hostSeconds) / 60, 100 * programSeconds / 60, 100 * hostSeconds / 60,
            1000 * hostStartSeconds);
        PrintBlockTimes("in this process", here);
        PrintBlockTimes("through the effect host", isolated);
        std::vector<double> added(isolated.size());
        std::transform(isolated.begin(), isolated.end(), here.begin(), added.begin(), std::minus<>());
        std::printf("the host adds %.1f µs (median), %.1f µs (p99) a block\n", 1e6 * bench::Percentile(added, 0.5),
            1e6 * bench::Percentile(added, 0.99));
        std::vector<float> impulse(8 * 44100);
        impulse[0] = 1;
        std::vector<double> unused;
        std::printf(
            "KTV impulse response: RT60 (T30) %.2f s\n", Rt60Seconds(Run(*plugins.StartChain(ktv), impulse, unused)));
    } catch (const std::runtime_error& error) {
        std::printf("KTV preset not measured: %s\n", error.what());
        return 1;
    }
    return 0;
}
