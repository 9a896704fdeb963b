#pragma once

#include "core/mixer/MixerArithmetic.h"
#include "core/mixer/MixerBinding.h"

namespace linlangok {

// A slider bound to a fader control (a volume): left, right, main (both channels, keeping their
// balance) or balance. Binding failures are silent: the slider stays disabled.
class CMixerFader final : public CMixerBinding {
public:
    explicit CMixerFader(IMixerSystem& system);

    // The slider to drive (not owned; it must outlive the binding or be detached with Close).
    void Attach(ISliderControl* slider) { m_slider = slider; }

    // Binds the slider: disables it (a balance slider is centred), finds the control, sets the
    // range 0 … steps and, when the values can be read, enables the slider at their position. A
    // one-channel line (or a control with one value for all channels) takes only the main kind.
    // False when nothing was bound.
    bool Init(std::uint32_t destinationType, std::uint32_t sourceType, std::uint32_t controlType, EFaderKind kind);

    // The user moved the slider: the mixer follows.
    void OnScroll();

private:
    FaderChannels Channels() const;
    void ShowValues() override;
    void Centre();

    ISliderControl* m_slider = nullptr;
    EFaderKind m_kind = EFaderKind::Main;
    FaderScale m_scale;
    double m_balanceRatio = 0;
};

} // namespace linlangok
