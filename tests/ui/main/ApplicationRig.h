#pragma once

#include "platform/collation/IcuCollator.h"
#include "tests/core/session/SessionRig.h"
#include "tests/support/ScriptedProgramLauncher.h"
#include "ui/main/KaraokeApplication.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>

#include <gtest/gtest.h>

namespace linlangok::test {

// Notes what the program asks the desktop to open.
struct CRecordingDesktop final : IDesktopOpener {
    void OpenDocument(const std::filesystem::path& path) override { documents.push_back(path); }
    void OpenWebPage(std::u16string_view address) override { pages.emplace_back(address); }

    std::vector<std::filesystem::path> documents;
    std::vector<std::u16string> pages;
};

// What the whole application needs besides its session's services, on virtual devices.
struct CApplicationRig {
    // The level meter listens on `meter`, by default on an input of its own (the fake serves one
    // client at a time).
    ApplicationServices Services(const SessionServices& session, IWaveInSystem* meter = nullptr)
    {
        return {session, meter ? *meter : meterInput, desktop, programs, LINLANGOK_SOURCE_DIR "/resources", collator};
    }

    CSessionDevices devices;
    CFakeWaveIn meterInput;
    const CIcuCollator collator;
    CRecordingDesktop desktop;
    CScriptedProgramLauncher programs;
};

// Every button and label on show shows its whole text, and it, every edit, slider and list has a name that
// screen readers say (a button's and a label's own text, or the name given); Qt's own parts of a
// control ("qt_spinbox_lineedit") go by the control's.
inline void ExpectTextsFitAndControlsNamed(const QWidget& window)
{
    for (QWidget* child : window.findChildren<QWidget*>()) {
        if (child->objectName().startsWith(QStringLiteral("qt_")))
            continue;
        const auto* button = qobject_cast<QAbstractButton*>(child);
        const auto* label = qobject_cast<QLabel*>(child);
        const QString text = button ? button->text() : label ? label->text() : QString();
        if (!text.isEmpty() && child->isVisible()) {
            EXPECT_LE(child->sizeHint().width(), child->width() + 2) << text.toStdString();
        }
        if (!text.isEmpty() || qobject_cast<QLineEdit*>(child) || qobject_cast<QSlider*>(child)
            || qobject_cast<QComboBox*>(child)) {
            const QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(child);
            EXPECT_FALSE(accessible && accessible->text(QAccessible::Name).isEmpty())
                << child->metaObject()->className() << " " << child->objectName().toStdString() << " "
                << text.toStdString();
        }
    }
}

} // namespace linlangok::test
