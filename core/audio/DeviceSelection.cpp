#include "core/audio/DeviceSelection.h"

#include "core/audio/SampleFormat.h"

#include <stdexcept>
#include <string_view>

namespace linlangok {
namespace {

constexpr std::string_view kLatencyOption = ",latency=";
constexpr std::string_view kLoopbackPrefix = "loopback";

// A whole number of milliseconds, 0..kLongestSimulatedLatency, or nothing.
std::optional<std::chrono::milliseconds> ParseMilliseconds(std::string_view text)
{
    if (text.empty() || text.size() > 5)
        return std::nullopt;
    int value = 0;
    for (const char digit : text) {
        if (digit < '0' || digit > '9')
            return std::nullopt;
        value = value * 10 + (digit - '0');
    }
    if (value > kLongestSimulatedLatency.count())
        return std::nullopt;
    return std::chrono::milliseconds(value);
}

std::invalid_argument SelectionError(const std::string& variable, const std::string& selection, const char* reason)
{
    return std::invalid_argument(variable + "=" + selection + ": " + reason);
}

} // namespace

DeviceSelection ParseDeviceSelection(const std::string& variable, const std::string& selection)
{
    const size_t option = selection.rfind(kLatencyOption);
    if (option == std::string::npos)
        return {selection};
    const std::string device = selection.substr(0, option);
    const auto latency = ParseMilliseconds(std::string_view(selection).substr(option + kLatencyOption.size()));
    if (!latency)
        throw SelectionError(variable, selection, "the latency must be a whole number of milliseconds, 0 to 5000");
    if (device != "null" && !(device.starts_with("wav:") && device.size() > 4))
        throw SelectionError(variable, selection, "only the null and wav: devices simulate a latency");
    return {device, *latency};
}

std::optional<std::chrono::milliseconds> LoopbackOutputDelay(const std::string& variable, const std::string& device)
{
    if (!device.starts_with(kLoopbackPrefix))
        return std::nullopt;
    const std::string_view rest = std::string_view(device).substr(kLoopbackPrefix.size());
    const auto delay = rest.starts_with(':') ? ParseMilliseconds(rest.substr(1)) : std::nullopt;
    if (!delay)
        throw SelectionError(variable, device, "the loopback output is loopback:MS, a delay of 0 to 5000 ms");
    return delay;
}

std::uint64_t DurationToFrames(std::chrono::microseconds duration)
{
    return static_cast<std::uint64_t>((duration.count() * kStreamSampleRate + 500000) / 1000000);
}

} // namespace linlangok
