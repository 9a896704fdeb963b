#pragma once

#include "common/UiThreadPoster.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace linlangok {

// An IUiThreadPoster for a thread that runs its own loop (the command-line tool, tests): posted
// tasks wait in a queue until that thread calls RunPending.
class CUiTaskQueue final : public IUiThreadPoster {
public:
    void Post(std::function<void()> task) override;

    // Runs every task posted so far, in order, on the calling thread; returns how many ran.
    // Tasks posted while they run wait for the next call.
    size_t RunPending();

    // Waits until a task is pending or the timeout has passed; true when one is pending.
    bool WaitForTask(std::chrono::milliseconds timeout);

private:
    std::mutex m_lock;
    std::condition_variable m_posted;
    std::deque<std::function<void()>> m_tasks;
};

} // namespace linlangok
