#include "ui/desktop/QtUiThreadPoster.h"

#include <QCoreApplication>
#include <QEvent>

namespace linlangok {
namespace {

const QEvent::Type kRunPostedTask = static_cast<QEvent::Type>(QEvent::registerEventType());

// Runs the oldest posted task at each wake-up; a child of the context, so it goes with it.
class CPostedTaskRunner final : public QObject {
public:
    CPostedTaskRunner(std::shared_ptr<CQtUiThreadPoster::PostedTasks> posted, QObject& context)
        : QObject(&context)
        , m_posted(std::move(posted))
    {
    }

protected:
    // Only the poster's wake-ups come here; the event is not read, as it was made on the posting
    // thread and crossed inside Qt.
    void customEvent(QEvent*) override
    {
        std::function<void()> task;
        {
            std::lock_guard lock(m_posted->lock);
            if (m_posted->tasks.empty())
                return;
            task = std::move(m_posted->tasks.front());
            m_posted->tasks.pop_front();
        }
        task();
    }

private:
    std::shared_ptr<CQtUiThreadPoster::PostedTasks> m_posted;
};

} // namespace

CQtUiThreadPoster::CQtUiThreadPoster(QObject& context)
    : m_runner(new CPostedTaskRunner(m_posted, context))
{
}

CQtUiThreadPoster::~CQtUiThreadPoster()
{
    delete m_runner.data();
}

void CQtUiThreadPoster::Post(std::function<void()> task)
{
    QObject* runner = m_runner.data();
    if (!runner)
        return;
    {
        std::lock_guard lock(m_posted->lock);
        m_posted->tasks.push_back(std::move(task));
    }
    QCoreApplication::postEvent(runner, new QEvent(kRunPostedTask));
}

} // namespace linlangok
