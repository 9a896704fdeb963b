#pragma once

#include <QPoint>
#include <QString>
#include <Qt>

#include <functional>
#include <map>
#include <span>

class QWidget;

namespace linlangok {

class CDialogUnits;

enum class EControlKind {
    Label, // QLabel, aligned as its template says
    Edit, // QLineEdit
    Button, // QPushButton that focus does not make the default one
    DefaultButton, // the same, pressed by Enter
    CheckBox, // QCheckBox
    GroupBox, // QGroupBox, the text its title
    ComboBox, // QComboBox
    ListBox, // QListWidget
    VerticalSlider, // QSlider
    Custom, // made by the window itself
};

// One control of a dialog template. The texts are UTF-8 source texts, marked with
// QT_TRANSLATE_NOOP in the window's context and translated when the control is made.
struct ControlTemplate {
    int id; // 0 for controls never looked up (labels, group boxes)
    EControlKind kind;
    const char* text;
    int x, y, width, height; // dialog units
    const char* accessibleName = nullptr; // where the text is missing or does not say what the control is
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop; // labels
};

// Makes the window's own widget for a control, a child of the window; null for the standard
// widget of the control's kind. Every Custom control needs one.
using ControlFactory = std::function<QWidget*(const ControlTemplate& control)>;

// The controls of a dialog, made from its template and found by identifier. The parent owns the
// widgets. UI thread.
class CDialogControls {
public:
    // Makes the controls in the parent in template order, each above the ones before it, at its
    // rectangle moved by `offset` pixels (e.g. below a menu bar). The texts are translated in the
    // translation context. A control's accessible name is the template's, else its text without
    // colons; a control with an identifier has the number as its object name. The factory, when
    // given, is asked first for every control. Throws std::invalid_argument for a Custom control
    // the factory does not make.
    void Build(QWidget& parent, const char* context, std::span<const ControlTemplate> controls,
        const CDialogUnits& units, const ControlFactory& factory = {}, QPoint offset = {});

    // The control's text in the user's language, as Build translated it; empty for none.
    QString Text(const ControlTemplate& control) const;

    // The control with the identifier, or null.
    QWidget* Control(int id) const;
    // The control with the identifier as a TWidget, or null when there is none or it is another kind.
    template <class TWidget> TWidget* Control(int id) const { return dynamic_cast<TWidget*>(Control(id)); }

private:
    const char* m_context = "";
    std::map<int, QWidget*> m_controls;
};

} // namespace linlangok
