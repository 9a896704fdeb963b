#include "core/mixer/MixerBinding.h"

#include <algorithm>

namespace linlangok {

CMixerClient::CMixerClient(IMixerSystem& system)
    : m_system(system)
{
}

std::vector<MixerPollDescriptor> CMixerClient::PollDescriptors() const
{
    return m_mixer ? m_mixer->PollDescriptors() : std::vector<MixerPollDescriptor>();
}

void CMixerClient::HandleMixerEvents()
{
    if (m_mixer)
        m_mixer->HandleEvents();
}

bool CMixerClient::OpenFirstMixer()
{
    m_mixer.reset();
    if (m_system.MixerCount() == 0)
        return false;
    m_mixer = m_system.Open(0, this);
    return m_mixer != nullptr;
}

namespace {

// The first of `count` lines (read by `line(index)`) whose component type is `type`.
template <typename LineAt>
std::optional<MixerLineInfo> FirstOfType(std::uint32_t count, std::uint32_t type, LineAt line)
{
    for (std::uint32_t index = 0; index < count; ++index) {
        auto found = line(index);
        if (found && found->componentType == type)
            return found;
    }
    return std::nullopt;
}

} // namespace

bool CMixerBinding::Bind(std::uint32_t destinationType, std::uint32_t sourceType, std::uint32_t controlType)
{
    if (!OpenFirstMixer())
        return false;
    auto line = FirstOfType(m_mixer->DestinationCount(), destinationType,
        [this](std::uint32_t index) { return m_mixer->Destination(index); });
    if (line && sourceType != kMixerNoSource) {
        line = FirstOfType(line->connections, sourceType, [this, destination = line->destination](std::uint32_t index) {
            return m_mixer->Source(destination, index);
        });
    }
    const auto control = line && line->controls > 0 ? m_mixer->ControlByType(line->lineId, controlType) : std::nullopt;
    const std::uint32_t unit = control ? MixerControlUnit(control->type) : 0;
    if (unit < 1 || unit > 5) {
        Close();
        return false;
    }
    m_lineChannels = line->channels;
    m_control = *control;
    m_valueChannels = (m_control.flags & kMixerControlUniform) ? 1 : std::max(m_lineChannels, 1u);
    m_valueItems = (m_control.flags & kMixerControlMultiple) ? m_control.items : 1;
    m_values.assign(std::size_t(m_valueChannels) * m_valueItems, 0);
    return true;
}

bool CMixerBinding::ReadValues()
{
    return m_mixer && m_mixer->ReadValues(m_control.controlId, m_valueChannels, m_valueItems, m_values);
}

bool CMixerBinding::WriteValues()
{
    return m_mixer && m_mixer->WriteValues(m_control.controlId, m_valueChannels, m_valueItems, m_values);
}

void CMixerBinding::Refresh()
{
    if (ReadValues())
        ShowValues();
}

void CMixerBinding::OnMixerControlChange(std::uint32_t controlId)
{
    if (controlId == m_control.controlId)
        Refresh();
}

} // namespace linlangok
