#include "core/mixer/RecordingSourceSelector.h"

#include <algorithm>

namespace linlangok {

CRecordingSourceSelector::CRecordingSourceSelector(IMixerSystem& system)
    : CMixerClient(system)
{
}

bool CRecordingSourceSelector::Init(
    ICheckBoxControl* checkBox, std::uint32_t componentType, ESourceNameVariant nameVariant)
{
    m_checkBox = checkBox;
    m_componentType = componentType;
    m_nameVariant = nameVariant;
    m_checkBox->SetChecked(false);
    m_checkBox->SetEnabled(false);
    if (!OpenFirstMixer() || !FindItem()) {
        Close();
        return false;
    }
    m_checkBox->SetEnabled(true);
    ShowSelection();
    return true;
}

bool CRecordingSourceSelector::NameMatches(const std::u16string& name) const
{
    switch (m_nameVariant) {
    case ESourceNameVariant::MonoMix:
        return name == u"单声道混音" || name == u"Mono Mix";
    case ESourceNameVariant::Auxiliary:
        return name == u"辅助";
    default:
        return name == u"立体声混音" || name == u"Stereo Mix";
    }
}

bool CRecordingSourceSelector::FindItem()
{
    m_itemIndex = -1;
    const auto waveIn = m_mixer->LineByComponentType(kMixerDestinationWaveIn);
    if (!waveIn)
        return false;
    auto control = m_mixer->ControlByType(waveIn->lineId, kMixerControlMixer);
    if (!control)
        control = m_mixer->ControlByType(waveIn->lineId, kMixerControlMultiplexer);
    const auto items = control ? m_mixer->ListTexts(control->controlId) : std::nullopt;
    if (!items)
        return false;
    m_controlType = control->type;
    m_controlId = control->controlId;
    m_items = control->items;
    m_channels = (control->flags & kMixerControlUniform) ? 1 : std::max(waveIn->channels, 1u);

    auto find = [&](auto matches) {
        for (std::size_t index = 0; index < items->size() && m_itemIndex < 0; ++index) {
            if (matches((*items)[index]))
                m_itemIndex = static_cast<int>(index);
        }
    };
    find([&](const MixerListItem& item) {
        const auto line = m_mixer->LineById(item.lineId);
        return line && line->componentType == m_componentType
            && (m_componentType != kMixerSourceAnalog || NameMatches(item.name));
    });
    if (m_componentType == kMixerSourceAnalog)
        find([&](const MixerListItem& item) { return NameMatches(item.name); });
    if (m_componentType == kMixerSourceMicrophone)
        find([](const MixerListItem& item) { return item.name == u"Microphone"; });
    if (m_itemIndex < 0 || static_cast<std::uint32_t>(m_itemIndex) >= m_items) {
        m_itemIndex = -1;
        return false;
    }
    return true;
}

std::optional<std::vector<std::int32_t>> CRecordingSourceSelector::ReadItems()
{
    std::vector<std::int32_t> values(std::size_t(m_channels) * m_items);
    if (!m_mixer || m_itemIndex < 0 || !m_mixer->ReadValues(m_controlId, m_channels, m_items, values))
        return std::nullopt;
    return values;
}

bool CRecordingSourceSelector::IsSelected()
{
    const auto values = ReadItems();
    return values && (*values)[m_itemIndex] != 0;
}

void CRecordingSourceSelector::ShowSelection()
{
    m_checkBox->SetChecked(IsSelected());
}

void CRecordingSourceSelector::Select()
{
    auto values = ReadItems();
    if (!values)
        return;
    if (m_controlType == kMixerControlMultiplexer)
        std::fill(values->begin(), values->end(), 0);
    for (std::uint32_t channel = 0; channel < m_channels; ++channel)
        (*values)[channel * m_items + m_itemIndex] = 1;
    m_mixer->WriteValues(m_controlId, m_channels, m_items, *values);
    ShowSelection();
}

void CRecordingSourceSelector::OnMixerControlChange(std::uint32_t controlId)
{
    if (controlId != m_controlId)
        return;
    const bool found = FindItem();
    m_checkBox->SetEnabled(found);
    ShowSelection();
}

} // namespace linlangok
