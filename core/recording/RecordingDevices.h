#pragma once

#include "core/recording/WaveRecorder.h"

#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

namespace linlangok {

// The input device list: one recorder per wave-input device that can record 44.1 kHz 16-bit
// stereo, in device-number order, built on first use and kept for the rest of the run.
class CInputDeviceList {
public:
    // `system` and `mixers` outlive the list; the recorders' mixer lines come from `mixers`.
    explicit CInputDeviceList(IWaveInSystem& system, IMixerSystem& mixers);

    // Any thread; the list never changes once built.
    const std::vector<std::unique_ptr<CWaveRecorder>>& InputDevices();
    // The first recorder whose device name equals `name` exactly; raises "Device not found." when
    // the name is empty or none matches.
    CWaveRecorder& FindInputDevice(std::u16string_view name);

private:
    IWaveInSystem& m_system;
    IMixerSystem& m_mixers;
    std::mutex m_lock;
    bool m_built = false;
    std::vector<std::unique_ptr<CWaveRecorder>> m_recorders;
};

} // namespace linlangok
