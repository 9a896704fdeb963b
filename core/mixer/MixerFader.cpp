#include "core/mixer/MixerFader.h"

namespace linlangok {

CMixerFader::CMixerFader(IMixerSystem& system)
    : CMixerBinding(system)
{
}

void CMixerFader::Centre()
{
    m_slider->SetPosition((m_slider->Minimum() + m_slider->Maximum()) / 2);
}

bool CMixerFader::Init(
    std::uint32_t destinationType, std::uint32_t sourceType, std::uint32_t controlType, EFaderKind kind)
{
    if (!m_slider)
        return false;
    m_kind = kind;
    m_slider->SetEnabled(false);
    if (kind == EFaderKind::Balance)
        Centre();
    if (MixerControlClass(controlType) != kMixerClassFader || !Bind(destinationType, sourceType, controlType))
        return false;
    const auto scale = MakeFaderScale(m_control.minimum, m_control.maximum, m_control.steps);
    if (!scale) {
        Close();
        return false;
    }
    m_scale = *scale;
    m_slider->SetRange(0, static_cast<int>(m_scale.steps));
    if (m_valueChannels < 2 && kind != EFaderKind::Main) {
        if (kind == EFaderKind::Balance)
            Centre();
        Close();
        return false;
    }
    Refresh();
    return true;
}

FaderChannels CMixerFader::Channels() const
{
    return {m_values[0], m_values.size() > 1 ? m_values[1] : 0, m_values.size() > 1};
}

void CMixerFader::ShowValues()
{
    m_slider->SetEnabled(true);
    if (const auto position = FaderPosition(m_kind, m_scale, Channels(), m_balanceRatio))
        m_slider->SetPosition(*position);
}

void CMixerFader::OnScroll()
{
    if (!m_mixer)
        return;
    const FaderChannels values = FaderValues(m_kind, m_scale, m_slider->Position(), Channels(), m_balanceRatio);
    m_values[0] = static_cast<std::int32_t>(values.left);
    if (values.stereo)
        m_values[1] = static_cast<std::int32_t>(values.right);
    WriteValues();
}

} // namespace linlangok
