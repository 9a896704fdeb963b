#pragma once

#include "core/audio/LoopbackLine.h"
#include "core/performance/EarMonitor.h"

#include <cstddef>
#include <memory>
#include <string>

namespace linlangok {

// The frames per buffer the ear monitor's devices run at unless told otherwise: 2.9 ms at 44.1 kHz.
inline constexpr size_t kEarMonitorQuantum = 128;

// The ear monitor's own devices on the input and output that `input` and `output` select, as
// LINLANGOK_AUDIO_IN and LINLANGOK_AUDIO_OUT do ("default", a PortAudio name, "null", "wav:PATH",
// "loopback" and "loopback:MS" on `loopback`): a PortAudio input read in chunks of `quantum`
// frames at the device's low input latency (reporting none beyond its moments), and a PortAudio output of
// `quantum`-frame buffers at its low output latency. Through pipewire-alsa the period asks the graph for that quantum
// for this stream. The virtual devices keep their own chunks. A PortAudio output that does not open is an error here,
// not the null device: the singer would hear nothing.
EarMonitorDevices EarMonitorDevicesForSelection(
    const std::string& input, const std::string& output, size_t quantum, std::shared_ptr<CLoopbackLine> loopback = {});

// The same for the selections in LINLANGOK_AUDIO_IN and LINLANGOK_AUDIO_OUT ("default" when unset).
EarMonitorDevices CreateEarMonitorDevices(size_t quantum, std::shared_ptr<CLoopbackLine> loopback = {});

} // namespace linlangok
