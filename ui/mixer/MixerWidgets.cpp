#include "ui/mixer/MixerWidgets.h"

#include <QSignalBlocker>

#include <algorithm>

namespace linlangok {

CMixerSlider::CMixerSlider(QWidget* parent)
    : QSlider(Qt::Vertical, parent)
{
    setTickPosition(QSlider::TicksBothSides);
}

void CMixerSlider::SetRange(int minimum, int maximum)
{
    const QSignalBlocker blocker(this);
    setRange(minimum, maximum);
    const int span = maximum - minimum;
    setSingleStep(std::max(1, span / 50));
    setPageStep(std::max(1, span / 10));
    setTickInterval(std::max(1, span / 10));
}

void CMixerSlider::SetPosition(int position)
{
    const QSignalBlocker blocker(this);
    setValue(position);
}

CMixerCheckBox::CMixerCheckBox(const QString& text, QWidget* parent)
    : QCheckBox(text, parent)
{
}

void CMixerCheckBox::SetChecked(bool checked)
{
    const QSignalBlocker blocker(this);
    setChecked(checked);
}

} // namespace linlangok
