#pragma once

#include "core/audio/LoopbackLine.h"
#include "core/recording/CaptureStream.h"
#include "core/recording/WaveIn.h"
#include "platform/audio/PortAudioCapture.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace linlangok {

// One capture device the system lists.
struct CaptureDeviceEntry {
    std::string name; // UTF-8
    bool capturesStreamFormat = true;
    std::function<std::unique_ptr<ICaptureDevice>()> create;
};

// IWaveInSystem over a fixed list of capture devices, numbered in list order; the mapper is the
// first. Every handle open on one device shares that device's capture stream.
class CWaveInSystem final : public IWaveInSystem {
public:
    explicit CWaveInSystem(std::vector<CaptureDeviceEntry> devices);

    std::uint32_t DeviceCount() override;
    std::uint32_t Capabilities(std::uint32_t device, WaveInCapabilities& capabilities) override;
    std::uint32_t Open(std::uint32_t device, IWaveInClient& client, std::unique_ptr<IWaveInHandle>& handle) override;

private:
    std::vector<CaptureDeviceEntry> m_devices;
    std::mutex m_lock;
    std::vector<std::weak_ptr<CCaptureStream>> m_streams; // one per device, while open
};

// The capture devices LINLANGOK_AUDIO_IN's value selects, in device-number order: "null" or
// "wav:PATH" (either with ",latency=MS" to simulate a latency) give that one virtual device,
// running in real time, as does "loopback", which listens on `loopback`; "default" (or empty) gives
// PortAudio's input devices with the default one first, a PortAudio device name the same with
// that device first. The first device is the one the level meter opens, and the one the volume
// window selects for recording, so both share one stream. A bad option, or "loopback" without a
// line, raises std::invalid_argument. The PortAudio devices open their streams with `options`.
std::vector<CaptureDeviceEntry> CaptureDevicesForSelection(
    const std::string& selection, std::shared_ptr<CLoopbackLine> loopback = {}, PortAudioCaptureOptions options = {});

// The machine's wave input, as LINLANGOK_AUDIO_IN (default "default") selects it; the loopback
// input listens on `loopback`.
std::unique_ptr<IWaveInSystem> CreateWaveInSystem(std::shared_ptr<CLoopbackLine> loopback = {});

} // namespace linlangok
