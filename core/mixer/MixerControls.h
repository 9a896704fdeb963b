#pragma once

// The dialog controls that the mixer bindings drive. The volume window implements them over its
// QSlider and QCheckBox widgets; tests fake them. A binding setting a control never calls back
// into the binding: the window calls the binding's OnScroll or OnClick for the user's actions only.
namespace linlangok {

// A slider (trackbar). Positions are logical: the maximum is the loudest, at the top of a
// vertical slider and at the right of a horizontal one.
class ISliderControl {
public:
    virtual ~ISliderControl() = default;
    virtual void SetEnabled(bool enabled) = 0;
    virtual void SetRange(int minimum, int maximum) = 0; // redraws
    virtual int Minimum() const = 0;
    virtual int Maximum() const = 0;
    virtual void SetPosition(int position) = 0;
    virtual int Position() const = 0;
};

class ICheckBoxControl {
public:
    virtual ~ICheckBoxControl() = default;
    virtual void SetEnabled(bool enabled) = 0;
    virtual void SetChecked(bool checked) = 0;
    virtual bool IsChecked() const = 0;
};

} // namespace linlangok
