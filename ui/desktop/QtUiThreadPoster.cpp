#include "ui/desktop/QtUiThreadPoster.h"

#include <QMetaObject>

namespace linlangok {

void CQtUiThreadPoster::Post(std::function<void()> task)
{
    QMetaObject::invokeMethod(m_context.data(), std::move(task), Qt::QueuedConnection);
}

} // namespace linlangok
