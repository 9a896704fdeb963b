#pragma once

#include "core/mixer/MixerControls.h"

#include <QCheckBox>
#include <QSlider>

// The Qt widgets the mixer bindings drive. What a binding sets raises no signal, so valueChanged
// and clicked come from the user alone.
namespace linlangok {

// A vertical slider with its maximum at the top; keyboard and wheel steps are a fiftieth and a
// tenth of the range, whatever the control's step count.
class CMixerSlider final : public QSlider, public ISliderControl {
public:
    explicit CMixerSlider(QWidget* parent);

    void SetEnabled(bool enabled) override { setEnabled(enabled); }
    void SetRange(int minimum, int maximum) override;
    int Minimum() const override { return minimum(); }
    int Maximum() const override { return maximum(); }
    void SetPosition(int position) override;
    int Position() const override { return value(); }
};

class CMixerCheckBox final : public QCheckBox, public ICheckBoxControl {
public:
    CMixerCheckBox(const QString& text, QWidget* parent);

    void SetEnabled(bool enabled) override { setEnabled(enabled); }
    void SetChecked(bool checked) override;
    bool IsChecked() const override { return isChecked(); }
};

} // namespace linlangok
