#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

// The options a device selection (LINLANGOK_AUDIO_OUT, LINLANGOK_AUDIO_IN) may carry.
namespace linlangok {

// The longest simulated latency or loopback delay a selection may ask for.
inline constexpr std::chrono::milliseconds kLongestSimulatedLatency {5000};

// A selection with its latency option split off: "wav:/tmp/a.wav,latency=120" is the device
// "wav:/tmp/a.wav" with 120 ms of simulated latency.
struct DeviceSelection {
    std::string device;
    std::chrono::milliseconds latency {0};
};

// Splits a trailing ",latency=MS" off `selection`. Only the virtual devices ("null", "wav:PATH")
// simulate latency. Raises std::invalid_argument, naming `variable`, for a latency that is not a
// whole number of milliseconds within kLongestSimulatedLatency, or on another device.
DeviceSelection ParseDeviceSelection(const std::string& variable, const std::string& selection);

// The delay of the loopback output "loopback:MS", or nothing when `device` is not a loopback
// output. Raises std::invalid_argument, naming `variable`, for a missing or bad delay.
std::optional<std::chrono::milliseconds> LoopbackOutputDelay(const std::string& variable, const std::string& device);

// The number of whole frames at the stream's rate nearest to `duration`.
std::uint64_t DurationToFrames(std::chrono::microseconds duration);

} // namespace linlangok
