#include "platform/audio/WaveInSystem.h"

#include "common/Text.h"
#include "core/audio/DeviceSelection.h"
#include "core/audio/SampleFormat.h"
#include "core/recording/WaveInDevice.h"
#include "platform/audio/ClockedCapture.h"
#include "platform/audio/PortAudioCapture.h"
#include "platform/audio/PortAudioLibrary.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace linlangok {
namespace {

constexpr std::string_view kWavPrefix = "wav:";

std::shared_ptr<IFramePacer> CapturePacer()
{
    return std::make_shared<CRealTimePacer>(kStreamSampleRate, 0);
}

} // namespace

CWaveInSystem::CWaveInSystem(std::vector<CaptureDeviceEntry> devices)
    : m_devices(std::move(devices))
    , m_streams(m_devices.size())
{
}

std::uint32_t CWaveInSystem::DeviceCount()
{
    return static_cast<std::uint32_t>(m_devices.size());
}

std::uint32_t CWaveInSystem::Capabilities(std::uint32_t device, WaveInCapabilities& capabilities)
{
    if (device >= m_devices.size())
        return kWaveInErrorBadDevice;
    const CaptureDeviceEntry& entry = m_devices[device];
    capabilities.name = Utf8ToUtf16(entry.name);
    capabilities.formats = entry.capturesStreamFormat ? kWaveFormat4S16 : 0;
    capabilities.channels = kStreamChannels;
    return kWaveInOk;
}

std::uint32_t CWaveInSystem::Open(std::uint32_t device, IWaveInClient& client, std::unique_ptr<IWaveInHandle>& handle)
{
    if (device == kWaveMapper)
        device = 0;
    if (device >= m_devices.size())
        return kWaveInErrorBadDevice;
    std::shared_ptr<CCaptureStream> stream;
    {
        std::lock_guard lock(m_lock);
        stream = m_streams[device].lock();
        if (!stream) {
            stream = std::make_shared<CCaptureStream>(m_devices[device].create());
            m_streams[device] = stream;
        }
    }
    return CWaveInDevice::Open(std::move(stream), client, handle);
}

std::vector<CaptureDeviceEntry> CaptureDevicesForSelection(
    const std::string& selection, std::shared_ptr<CLoopbackLine> loopback, PortAudioCaptureOptions options)
{
    const DeviceSelection device = ParseDeviceSelection("LINLANGOK_AUDIO_IN", selection);
    const std::chrono::microseconds latency = device.latency;
    if (device.device == "null")
        return {{"null", true, [latency] { return CreateNullCapture(CapturePacer(), latency); }}};
    if (device.device.starts_with(kWavPrefix)) {
        const std::filesystem::path path = device.device.substr(kWavPrefix.size());
        return {{device.device, true, [path, latency] { return CreateWavFileCapture(path, CapturePacer(), latency); }}};
    }
    if (device.device.starts_with("loopback")) {
        if (device.device != "loopback")
            throw std::invalid_argument("LINLANGOK_AUDIO_IN=" + selection + ": the loopback input is plain loopback");
        if (!loopback)
            throw std::invalid_argument("LINLANGOK_AUDIO_IN=" + selection + ": no loopback line here to listen on");
        return {{"loopback", true, [loopback] { return CreateLoopbackCapture(loopback, CapturePacer()); }}};
    }
    std::vector<CaptureDeviceEntry> devices;
    for (const PortAudioDevice& device : PortAudioDevices(true)) {
        devices.push_back({device.name, CPortAudioCapture::CapturesStreamFormat(device.index),
            [device, options] { return std::make_unique<CPortAudioCapture>(device.index, device.name, options); }});
    }
    if (const auto first = FindPortAudioDevice(selection, true)) {
        const auto found = std::find_if(
            devices.begin(), devices.end(), [&](const CaptureDeviceEntry& entry) { return entry.name == first->name; });
        if (found != devices.end())
            std::rotate(devices.begin(), found, found + 1);
    }
    return devices;
}

std::unique_ptr<IWaveInSystem> CreateWaveInSystem(std::shared_ptr<CLoopbackLine> loopback)
{
    const char* selection = std::getenv("LINLANGOK_AUDIO_IN");
    return std::make_unique<CWaveInSystem>(
        CaptureDevicesForSelection(selection && *selection ? selection : "default", std::move(loopback)));
}

} // namespace linlangok
