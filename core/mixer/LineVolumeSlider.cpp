#include "core/mixer/LineVolumeSlider.h"

namespace linlangok {

CLineVolumeSlider::CLineVolumeSlider(IUserPrompts& prompts, IMixerSystem& system)
    : CMixerClient(system)
    , m_prompts(prompts)
{
}

void CLineVolumeSlider::Bind(CMixerLine* line)
{
    Close();
    m_line = line;
    if (!m_slider)
        return;
    m_slider->SetEnabled(false);
    if (!line)
        return;
    m_mixer = m_system.OpenForWaveInput(line->DeviceNumber(), this);
    if (!m_mixer) {
        m_prompts.ShowMessage({u"", u"Could not open mixer device", EMessageButtons::Ok, EMessageIcon::Error});
        return;
    }
    m_slider->SetRange(0, 100);
    ShowVolume();
}

void CLineVolumeSlider::ShowVolume()
{
    const auto percent = m_line->VolumePercent();
    m_slider->SetEnabled(percent.has_value());
    if (percent)
        m_slider->SetPosition(*percent);
}

void CLineVolumeSlider::OnScroll()
{
    if (m_mixer && m_line)
        m_line->SetVolumePercent(m_slider->Position());
}

void CLineVolumeSlider::OnMixerControlChange(std::uint32_t controlId)
{
    if (m_line && controlId == m_line->VolumeControlId())
        ShowVolume();
}

} // namespace linlangok
