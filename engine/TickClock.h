#pragma once

#include "engine/MultimediaTimer.h"

#include <atomic>
#include <cstdint>

namespace linlangok {

// The song's tempo clock: turns timer periods into MIDI ticks from tempo and division, without
// drift, and hands every tick to the timer's clients. Owns its timer and is its first client.
class CTickClock : public CTimerClient {
public:
    explicit CTickClock(IPeriodicTimerDriver& driver);
    ~CTickClock() override;

    // Stops the timer and sets the tick counter to startTick with no carried fraction; the tempo
    // and the elapsed milliseconds stay. division: ticks per quarter note.
    void Rewind(int32_t division, int32_t startTick);
    // Starts the timer at the driver's minimum period, if it is not running.
    void Start();
    // Pauses: elapsed milliseconds and tick counter stay.
    void Stop();
    // Stops, then zeroes elapsed milliseconds, callback count and tick counter.
    void StopAndReset();

    // Microseconds per quarter note; written by the track players (timer thread, or UI thread
    // while stopped). Values below 1 are never stored by callers.
    int32_t Tempo() const { return m_tempo.load(std::memory_order_relaxed); }
    void SetTempo(int32_t microsecondsPerQuarter) { m_tempo.store(microsecondsPerQuarter, std::memory_order_relaxed); }

    // How fast the song plays, in percent of its own tempo: every tempo of the song is divided by
    // percent / 100, so the ticks (and what runs on them) keep their places in the song. Not
    // changed while the timer runs; 1..1000 (std::invalid_argument otherwise).
    int32_t TempoPercent() const { return m_tempoPercent.load(std::memory_order_relaxed); }
    void SetTempoPercent(int32_t percent);

    int32_t Division() const { return m_division; }
    int32_t Remainder() const { return m_remainder; }

    CMultimediaTimer& Timer() { return m_timer; }
    const CMultimediaTimer& Timer() const { return m_timer; }

    // The per-period tick arithmetic (timer thread).
    void UpdateTimer(CMultimediaTimer& timer) override;

private:
    uint32_t m_periodMicroseconds = 0;
    std::atomic<int32_t> m_tempo {500000};
    int32_t m_division = 96;
    int32_t m_ticksDue = 0;
    int32_t m_remainder = 0;
    int32_t m_step = 0;
    CMultimediaTimer m_timer;
    std::atomic<int32_t> m_tempoPercent {100};
};

} // namespace linlangok
