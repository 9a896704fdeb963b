#include "core/mixer/MixerSwitch.h"

namespace linlangok {

CMixerSwitch::CMixerSwitch(IMixerSystem& system)
    : CMixerBinding(system)
{
}

bool CMixerSwitch::Init(
    std::uint32_t destinationType, std::uint32_t sourceType, std::uint32_t controlType, std::uint32_t item)
{
    if (!m_checkBox)
        return false;
    m_checkBox->SetEnabled(false);
    const std::uint32_t kind = MixerControlClass(controlType);
    if (kind != kMixerClassSwitch && kind != kMixerClassList)
        return false;
    m_item = kind == kMixerClassList ? item : 0;
    if (!Bind(destinationType, sourceType, controlType))
        return false;
    if (m_item >= m_valueItems) {
        Close();
        return false;
    }
    Refresh();
    return true;
}

void CMixerSwitch::ShowValues()
{
    m_checkBox->SetEnabled(true);
    m_checkBox->SetChecked(m_values[m_item] != 0);
}

void CMixerSwitch::OnClick()
{
    if (!m_mixer)
        return;
    const std::int32_t value = m_values[m_item] != 0 ? 0 : 1;
    for (std::uint32_t channel = 0; channel < m_valueChannels; ++channel)
        m_values[channel * m_valueItems + m_item] = value;
    m_checkBox->SetChecked(value != 0);
    WriteValues();
}

} // namespace linlangok
