#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <utility>

namespace linlangok {

// Runs jobs on a thread of its own, the job asked for last first, one job per key: a key that
// waits is moved to the front, one that runs is not asked for again. A job returns what hands its
// result on (or nothing), which runs once its key no longer counts as running: whoever asks again
// after the result is out is heard. Jobs waiting beyond
// `maximumWaiting` are forgotten, those asked for longest ago first. The thread starts with the
// first request and first calls `enterThread`. Destroying the worker asks the running job to
// stop (through its stop token) and waits for it; jobs still waiting are dropped. Request from
// one thread at a time.
template <typename Key> class CLatestFirstWorker {
public:
    using Delivery = std::function<void()>;
    using Job = std::function<Delivery(std::stop_token stop)>;

    explicit CLatestFirstWorker(size_t maximumWaiting, std::function<void()> enterThread = {})
        : m_maximumWaiting(maximumWaiting)
        , m_enterThread(std::move(enterThread))
    {
    }
    ~CLatestFirstWorker()
    {
        if (m_thread.joinable()) {
            m_thread.request_stop();
            m_thread.join();
        }
    }

    CLatestFirstWorker(const CLatestFirstWorker&) = delete;
    CLatestFirstWorker& operator=(const CLatestFirstWorker&) = delete;

    void Request(const Key& key, Job job)
    {
        {
            std::lock_guard lock(m_lock);
            if (m_running == key)
                return;
            std::erase_if(m_waiting, [&key](const auto& waiting) { return waiting.first == key; });
            m_waiting.emplace_back(key, std::move(job));
            if (m_waiting.size() > m_maximumWaiting)
                m_waiting.pop_front();
        }
        if (!m_thread.joinable())
            m_thread = std::jthread([this](std::stop_token stop) { Run(stop); });
        m_wake.notify_one();
    }

private:
    void Run(std::stop_token stop)
    {
        if (m_enterThread)
            m_enterThread();
        for (;;) {
            Job job;
            {
                std::unique_lock lock(m_lock);
                if (!m_wake.wait(lock, stop, [this] { return !m_waiting.empty(); }))
                    return;
                m_running = m_waiting.back().first;
                job = std::move(m_waiting.back().second);
                m_waiting.pop_back();
            }
            const Delivery deliver = job(stop);
            if (stop.stop_requested())
                return;
            {
                std::lock_guard lock(m_lock);
                m_running.reset();
            }
            if (deliver)
                deliver();
        }
    }

    size_t m_maximumWaiting;
    std::function<void()> m_enterThread;
    std::mutex m_lock;
    std::condition_variable_any m_wake;
    std::deque<std::pair<Key, Job>> m_waiting; // the newest last
    std::optional<Key> m_running;
    std::jthread m_thread; // last: stopped and joined before the rest goes
};

} // namespace linlangok
