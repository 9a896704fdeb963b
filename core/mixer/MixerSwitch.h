#pragma once

#include "core/mixer/MixerBinding.h"

namespace linlangok {

// A check box bound to one item of a boolean control (mute, on/off) or of a list control.
// Binding failures are silent: the check box stays disabled.
class CMixerSwitch final : public CMixerBinding {
public:
    explicit CMixerSwitch(IMixerSystem& system);

    // The check box to drive (not owned; it must outlive the binding or be detached with Close).
    void Attach(ICheckBoxControl* checkBox) { m_checkBox = checkBox; }

    // Binds the check box: disables it, finds the control (the item index counts for list
    // controls only and must lie within its items) and, when the values can be read, enables it
    // with the item's state. False when nothing was bound.
    bool Init(
        std::uint32_t destinationType, std::uint32_t sourceType, std::uint32_t controlType, std::uint32_t item = 0);

    // The user clicked the check box: the item toggles in every channel.
    void OnClick();

private:
    void ShowValues() override;

    ICheckBoxControl* m_checkBox = nullptr;
    std::uint32_t m_item = 0;
};

} // namespace linlangok
