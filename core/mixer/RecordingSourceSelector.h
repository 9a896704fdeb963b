#pragma once

#include "core/mixer/MixerBinding.h"

namespace linlangok {

// The names a recording source item may carry, chosen by variant.
enum class ESourceNameVariant { MonoMix = 0, StereoMix = 1, Auxiliary = 2, None = -1 };

// A check box that selects one recording source: an item of the wave-in destination's mixer
// control (several sources at once) or, when there is none, of its multiplexer (one at a time),
// found by the component type of its line and, for analog lines, by name.
class CRecordingSourceSelector final : public CMixerClient {
public:
    explicit CRecordingSourceSelector(IMixerSystem& system);

    // Binds the check box (not owned): checked when the source is selected. When the mixer, the
    // control or the item is missing the box stays clear and disabled, and false is returned.
    bool Init(ICheckBoxControl* checkBox, std::uint32_t componentType, ESourceNameVariant nameVariant);

    // Whether the source is selected in the mixer now (false when that cannot be read).
    bool IsSelected();

    // The user clicked the check box, whatever its state: selects the source (a multiplexer
    // deselects every other one first) and shows the mixer's state.
    void Select();

    // The item found, or -1; its name.
    int ItemIndex() const { return m_itemIndex; }

    void OnMixerControlChange(std::uint32_t controlId) override;

private:
    bool FindItem();
    bool NameMatches(const std::u16string& name) const;
    std::optional<std::vector<std::int32_t>> ReadItems();
    void ShowSelection();

    ICheckBoxControl* m_checkBox = nullptr;
    std::uint32_t m_componentType = 0;
    ESourceNameVariant m_nameVariant = ESourceNameVariant::None;
    std::uint32_t m_controlType = 0;
    std::uint32_t m_controlId = 0;
    std::uint32_t m_items = 0;
    std::uint32_t m_channels = 1;
    int m_itemIndex = -1;
};

} // namespace linlangok
