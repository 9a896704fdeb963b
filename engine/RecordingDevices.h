#pragma once

#include "engine/WaveRecorder.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

namespace linlangok {

// The mixer-line list of an input device, by device number; none when the device has no mixer.
using InputMixerLinesFactory = std::function<std::unique_ptr<IInputMixerLines>(uint32_t deviceNumber)>;

// The input device list: one recorder per wave-input device that can record 44.1 kHz 16-bit
// stereo, in device-number order, built on first use and kept for the rest of the run.
class CInputDeviceList {
public:
    // `system` outlives the list.
    CInputDeviceList(IWaveInSystem& system, InputMixerLinesFactory createLines);

    // Any thread; the list never changes once built.
    const std::vector<std::unique_ptr<CWaveRecorder>>& InputDevices();
    // The first recorder whose device name equals `name` exactly; raises "Device not found." when
    // the name is empty or none matches.
    CWaveRecorder& FindInputDevice(std::u16string_view name);

private:
    IWaveInSystem& m_system;
    InputMixerLinesFactory m_createLines;
    std::mutex m_lock;
    bool m_built = false;
    std::vector<std::unique_ptr<CWaveRecorder>> m_recorders;
};

} // namespace linlangok
