#pragma once

#include "core/mixer/MixerControls.h"
#include "core/mixer/MixerFader.h"
#include "core/mixer/MixerSwitch.h"

namespace linlangok::test {

// Window controls that keep what the bindings set; a test reads and changes the members.
class CFakeSlider final : public ISliderControl {
public:
    void SetEnabled(bool enabled) override { m_enabled = enabled; }
    void SetRange(int minimum, int maximum) override
    {
        m_minimum = minimum;
        m_maximum = maximum;
    }
    int Minimum() const override { return m_minimum; }
    int Maximum() const override { return m_maximum; }
    void SetPosition(int position) override { m_position = position; }
    int Position() const override { return m_position; }

    bool m_enabled = true;
    int m_minimum = 0;
    int m_maximum = 100;
    int m_position = 0;
};

class CFakeCheckBox final : public ICheckBoxControl {
public:
    void SetEnabled(bool enabled) override { m_enabled = enabled; }
    void SetChecked(bool checked) override { m_checked = checked; }
    bool IsChecked() const override { return m_checked; }

    bool m_enabled = true;
    bool m_checked = false;
};

// A binding with its control attached.
template <typename TBinding, typename TControl> struct Bound {
    explicit Bound(IMixerSystem& system)
        : binding(system)
    {
        binding.Attach(&control);
    }
    TControl control;
    TBinding binding;
};
using BoundFader = Bound<CMixerFader, CFakeSlider>;
using BoundSwitch = Bound<CMixerSwitch, CFakeCheckBox>;

} // namespace linlangok::test
