#include "mixer/MixerBinding.h"

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

bool CMixerBinding::Bind(std::uint32_t destinationType, std::uint32_t sourceType, std::uint32_t controlType)
{
    if (!OpenFirstMixer())
        return false;
    std::optional<MixerLineInfo> line;
    for (std::uint32_t index = 0; index < m_mixer->DestinationCount() && !line; ++index) {
        auto destination = m_mixer->Destination(index);
        if (destination && destination->componentType == destinationType)
            line = std::move(destination);
    }
    if (!line) {
        Close();
        return false;
    }
    m_destinationName = line->name;
    if (sourceType != kMixerNoSource) {
        const MixerLineInfo destination = *line;
        line.reset();
        for (std::uint32_t index = 0; index < destination.connections && !line; ++index) {
            auto source = m_mixer->Source(destination.destination, index);
            if (source && source->componentType == sourceType)
                line = std::move(source);
        }
        if (!line) {
            Close();
            return false;
        }
    }
    m_lineChannels = line->channels;
    m_lineName = line->name;
    const auto control = line->controls > 0 ? m_mixer->ControlByType(line->lineId, controlType) : std::nullopt;
    const std::uint32_t unit = control ? MixerControlUnit(control->type) : 0;
    if (unit < 1 || unit > 5) {
        Close();
        return false;
    }
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

} // namespace linlangok
