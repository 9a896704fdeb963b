#pragma once

#include "core/mixer/Mixer.h"

#include <mutex>
#include <string_view>

namespace linlangok {

// One source line of a wave-input device's recording destination, with its volume control.
// Belongs to a CMixerLineList and uses its open mixer.
class CMixerLine {
public:
    CMixerLine(MixerLineInfo info, IMixer& mixer, std::uint32_t deviceNumber);

    const MixerLineInfo& Info() const { return m_info; }
    const std::u16string& Name() const { return m_info.name; }
    std::uint32_t DeviceNumber() const { return m_deviceNumber; }

    // The volume control's identifier, or nothing when the line has none.
    std::optional<std::uint32_t> VolumeControlId() const;
    // The louder of (at most) two channels in percent of the bounds; nothing when the line has no
    // volume control or its values cannot be read.
    std::optional<int> VolumePercent() const;
    // Sets every channel (at most two) to the percentage (limited to 0 … 100). False when the
    // line has no volume control or the mixer refused.
    bool SetVolumePercent(int percent);

private:
    std::optional<MixerControlInfo> VolumeControl() const;
    std::uint32_t Channels(const MixerControlInfo& control) const;

    MixerLineInfo m_info;
    IMixer& m_mixer;
    std::uint32_t m_deviceNumber;
};

// The source lines of one wave-input device's recording destination, except the synthesizer,
// in connection order. One per recorder; built and searched on the user-interface thread.
class CMixerLineList {
public:
    explicit CMixerLineList(std::uint32_t deviceNumber, IMixerSystem& system);

    // Opens the device's mixer and reads its lines, once; later calls do nothing. Throws
    // std::runtime_error "Can't open Mixer Device." when the mixer cannot be opened.
    void Open();

    // The first line whose name equals `name` exactly, or nullptr (always for an empty name).
    // The line lives as long as the list.
    CMixerLine* FindLine(std::u16string_view name) const;
    std::vector<std::u16string> LineNames() const;

    std::uint32_t DeviceNumber() const { return m_deviceNumber; }

private:
    std::uint32_t m_deviceNumber;
    IMixerSystem& m_system;
    mutable std::mutex m_lock;
    std::unique_ptr<IMixer> m_mixer;
    std::vector<std::unique_ptr<CMixerLine>> m_lines;
};

} // namespace linlangok
