#pragma once

#include "common/UserPrompts.h"
#include "core/mixer/MixerBinding.h"
#include "core/mixer/MixerLineList.h"

namespace linlangok {

// A slider (0 … 100) bound to the volume of one line of a recorder's line list, in percent.
// It follows changes made elsewhere through its own open mixer of the line's device.
class CLineVolumeSlider final : public CMixerClient {
public:
    explicit CLineVolumeSlider(IUserPrompts& prompts, IMixerSystem& system);

    // The slider to drive (not owned; it must outlive the binding or be detached with Close).
    void Attach(ISliderControl* slider) { m_slider = slider; }

    // Binds the slider to a line (not owned; nullptr disables the slider). When the line's mixer
    // cannot be opened, "Could not open mixer device" is shown and the slider disabled; a line
    // whose volume cannot be read leaves it disabled too.
    void Bind(CMixerLine* line);
    CMixerLine* Line() const { return m_line; }

    // The user moved the slider: the line's volume follows.
    void OnScroll();

    void OnMixerControlChange(std::uint32_t controlId) override;

private:
    void ShowVolume();

    IUserPrompts& m_prompts;
    ISliderControl* m_slider = nullptr;
    CMixerLine* m_line = nullptr;
};

} // namespace linlangok
