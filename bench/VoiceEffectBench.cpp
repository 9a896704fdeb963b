// The KTV voice preset through the installed LV2 plugins:
// - CPU: a minute of noise through its chain in blocks of 128 frames, in percent of one core at
//   real time;
// - RT60: the chain's impulse response, its energy decay curve integrated backwards (Schroeder),
//   the time from -5 to -35 dB doubled (T30).
#include "bench/BenchSupport.h"
#include "core/performance/VoicePresets.h"
#include "platform/lv2/Lv2Effect.h"
#include "platform/lv2/Lv2Plugins.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

namespace linlangok {
namespace {

constexpr size_t kBlockFrames = 128;

std::vector<std::unique_ptr<CLv2Effect>> MakeChain(const CLv2Plugins& plugins, const VoicePreset& preset)
{
    std::vector<std::unique_ptr<CLv2Effect>> chain;
    for (const VoiceEffectStage& stage : preset.chain) {
        chain.push_back(plugins.Instantiate(stage.uri));
        for (const VoiceEffectControl& control : stage.controls)
            chain.back()->SetControl(control.symbol, control.value);
    }
    return chain;
}

// The voice (mono) through every effect in turn, into stereo.
std::vector<float> RunChain(const std::vector<std::unique_ptr<CLv2Effect>>& chain, const std::vector<float>& voice)
{
    std::vector<float> mono(voice), stereo(voice.size() * 2), next(voice.size() * 2);
    int channels = 1;
    const float* in = mono.data();
    for (const auto& effect : chain) {
        for (size_t done = 0; done < voice.size(); done += kBlockFrames) {
            const size_t frames = std::min(kBlockFrames, voice.size() - done);
            effect->Process(in + done * size_t(channels), channels, frames, next.data() + done * 2);
        }
        stereo.swap(next);
        in = stereo.data();
        channels = 2;
    }
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

} // namespace
} // namespace linlangok

int main()
{
    using namespace linlangok;
    const CLv2Plugins plugins;
    const auto presets = VoicePresets();
    const auto ktv
        = std::find_if(presets.begin(), presets.end(), [](const VoicePreset& preset) { return preset.name == "KTV"; });
    try {
        std::vector<float> noise(60 * 44100);
        std::mt19937 random(7);
        std::normal_distribution<float> gauss(0.0f, 0.1f);
        for (float& sample : noise)
            sample = gauss(random);
        const auto chain = MakeChain(plugins, *ktv);
        const double start = bench::ProcessCpuSeconds();
        RunChain(chain, noise);
        const double seconds = bench::ProcessCpuSeconds() - start;
        std::printf(
            "KTV chain: %.2f %% of one core at real time (%zu-frame blocks)\n", 100 * seconds / 60, kBlockFrames);
        std::vector<float> impulse(8 * 44100);
        impulse[0] = 1;
        std::printf(
            "KTV impulse response: RT60 (T30) %.2f s\n", Rt60Seconds(RunChain(MakeChain(plugins, *ktv), impulse)));
    } catch (const std::runtime_error& error) {
        std::printf("KTV preset not measured: %s\n", error.what());
        return 1;
    }
    return 0;
}
