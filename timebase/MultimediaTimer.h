#pragma once

#include "timebase/TimerClient.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <string>

namespace linlangok {

class IPeriodicTimerDriver;

// A periodic timer with a list of clients called on every period, and the song's playing time.
// The driver's thread sleeps while no client needs it: it passes the periods that have gone by
// in one call, and the clients are called once for each of them. Start, Stop, Reset, Hurry,
// SetErrorHandler and the client list are used from the UI thread; OnPeriods runs on the
// driver's thread. The counters are read without a lock; the elapsed milliseconds counts the
// periods that have passed on the driver's clock, also while the thread sleeps.
class CMultimediaTimer {
public:
    // The longest the driver's thread sleeps, in periods, whatever the clients need.
    static constexpr std::uint32_t kMaximumSleepPeriods = 100;

    explicit CMultimediaTimer(IPeriodicTimerDriver& driver);
    ~CMultimediaTimer();

    CMultimediaTimer(const CMultimediaTimer&) = delete;
    CMultimediaTimer& operator=(const CMultimediaTimer&) = delete;

    // Starts the periodic event (delay and resolution in milliseconds). True when running
    // afterwards; false when the driver refused. Starting a running timer changes nothing.
    bool Start(std::uint32_t delayMs, std::uint32_t resolutionMs);
    // Cancels the periodic event and waits until its callback has returned; the counters stay.
    // Also releases an event that ended itself after a client error.
    void Stop();
    // Zeroes elapsed milliseconds, callback count and tick counter. Used after Stop.
    void Reset();

    // Clients are not owned. The same client may be added more than once; RemoveClient removes
    // every entry of it and waits for a running pass to finish.
    void AddClient(CTimerClient& client);
    void RemoveClient(CTimerClient& client);

    // Calls UpdateTick on every client, in registration order (timer thread).
    void FanOutTick();

    // The driver's callback: counts each period and calls UpdateTimer on every client for it.
    // Returns how many periods may pass before the clients next need a call (1 to
    // kMaximumSleepPeriods). An error raised by a client never escapes: the timer stops running,
    // the error handler gets the message, and 0 asks the driver to end the periodic event.
    std::uint32_t OnPeriods(std::uint32_t periods) noexcept;

    // The lowest tick counter at whose fan-out a client has work (timer thread).
    std::int32_t NextTickWanted() const;

    // Asks the driver for a call at the next period, e.g. after a change a client must take up.
    void Hurry();

    // Receives the message text (UTF-8) of an error raised by a client on the timer thread.
    // Called on the timer thread, so it should only post the message to the UI thread. Set
    // while the timer is stopped.
    void SetErrorHandler(std::function<void(const std::string& message)> handler);

    bool IsRunning() const { return m_running.load(std::memory_order_acquire); }
    std::uint32_t Period() const { return m_period; }
    // UI thread or timer thread.
    std::uint32_t ElapsedMilliseconds() const;
    std::uint32_t CallbackCount() const { return m_callbackCount.load(std::memory_order_relaxed); }
    std::int32_t TickCounter() const { return m_tickCounter.load(std::memory_order_relaxed); }
    void SetTickCounter(std::int32_t tick) { m_tickCounter.store(tick, std::memory_order_relaxed); }

    IPeriodicTimerDriver& Driver() const { return m_driver; }

private:
    void ReportError(const char* message) noexcept;

    IPeriodicTimerDriver& m_driver;
    // Nonzero while the driver holds a periodic event for this timer, even one that ended itself
    // after an error; UI thread only.
    std::uint32_t m_timerIdentifier = 0;
    // Written only while no periodic event exists.
    std::uint32_t m_period = 0;
    std::chrono::steady_clock::time_point m_runStart; // the driver's time at Start
    std::uint32_t m_elapsedAtRunStart = 0;
    // Elapsed milliseconds in the upper half; in the lower, the periods the driver may sleep
    // after the last call.
    std::atomic<std::uint64_t> m_progress {0};
    std::atomic<std::uint32_t> m_callbackCount {0};
    std::atomic<bool> m_running {false};
    std::list<CTimerClient*> m_clients;
    mutable std::recursive_mutex m_clientLock;
    std::atomic<std::int32_t> m_tickCounter {0};
    std::function<void(const std::string&)> m_errorHandler;
};

} // namespace linlangok
