#pragma once

#include "timebase/MultimediaTimer.h"

#include <atomic>
#include <chrono>
#include <cstdint>

namespace linlangok {

// The song's tempo clock: turns timer periods into MIDI ticks from tempo and division, without
// drift, and hands every tick to the timer's clients. Owns its timer and is its first client.
// Lets the timer thread sleep until the fan-out of the next tick a client wants.
//
// Beside the periods' ticks it keeps the exact time of the ticks on the tempo map, counted from
// the start tick at the moment the clock started: DueTime, the time a message at a tick is meant
// to sound, on the driver's clock.
class CTickClock : public CTimerClient {
public:
    explicit CTickClock(IPeriodicTimerDriver& driver);
    ~CTickClock() override;

    // Stops the timer and sets the tick counter to startTick with no carried fraction; the tempo
    // and the elapsed milliseconds stay. division: ticks per quarter note.
    void Rewind(std::int32_t division, std::int32_t startTick);
    // Sets the tick counter of the stopped clock to the tick, and counts the tempo map's time from
    // it at the next Start; the carried fraction stays.
    void SetPosition(std::int32_t tick);
    // Starts the timer at the driver's minimum period, if it is not running.
    void Start();
    // Pauses: elapsed milliseconds and tick counter stay.
    void Stop();
    // Stops, then zeroes elapsed milliseconds, callback count and tick counter.
    void StopAndReset();

    // Microseconds per quarter note; written by the track players (timer thread, or UI thread
    // while stopped). Values below 1 are never stored by callers.
    std::int32_t Tempo() const { return m_tempo.load(std::memory_order_relaxed); }
    void SetTempo(std::int32_t microsecondsPerQuarter)
    {
        m_tempo.store(microsecondsPerQuarter, std::memory_order_relaxed);
    }
    // A Set Tempo event at the tick: the tempo map runs at the old tempo up to it.
    void ChangeTempoAt(std::int32_t tick, std::int32_t microsecondsPerQuarter);

    // The driver's time at which the tick falls on the tempo map (at the tempo percent) while the
    // clock runs. Ticks come in rising order, each after the Set Tempo events before it; an
    // earlier tick than the last asked for gets the last one's time. Timer thread.
    std::chrono::steady_clock::time_point DueTime(std::int32_t tick);

    // How fast the song plays, in percent of its own tempo: every tempo of the song is divided by
    // percent / 100, so the ticks (and what runs on them) keep their places in the song. Not
    // changed while the timer runs; 1..1000 (std::invalid_argument otherwise).
    std::int32_t TempoPercent() const { return m_tempoPercent.load(std::memory_order_relaxed); }
    void SetTempoPercent(std::int32_t percent);

    std::int32_t Division() const { return m_division; }
    std::int32_t Remainder() const { return m_remainder; }

    CMultimediaTimer& Timer() { return m_timer; }
    const CMultimediaTimer& Timer() const { return m_timer; }

    // The per-period tick arithmetic (timer thread).
    void UpdateTimer(CMultimediaTimer& timer) override;
    // The periods until the fan-out of the tick the timer's clients want next.
    std::uint32_t PeriodsUntilWanted(const CMultimediaTimer& timer) const override;
    std::int32_t NextTickWanted(std::int32_t tickCounter) const override;

private:
    // Microseconds per quarter note at the playing tempo.
    std::int64_t PlayingQuarter() const;
    void StartTempoMap(std::int32_t tick);
    void AdvanceTempoMap(std::int32_t tick);

    std::uint32_t m_periodMicroseconds = 0;
    std::atomic<std::int32_t> m_tempo {500000};
    std::int32_t m_division = 96;
    std::int32_t m_ticksDue = 0;
    std::int32_t m_remainder = 0;
    std::int32_t m_step = 0;
    CMultimediaTimer m_timer;
    std::atomic<std::int32_t> m_tempoPercent {100};

    // The tempo map: the time of m_mapTick in nanoseconds after the start tick, plus a fraction
    // of m_mapFraction / (percent × division) ns.
    std::int32_t m_mapTick = 0;
    std::int64_t m_mapNanoseconds = 0;
    std::int64_t m_mapFraction = 0;
    bool m_mapRestarts = true; // the next Start counts the map's time from now
    std::chrono::steady_clock::time_point m_mapOrigin; // the driver's time of the start tick
    std::chrono::steady_clock::time_point m_runStart;
    std::uint32_t m_periodsThisRun = 0;
};

} // namespace linlangok
