#include "platform/audio/EarMonitorDevices.h"

#include "common/Translation.h"
#include "platform/audio/AudioOutputDevices.h"
#include "platform/audio/WaveInSystem.h"

#include <cstdlib>
#include <stdexcept>

namespace linlangok {
namespace {

std::string SelectionFromEnvironment(const char* variable)
{
    const char* selection = std::getenv(variable);
    return selection && *selection ? selection : "default";
}

} // namespace

EarMonitorDevices EarMonitorDevicesForSelection(
    const std::string& input, const std::string& output, size_t quantum, std::shared_ptr<CLoopbackLine> loopback)
{
    EarMonitorDevices devices;
    devices.openCapture = [input, quantum, loopback] {
        const PortAudioCaptureOptions options {static_cast<unsigned long>(quantum), true, false};
        std::vector<CaptureDeviceEntry> entries = CaptureDevicesForSelection(input, loopback, options);
        if (entries.empty())
            throw std::runtime_error(TrUtf8("EarMonitorDevices", "没有录音设备。"));
        return entries.front().create();
    };
    devices.openOutput
        = [output, quantum, loopback] { return OpenAudioOutput(output, quantum, loopback, EMissingOutput::Raise); };
    return devices;
}

EarMonitorDevices CreateEarMonitorDevices(size_t quantum, std::shared_ptr<CLoopbackLine> loopback)
{
    return EarMonitorDevicesForSelection(SelectionFromEnvironment("LINLANGOK_AUDIO_IN"),
        SelectionFromEnvironment("LINLANGOK_AUDIO_OUT"), quantum, std::move(loopback));
}

} // namespace linlangok
