#include "common/UiTaskQueue.h"

namespace linlangok {

void CUiTaskQueue::Post(std::function<void()> task)
{
    {
        std::lock_guard lock(m_lock);
        m_tasks.push_back(std::move(task));
    }
    m_posted.notify_all();
}

size_t CUiTaskQueue::RunPending()
{
    std::deque<std::function<void()>> tasks;
    {
        std::lock_guard lock(m_lock);
        tasks.swap(m_tasks);
    }
    for (auto& task : tasks)
        task();
    return tasks.size();
}

bool CUiTaskQueue::WaitForTask(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_lock);
    return m_posted.wait_for(lock, timeout, [this] { return !m_tasks.empty(); });
}

} // namespace linlangok
