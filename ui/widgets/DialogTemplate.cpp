#include "ui/widgets/DialogTemplate.h"

#include "ui/widgets/DialogUnits.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>

#include <stdexcept>
#include <string>

namespace linlangok {
namespace {

QWidget* MakeStandardWidget(const ControlTemplate& control, const QString& text, QWidget& parent)
{
    switch (control.kind) {
    case EControlKind::Label: {
        auto* label = new QLabel(text, &parent);
        label->setAlignment(control.alignment);
        return label;
    }
    case EControlKind::Edit:
        return new QLineEdit(&parent);
    case EControlKind::Button:
    case EControlKind::DefaultButton: {
        auto* button = new QPushButton(text, &parent);
        button->setAutoDefault(false);
        button->setDefault(control.kind == EControlKind::DefaultButton);
        return button;
    }
    case EControlKind::CheckBox:
        return new QCheckBox(text, &parent);
    case EControlKind::GroupBox:
        return new QGroupBox(text, &parent);
    case EControlKind::ComboBox:
        return new QComboBox(&parent);
    case EControlKind::ListBox:
        return new QListWidget(&parent);
    case EControlKind::VerticalSlider:
        return new QSlider(Qt::Vertical, &parent);
    case EControlKind::Custom:
        break;
    }
    throw std::invalid_argument("the dialog template's control " + std::to_string(control.id) + " has no widget");
}

} // namespace

void CDialogControls::Build(QWidget& parent, const char* context, std::span<const ControlTemplate> controls,
    const CDialogUnits& units, const ControlFactory& factory, QPoint offset)
{
    m_context = context;
    for (const ControlTemplate& control : controls) {
        const QString text = Text(control);
        QWidget* widget = factory ? factory(control) : nullptr;
        if (!widget)
            widget = MakeStandardWidget(control, text, parent);
        widget->setGeometry(units.ToPixels(control.x, control.y, control.width, control.height).translated(offset));
        if (control.accessibleName)
            widget->setAccessibleName(QCoreApplication::translate(m_context, control.accessibleName));
        else if (!text.isEmpty())
            widget->setAccessibleName(QString(text).remove(u':'));
        widget->raise();
        if (control.id != 0) {
            widget->setObjectName(QString::number(control.id));
            m_controls[control.id] = widget;
        }
    }
}

QString CDialogControls::Text(const ControlTemplate& control) const
{
    return *control.text ? QCoreApplication::translate(m_context, control.text) : QString();
}

QWidget* CDialogControls::Control(int id) const
{
    const auto found = m_controls.find(id);
    return found == m_controls.end() ? nullptr : found->second;
}

} // namespace linlangok
