#pragma once

#include <atomic>

namespace linlangok {

// An auto-reset event: Set wakes one waiter, or the next one to wait, and the event resets as
// that waiter passes. Set never blocks, so device callbacks may call it.
class CAutoResetEvent {
public:
    void Set() noexcept
    {
        m_signalled.store(true, std::memory_order_release);
        m_signalled.notify_one();
    }

    void Reset() noexcept { m_signalled.store(false, std::memory_order_release); }

    void Wait() noexcept
    {
        while (!m_signalled.exchange(false, std::memory_order_acq_rel))
            m_signalled.wait(false, std::memory_order_acquire);
    }

private:
    std::atomic<bool> m_signalled {false};
};

} // namespace linlangok
