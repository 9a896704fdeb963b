#include "core/mixer/MixerLayout.h"

#include <algorithm>

namespace linlangok {

std::uint32_t CMixerLayout::AddDestination(std::uint32_t componentType, std::u16string name, std::uint32_t channels)
{
    DestinationEntry destination;
    auto& info = destination.line.info;
    info.lineId = DestinationCount();
    info.destination = info.lineId;
    info.componentType = componentType;
    info.channels = channels;
    info.name = std::move(name);
    m_destinations.push_back(std::move(destination));
    return info.lineId;
}

std::uint32_t CMixerLayout::AddSource(
    std::uint32_t destinationLineId, std::uint32_t componentType, std::u16string name, std::uint32_t channels)
{
    auto& destination = m_destinations.at(destinationLineId);
    LineEntry source;
    source.info.lineId = static_cast<std::uint32_t>((destination.sources.size() + 1) << 16) | destinationLineId;
    source.info.destination = destinationLineId;
    source.info.componentType = componentType;
    source.info.channels = channels;
    source.info.name = std::move(name);
    destination.sources.push_back(std::move(source));
    destination.line.info.connections = static_cast<std::uint32_t>(destination.sources.size());
    return destination.sources.back().info.lineId;
}

std::uint32_t CMixerLayout::AddControl(std::uint32_t lineId, MixerControlInfo control, std::vector<MixerListItem> items)
{
    LineEntry* line = FindLine(lineId);
    if (!line)
        return 0;
    control.controlId = static_cast<std::uint32_t>(m_controls.size() + 1);
    if (control.flags & kMixerControlMultiple)
        control.items = std::max<std::uint32_t>(control.items, static_cast<std::uint32_t>(items.size()));
    const std::uint32_t channels = (control.flags & kMixerControlUniform) ? 1 : std::max(line->info.channels, 1u);
    line->controls.push_back(control.controlId);
    line->info.controls = static_cast<std::uint32_t>(line->controls.size());
    m_controls.push_back({control, channels, std::move(items)});
    return control.controlId;
}

CMixerLayout::LineEntry* CMixerLayout::FindLine(std::uint32_t lineId)
{
    const std::uint32_t destination = lineId & 0xFFFF;
    const std::uint32_t source = lineId >> 16;
    if (destination >= m_destinations.size())
        return nullptr;
    auto& entry = m_destinations[destination];
    if (source == 0)
        return &entry.line;
    return source <= entry.sources.size() ? &entry.sources[source - 1] : nullptr;
}

const CMixerLayout::LineEntry* CMixerLayout::FindLine(std::uint32_t lineId) const
{
    return const_cast<CMixerLayout*>(this)->FindLine(lineId);
}

std::optional<MixerLineInfo> CMixerLayout::Destination(std::uint32_t index) const
{
    if (index >= m_destinations.size())
        return std::nullopt;
    return m_destinations[index].line.info;
}

std::optional<MixerLineInfo> CMixerLayout::Source(std::uint32_t destination, std::uint32_t index) const
{
    if (destination >= m_destinations.size() || index >= m_destinations[destination].sources.size())
        return std::nullopt;
    return m_destinations[destination].sources[index].info;
}

std::optional<MixerLineInfo> CMixerLayout::LineByComponentType(std::uint32_t componentType) const
{
    for (const auto& destination : m_destinations) {
        if (destination.line.info.componentType == componentType)
            return destination.line.info;
    }
    for (const auto& destination : m_destinations) {
        for (const auto& source : destination.sources) {
            if (source.info.componentType == componentType)
                return source.info;
        }
    }
    return std::nullopt;
}

std::optional<MixerLineInfo> CMixerLayout::LineById(std::uint32_t lineId) const
{
    const LineEntry* line = FindLine(lineId);
    return line ? std::optional(line->info) : std::nullopt;
}

std::optional<MixerControlInfo> CMixerLayout::ControlByType(std::uint32_t lineId, std::uint32_t controlType) const
{
    const LineEntry* line = FindLine(lineId);
    if (!line)
        return std::nullopt;
    for (const std::uint32_t controlId : line->controls) {
        if (m_controls[controlId - 1].info.type == controlType)
            return m_controls[controlId - 1].info;
    }
    return std::nullopt;
}

std::optional<std::vector<MixerListItem>> CMixerLayout::ListTexts(std::uint32_t controlId) const
{
    const MixerControlInfo* control = Control(controlId);
    if (!control || !(control->flags & kMixerControlMultiple))
        return std::nullopt;
    return m_controls[controlId - 1].items;
}

const MixerControlInfo* CMixerLayout::Control(std::uint32_t controlId) const
{
    return controlId >= 1 && controlId <= m_controls.size() ? &m_controls[controlId - 1].info : nullptr;
}

std::uint32_t CMixerLayout::ValueChannels(std::uint32_t controlId) const
{
    return Control(controlId) ? m_controls[controlId - 1].channels : 0;
}

std::uint32_t CMixerLayout::ValueItems(std::uint32_t controlId) const
{
    const MixerControlInfo* control = Control(controlId);
    if (!control)
        return 0;
    return (control->flags & kMixerControlMultiple) ? control->items : 1;
}

bool CMixerLayout::FitsValues(
    std::uint32_t controlId, std::uint32_t channels, std::uint32_t items, std::size_t count) const
{
    return channels >= 1 && channels <= ValueChannels(controlId) && items == ValueItems(controlId)
        && count == std::size_t(channels) * items;
}

std::optional<MixerLineInfo> CLayoutMixer::Destination(std::uint32_t index) const
{
    return Layout().Destination(index);
}

std::optional<MixerLineInfo> CLayoutMixer::Source(std::uint32_t destination, std::uint32_t index) const
{
    return Layout().Source(destination, index);
}

std::optional<MixerLineInfo> CLayoutMixer::LineByComponentType(std::uint32_t componentType) const
{
    return Layout().LineByComponentType(componentType);
}

std::optional<MixerLineInfo> CLayoutMixer::LineById(std::uint32_t lineId) const
{
    return Layout().LineById(lineId);
}

std::optional<MixerControlInfo> CLayoutMixer::ControlByType(std::uint32_t lineId, std::uint32_t controlType) const
{
    return Layout().ControlByType(lineId, controlType);
}

std::optional<std::vector<MixerListItem>> CLayoutMixer::ListTexts(std::uint32_t controlId) const
{
    return Layout().ListTexts(controlId);
}

} // namespace linlangok
