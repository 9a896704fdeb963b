#include "core/mixer/MixerLineList.h"

#include "core/mixer/MixerArithmetic.h"

#include <algorithm>
#include <stdexcept>

namespace linlangok {

CMixerLine::CMixerLine(MixerLineInfo info, IMixer& mixer, std::uint32_t deviceNumber)
    : m_info(std::move(info))
    , m_mixer(mixer)
    , m_deviceNumber(deviceNumber)
{
}

std::optional<MixerControlInfo> CMixerLine::VolumeControl() const
{
    return m_mixer.ControlByType(m_info.lineId, kMixerControlVolume);
}

std::uint32_t CMixerLine::Channels(const MixerControlInfo& control) const
{
    return (control.flags & kMixerControlUniform) ? 1 : std::clamp(m_info.channels, 1u, 2u);
}

std::optional<std::uint32_t> CMixerLine::VolumeControlId() const
{
    const auto control = VolumeControl();
    return control ? std::optional(control->controlId) : std::nullopt;
}

std::optional<int> CMixerLine::VolumePercent() const
{
    const auto control = VolumeControl();
    if (!control || control->maximum <= control->minimum)
        return std::nullopt;
    std::vector<std::int32_t> values(Channels(*control));
    if (!m_mixer.ReadValues(control->controlId, Channels(*control), 1, values))
        return std::nullopt;
    return linlangok::VolumePercent(
        *std::max_element(values.begin(), values.end()), control->minimum, control->maximum);
}

bool CMixerLine::SetVolumePercent(int percent)
{
    const auto control = VolumeControl();
    if (!control)
        return false;
    const auto value = static_cast<std::int32_t>(VolumeForPercent(percent, control->minimum, control->maximum));
    const std::vector<std::int32_t> values(Channels(*control), value);
    return m_mixer.WriteValues(control->controlId, Channels(*control), 1, values);
}

CMixerLineList::CMixerLineList(std::uint32_t deviceNumber, IMixerSystem& system)
    : m_deviceNumber(deviceNumber)
    , m_system(system)
{
}

void CMixerLineList::Open()
{
    std::lock_guard lock(m_lock);
    if (m_mixer)
        return;
    m_mixer = m_system.OpenForWaveInput(m_deviceNumber, nullptr);
    if (!m_mixer)
        throw std::runtime_error("Can't open Mixer Device.");
    const auto waveIn = m_mixer->LineByComponentType(kMixerDestinationWaveIn);
    for (std::uint32_t index = 0; waveIn && index < waveIn->connections; ++index) {
        auto source = m_mixer->Source(waveIn->destination, index);
        if (source && source->componentType != kMixerSourceSynthesizer)
            m_lines.push_back(std::make_unique<CMixerLine>(std::move(*source), *m_mixer, m_deviceNumber));
    }
}

CMixerLine* CMixerLineList::FindLine(std::u16string_view name) const
{
    std::lock_guard lock(m_lock);
    if (name.empty())
        return nullptr;
    for (const auto& line : m_lines) {
        if (line->Name() == name)
            return line.get();
    }
    return nullptr;
}

std::vector<std::u16string> CMixerLineList::LineNames() const
{
    std::lock_guard lock(m_lock);
    std::vector<std::u16string> names;
    for (const auto& line : m_lines)
        names.push_back(line->Name());
    return names;
}

} // namespace linlangok
