#include "ui/widgets/ResizableWindow.h"

#include "ui/widgets/ProgramSettings.h"

#include <QEvent>
#include <QScreen>
#include <QSettings>
#include <QSizeGrip>
#include <QWidget>

namespace linlangok {

CResizableWindow::CResizableWindow(QWidget& window, QString settingsApplication, int dialogId, bool sizeGrip)
    : QObject(&window)
    , m_window(window)
    , m_settingsApplication(std::move(settingsApplication))
    , m_dialogId(dialogId)
    , m_initialClientSize(window.size())
{
    m_window.setMinimumSize(m_initialClientSize);
    if (sizeGrip) {
        m_sizeGrip = new QSizeGrip(&m_window);
        m_sizeGrip->resize(m_sizeGrip->sizeHint());
    }
    m_window.installEventFilter(this);
    Relayout();
}

void CResizableWindow::GrowVertically(QWidget& control)
{
    m_growing[&control] = control.geometry();
}

void CResizableWindow::StoreSize() const
{
    QSettings settings(kSettingsOrganisation, m_settingsApplication);
    const QSize outer = m_window.frameGeometry().size();
    settings.setValue(QStringLiteral("dialog_%1_cx").arg(m_dialogId), outer.width());
    settings.setValue(QStringLiteral("dialog_%1_cy").arg(m_dialogId), outer.height());
}

std::optional<QSize> CResizableWindow::StoredSize() const
{
    const QSettings settings(kSettingsOrganisation, m_settingsApplication);
    bool widthRead = false;
    bool heightRead = false;
    const QSize stored(settings.value(QStringLiteral("dialog_%1_cx").arg(m_dialogId)).toInt(&widthRead),
        settings.value(QStringLiteral("dialog_%1_cy").arg(m_dialogId)).toInt(&heightRead));
    if (!widthRead || !heightRead || stored.width() <= 0 || stored.height() <= 0)
        return std::nullopt;
    const QScreen* screen = m_window.screen();
    return screen ? stored.boundedTo(screen->availableSize()) : stored;
}

bool CResizableWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_window && (event->type() == QEvent::Resize || event->type() == QEvent::WindowStateChange))
        Relayout();
    return QObject::eventFilter(watched, event);
}

void CResizableWindow::Relayout()
{
    if (m_window.isMinimized())
        return;
    const int grownBy = m_window.height() - m_initialClientSize.height();
    for (const auto& [control, initial] : m_growing)
        control->setGeometry(initial.adjusted(0, 0, 0, grownBy));
    if (m_sizeGrip) {
        m_sizeGrip->setVisible(!m_window.isMaximized());
        m_sizeGrip->move(m_window.width() - m_sizeGrip->width(), m_window.height() - m_sizeGrip->height());
        m_sizeGrip->raise();
    }
}

} // namespace linlangok
