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
//
// Idle jobs come last: when nothing waits, the thread asks the idle source for one. A request
// stops the idle job that runs, which runs again once the requests are done.
template <typename Key> class CLatestFirstWorker {
public:
    using Delivery = std::function<void()>;
    using Job = std::function<Delivery(std::stop_token stop)>;
    // On the worker's thread: the next idle job, or nothing when there is none for now.
    using IdleSource = std::function<std::optional<Job>()>;

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
            if (m_runningIdle)
                m_idleStop.request_stop();
            if (m_running == key)
                return;
            std::erase_if(m_waiting, [&key](const auto& waiting) { return waiting.first == key; });
            m_waiting.emplace_back(key, std::move(job));
            if (m_waiting.size() > m_maximumWaiting)
                m_waiting.pop_front();
        }
        Wake();
    }

    // Set once, before the first request. The source is asked again after WakeIdle.
    void SetIdleSource(IdleSource source) { m_idleSource = std::move(source); }
    // There may be idle jobs again where the source had none.
    void WakeIdle()
    {
        {
            std::lock_guard lock(m_lock);
            m_idleAwake = true;
        }
        Wake();
    }

private:
    void Wake()
    {
        if (!m_thread.joinable())
            m_thread = std::jthread([this](std::stop_token stop) { Run(stop); });
        m_wake.notify_one();
    }

    // The idle job to run, the one stopped by a request first; nothing when the source has none.
    std::optional<Job> NextIdleJob()
    {
        if (m_stoppedIdle)
            return std::exchange(m_stoppedIdle, std::nullopt);
        {
            // WakeIdle while the source is asked sets it again.
            std::lock_guard lock(m_lock);
            m_idleAwake = false;
        }
        std::optional<Job> job = m_idleSource ? m_idleSource() : std::nullopt;
        if (job) {
            std::lock_guard lock(m_lock);
            m_idleAwake = true;
        }
        return job;
    }

    void RunIdle(Job job, std::stop_token stop)
    {
        {
            std::lock_guard lock(m_lock);
            if (!m_waiting.empty())
                return void(m_stoppedIdle = std::move(job));
            m_idleStop = {};
            m_runningIdle = true;
        }
        std::stop_source idleStop = m_idleStop;
        const std::stop_callback stopWithThread(stop, [idleStop]() mutable { idleStop.request_stop(); });
        const Delivery deliver = job(idleStop.get_token());
        {
            std::lock_guard lock(m_lock);
            m_runningIdle = false;
        }
        if (stop.stop_requested())
            return;
        if (idleStop.stop_requested())
            m_stoppedIdle = std::move(job);
        else if (deliver)
            deliver();
    }

    void Run(std::stop_token stop)
    {
        if (m_enterThread)
            m_enterThread();
        for (;;) {
            Job job;
            {
                std::unique_lock lock(m_lock);
                if (!m_wake.wait(lock, stop, [this] { return !m_waiting.empty() || m_idleAwake || m_stoppedIdle; }))
                    return;
                if (m_waiting.empty()) {
                    lock.unlock();
                    if (std::optional<Job> idle = NextIdleJob())
                        RunIdle(std::move(*idle), stop);
                    if (stop.stop_requested())
                        return;
                    continue;
                }
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
    IdleSource m_idleSource;
    bool m_idleAwake = true; // the source may have jobs
    bool m_runningIdle = false;
    std::stop_source m_idleStop; // of the idle job that runs
    std::optional<Job> m_stoppedIdle; // worker thread only
    std::jthread m_thread; // last: stopped and joined before the rest goes
};

} // namespace linlangok
