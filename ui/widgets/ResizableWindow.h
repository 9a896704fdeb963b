#pragma once

#include <QObject>
#include <QSize>
#include <QString>

#include <map>
#include <optional>

class QSizeGrip;
class QWidget;

namespace linlangok {

// The resize behaviour of a resizable companion window: its size when set up is its minimum
// size; the controls it is given grow in height with the window while all others keep their
// place; an optional size grip sits in the bottom-right corner (hidden while maximised); and
// its outer size is written at exit as "dialog_<id>_cx" / "dialog_<id>_cy" under the settings
// organisation kSettingsOrganisation and the application name given (write errors are ignored), and read
// back at the next start.
class CResizableWindow final : public QObject {
public:
    // Call once the window's controls are in their initial places and it has its initial size.
    CResizableWindow(QWidget& window, QString settingsApplication, int dialogId, bool sizeGrip);

    // The control grows (or shrinks) in height with the client area.
    void GrowVertically(QWidget& control);

    // Writes the window's outer size under the settings keys.
    void StoreSize() const;

    // The outer size written at an earlier exit, at most the screen's available size; nothing
    // when none was written or a value is not a positive number.
    std::optional<QSize> StoredSize() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Relayout();

    QWidget& m_window;
    QString m_settingsApplication;
    int m_dialogId;
    QSize m_initialClientSize;
    QSizeGrip* m_sizeGrip = nullptr;
    std::map<QWidget*, QRect> m_growing; // initial rectangles
};

} // namespace linlangok
