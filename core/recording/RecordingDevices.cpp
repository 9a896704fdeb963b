#include "core/recording/RecordingDevices.h"

#include <stdexcept>

namespace linlangok {

CInputDeviceList::CInputDeviceList(IWaveInSystem& system, IMixerSystem& mixers)
    : m_system(system)
    , m_mixers(mixers)
{
}

const std::vector<std::unique_ptr<CWaveRecorder>>& CInputDeviceList::InputDevices()
{
    std::lock_guard lock(m_lock);
    if (!m_built) {
        const std::uint32_t count = m_system.DeviceCount();
        for (std::uint32_t device = 0; device < count; ++device) {
            WaveInCapabilities capabilities;
            if (m_system.Capabilities(device, capabilities) != kWaveInOk || !(capabilities.formats & kWaveFormat4S16))
                continue;
            m_recorders.push_back(std::make_unique<CWaveRecorder>(m_system, device, std::move(capabilities), m_mixers));
        }
        m_built = true;
    }
    return m_recorders;
}

CWaveRecorder& CInputDeviceList::FindInputDevice(std::u16string_view name)
{
    const auto& recorders = InputDevices();
    std::lock_guard lock(m_lock);
    if (!name.empty()) {
        for (const auto& recorder : recorders) {
            if (recorder->Capabilities().name == name)
                return *recorder;
        }
    }
    throw std::runtime_error("Device not found.");
}

} // namespace linlangok
