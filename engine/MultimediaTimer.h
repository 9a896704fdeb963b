#pragma once

#include "engine/TimerClient.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <string>

namespace linlangok {

class IPeriodicTimerDriver;

// A periodic timer with a list of clients called on every period, and the song's playing time.
// Start, Stop, Reset, SetErrorHandler and the client list are used from the UI thread; OnPeriod
// runs on the driver's thread. The counters are read from any thread without a lock.
class CMultimediaTimer {
public:
    explicit CMultimediaTimer(IPeriodicTimerDriver& driver);
    ~CMultimediaTimer();

    CMultimediaTimer(const CMultimediaTimer&) = delete;
    CMultimediaTimer& operator=(const CMultimediaTimer&) = delete;

    // Starts the periodic event (delay and resolution in milliseconds). True when running
    // afterwards; false when the driver refused. Starting a running timer changes nothing.
    bool Start(uint32_t delayMs, uint32_t resolutionMs);
    // Cancels the periodic event and waits until its callback has returned; the counters stay.
    // Also releases an event that ended itself after a client error.
    void Stop();
    // Zeroes elapsed milliseconds, callback count and tick counter. Used after Stop.
    void Reset();

    // Clients are not owned. The same client may be added more than once; RemoveClient removes
    // every entry of it and waits for a running pass to finish. AddClient raises
    // std::length_error "list<T> too long" past 0x3FFFFFFF entries.
    void AddClient(CTimerClient& client);
    void RemoveClient(CTimerClient& client);

    // Calls UpdateTick on every client, in registration order (timer thread).
    void FanOutTick();

    // The driver's callback: counts the period and calls UpdateTimer on every client. An error
    // raised by a client never escapes: the timer stops running, the error handler gets the
    // message, and false asks the driver to end the periodic event.
    bool OnPeriod() noexcept;

    // Receives the message text (UTF-8) of an error raised by a client on the timer thread.
    // Called on the timer thread, so it should only post the message to the UI thread. Set
    // while the timer is stopped.
    void SetErrorHandler(std::function<void(const std::string& message)> handler);

    bool IsRunning() const { return m_running.load(std::memory_order_acquire); }
    uint32_t Period() const { return m_period; }
    uint32_t ElapsedMilliseconds() const { return m_elapsedMilliseconds.load(std::memory_order_relaxed); }
    uint32_t CallbackCount() const { return m_callbackCount.load(std::memory_order_relaxed); }
    int32_t TickCounter() const { return m_tickCounter.load(std::memory_order_relaxed); }
    void SetTickCounter(int32_t tick) { m_tickCounter.store(tick, std::memory_order_relaxed); }

    IPeriodicTimerDriver& Driver() const { return m_driver; }

private:
    void ReportError(const char* message) noexcept;

    IPeriodicTimerDriver& m_driver;
    // Nonzero while the driver holds a periodic event for this timer, even one that ended itself
    // after an error; UI thread only.
    uint32_t m_timerIdentifier = 0;
    // Written only while no periodic event exists.
    uint32_t m_period = 0;
    std::atomic<uint32_t> m_elapsedMilliseconds {0};
    std::atomic<uint32_t> m_callbackCount {0};
    std::atomic<bool> m_running {false};
    std::list<CTimerClient*> m_clients;
    std::recursive_mutex m_clientLock;
    std::atomic<int32_t> m_tickCounter {0};
    std::function<void(const std::string&)> m_errorHandler;
};

} // namespace linlangok
