// monitor --seconds S [--quantum N] [--volume P] [--effect PRESET]: 耳返 on the devices that
// LINLANGOK_AUDIO_IN and LINLANGOK_AUDIO_OUT select, through the preset's effect, for S seconds,
// and what its stream measured.

#include "common/JsonWriter.h"
#include "core/performance/EarMonitor.h"
#include "platform/audio/EarMonitorDevices.h"
#include "platform/fft/FftwRealFft.h"
#include "tools/Commands.h"
#include "tools/VoiceEffectOption.h"

#include <chrono>
#include <iostream>
#include <thread>

namespace linlangok {
namespace {

constexpr double kLongestMonitoring = 24 * 3600;
constexpr size_t kSmallestQuantum = 16;
constexpr size_t kLargestQuantum = 8192;

struct MonitorOptions {
    std::optional<double> seconds;
    size_t quantum = kEarMonitorQuantum;
    int volume = 100;
    const VoicePreset* preset = nullptr;
};

// Each option at most once, --seconds given.
std::optional<MonitorOptions> ParseMonitorOptions(const std::vector<std::string>& arguments)
{
    if (arguments.size() % 2 != 0)
        return std::nullopt;
    MonitorOptions options;
    bool quantumGiven = false, volumeGiven = false;
    for (size_t i = 0; i < arguments.size(); i += 2) {
        const std::string& name = arguments[i];
        const std::string& value = arguments[i + 1];
        if (name == "--seconds" && !options.seconds) {
            options.seconds = ParseArgument(value, 0.0, kLongestMonitoring);
            if (!options.seconds || *options.seconds == 0)
                return std::nullopt;
        } else if (name == "--quantum" && !quantumGiven) {
            const auto quantum = ParseArgument(value, kSmallestQuantum, kLargestQuantum);
            if (!quantum)
                return std::nullopt;
            options.quantum = *quantum;
            quantumGiven = true;
        } else if (name == "--volume" && !volumeGiven) {
            const auto volume = ParseArgument(value, 0, 100);
            if (!volume)
                return std::nullopt;
            options.volume = *volume;
            volumeGiven = true;
        } else if (name == "--effect" && !options.preset) {
            options.preset = FindVoicePreset(value);
            if (!options.preset)
                return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    if (!options.seconds)
        return std::nullopt;
    return options;
}

} // namespace

int RunMonitorCommand(ToolContext& context)
{
    const std::optional<MonitorOptions> options = ParseMonitorOptions(context.arguments);
    if (!options)
        return UsageError(kMonitorUsage);
    CEarMonitor monitor(CreateEarMonitorDevices(options->quantum, context.loopback), &CFftwRealFft::Create);
    monitor.SetVolume(options->volume);
    CToolVoiceEffect voiceEffect(options->preset);
    std::string why;
    std::unique_ptr<IVoiceEffect> effect = voiceEffect.Choice().Start(why);
    if (!why.empty())
        std::cerr << why << '\n';
    std::string failure;
    if (!monitor.Start(std::move(effect), failure)) {
        std::cerr << failure << '\n';
        return 1;
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(*options->seconds);
    std::optional<double> latency;
    std::uint64_t underruns = 0;
    while (monitor.IsRunning() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (const auto measured = monitor.LatencyMs())
            latency = measured;
        underruns = monitor.UnderrunCount();
        for (const std::string& message : monitor.TakeMessages())
            std::cerr << message << '\n';
    }
    const bool howled = !monitor.IsRunning();
    monitor.Stop();
    for (const std::string& message : monitor.TakeMessages())
        std::cerr << message << '\n';
    CJsonWriter json(std::cout);
    json.BeginObject().Key("latency_ms");
    if (latency)
        json.Value(*latency, 2);
    else
        json.Null();
    json.Key("quantum").Value(static_cast<long long>(options->quantum)).Key("underruns");
    json.Value(static_cast<long long>(underruns)).EndObject();
    std::cout << '\n';
    return howled ? 1 : 0;
}

} // namespace linlangok
