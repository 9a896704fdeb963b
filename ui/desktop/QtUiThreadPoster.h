#pragma once

#include "common/UiThreadPoster.h"

#include <QObject>
#include <QPointer>

#include <deque>
#include <memory>
#include <mutex>

namespace linlangok {

// Posts work to the Qt event loop of the UI thread. The tasks wait in a queue of the poster's own
// under a standard mutex, and Qt carries only the wake-up (an event to a runner object that lives
// there), so the hand-over is one the thread sanitizer can follow. Tasks posted after the context
// or the poster is gone are dropped.
class CQtUiThreadPoster final : public IUiThreadPoster {
public:
    // Made on the UI thread; the context lives there and outlives the poster or takes its tasks
    // with it.
    explicit CQtUiThreadPoster(QObject& context);
    // On the UI thread; the tasks not yet run are dropped.
    ~CQtUiThreadPoster() override;

    void Post(std::function<void()> task) override;

    struct PostedTasks {
        std::mutex lock;
        std::deque<std::function<void()>> tasks;
    };

private:
    std::shared_ptr<PostedTasks> m_posted = std::make_shared<PostedTasks>();
    QPointer<QObject> m_runner;
};

} // namespace linlangok
