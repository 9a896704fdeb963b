#pragma once

#include "core/engine/UiThreadPoster.h"

#include <QObject>
#include <QPointer>

namespace linlangok {

// Posts work to the Qt event loop of the UI thread: a queued call on a context object that lives
// there. Tasks posted after the context is gone are dropped.
class CQtUiThreadPoster final : public IUiThreadPoster {
public:
    // The context lives on the UI thread and outlives the poster or takes its tasks with it.
    explicit CQtUiThreadPoster(QObject& context)
        : m_context(&context)
    {
    }

    void Post(std::function<void()> task) override;

private:
    QPointer<QObject> m_context;
};

} // namespace linlangok
