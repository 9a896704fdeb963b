#pragma once

#include <optional>
#include <string>
#include <vector>

// PortAudio for the whole process: initialised on first use, with alsa-lib's error printer
// silenced first (it reports every missing card on stderr while PortAudio probes), and kept
// until the process ends.
namespace linlangok {

// Initialises PortAudio once. False when it cannot be initialised (no device is then available).
bool EnsurePortAudio();

struct PortAudioDevice {
    int index = -1;
    std::string name;
};

// The PortAudio devices with at least two input (or output) channels, in PortAudio's order.
std::vector<PortAudioDevice> PortAudioDevices(bool input);

// The device that `selection` names: "default" (or empty) is PortAudio's default input (or
// output) device, anything else a device name, matched exactly. Nothing when there is none.
std::optional<PortAudioDevice> FindPortAudioDevice(const std::string& selection, bool input);

} // namespace linlangok
