#include "timebase/TickClock.h"

#include "common/ErrorLog.h"
#include "timebase/PeriodicTimerDriver.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace linlangok {

CTickClock::CTickClock(IPeriodicTimerDriver& driver)
    : m_periodMicroseconds(driver.MinimumPeriod() * 1000)
    , m_step(static_cast<std::int32_t>(m_periodMicroseconds) * m_division)
    , m_timer(driver)
{
    m_timer.AddClient(*this);
}

CTickClock::~CTickClock()
{
    m_timer.Stop();
    m_timer.RemoveClient(*this);
}

void CTickClock::Rewind(std::int32_t division, std::int32_t startTick)
{
    m_timer.Stop();
    m_timer.SetTickCounter(startTick);
    m_ticksDue = 0;
    m_remainder = 0;
    m_periodMicroseconds = m_timer.Driver().MinimumPeriod() * 1000;
    m_division = division;
    m_step = static_cast<std::int32_t>(m_periodMicroseconds) * division;
    StartTempoMap(startTick);
}

void CTickClock::SetPosition(std::int32_t tick)
{
    m_timer.SetTickCounter(tick);
    StartTempoMap(tick);
}

void CTickClock::StartTempoMap(std::int32_t tick)
{
    m_mapTick = tick;
    m_mapNanoseconds = 0;
    m_mapFraction = 0;
    m_mapRestarts = true;
}

void CTickClock::Start()
{
    if (m_timer.IsRunning())
        return;
    const auto now = m_timer.Driver().ClockTime();
    if (m_mapRestarts)
        m_mapOrigin = now;
    else // resumed: the tempo map's time stood still from the last period on
        m_mapOrigin
            += now - (m_runStart + std::chrono::microseconds(std::uint64_t {m_periodsThisRun} * m_periodMicroseconds));
    m_mapRestarts = false;
    m_runStart = now;
    m_periodsThisRun = 0;
    m_timer.Start(m_timer.Driver().MinimumPeriod(), m_timer.Driver().MaximumPeriod());
}

void CTickClock::Stop()
{
    m_timer.Stop();
}

void CTickClock::StopAndReset()
{
    m_timer.Stop();
    m_timer.Reset();
}

void CTickClock::SetTempoPercent(std::int32_t percent)
{
    if (percent < 1 || percent > 1000)
        throw std::invalid_argument("tempo percent out of range");
    if (percent != TempoPercent())
        m_mapFraction = 0; // less than a nanosecond, in the old percent's units
    m_tempoPercent.store(percent, std::memory_order_relaxed);
}

void CTickClock::ChangeTempoAt(std::int32_t tick, std::int32_t microsecondsPerQuarter)
{
    AdvanceTempoMap(tick);
    SetTempo(microsecondsPerQuarter);
}

std::chrono::steady_clock::time_point CTickClock::DueTime(std::int32_t tick)
{
    AdvanceTempoMap(tick);
    return m_mapOrigin + std::chrono::nanoseconds(m_mapNanoseconds);
}

void CTickClock::AdvanceTempoMap(std::int32_t tick)
{
    if (tick <= m_mapTick)
        return;
    // One tick lasts tempo × 1000 × 100 / (percent × division) ns.
    const std::int64_t ticks = std::int64_t {tick} - m_mapTick;
    const std::int64_t numerator = std::int64_t {Tempo()} * 100000;
    const std::int64_t denominator = std::int64_t {TempoPercent()} * std::max(m_division, 1);
    const std::int64_t whole = numerator / denominator;
    const std::int64_t fraction = m_mapFraction + ticks * (numerator % denominator);
    constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / 2;
    const std::int64_t added = whole > 0 && ticks > kLimit / whole ? kLimit : ticks * whole;
    m_mapNanoseconds = std::min(kLimit, m_mapNanoseconds + added + fraction / denominator);
    m_mapFraction = fraction % denominator;
    m_mapTick = tick;
}

std::int64_t CTickClock::PlayingQuarter() const
{
    // At most 0xFFFFFF * 100 microseconds, within 32 bits.
    return std::int64_t {m_tempo.load(std::memory_order_relaxed)} * 100 / TempoPercent();
}

void CTickClock::UpdateTimer(CMultimediaTimer& timer)
{
    ++m_periodsThisRun;
    const auto quarter = static_cast<std::int32_t>(PlayingQuarter());
    if (quarter < 1)
        return;
    const std::int64_t total = static_cast<std::int64_t>(m_remainder) + m_step;
    m_ticksDue = static_cast<std::int32_t>(total / quarter);
    m_remainder = static_cast<std::int32_t>(total - static_cast<std::int64_t>(m_ticksDue) * quarter);
    try {
        while (m_ticksDue >= 1) {
            timer.FanOutTick();
            timer.SetTickCounter(timer.TickCounter() + 1);
            --m_ticksDue;
        }
    } catch (...) {
        LogError("UpdateTimer");
        throw std::runtime_error("UpdateTimer error!");
    }
}

std::uint32_t CTickClock::PeriodsUntilWanted(const CMultimediaTimer& timer) const
{
    const std::int32_t wanted = timer.NextTickWanted();
    const std::int64_t quarter = PlayingQuarter();
    if (wanted == std::numeric_limits<std::int32_t>::max() || quarter < 1 || m_step < 1)
        return CMultimediaTimer::kMaximumSleepPeriods;
    // The period in which the remainder grows past the quarters of every fan-out up to the
    // wanted tick's, at the tempo now: no tempo changes before it.
    const std::int64_t fanOuts = std::clamp<std::int64_t>(
        std::int64_t {wanted} - timer.TickCounter() + 1, 1, std::numeric_limits<std::int32_t>::max());
    const std::int64_t needed = fanOuts * quarter - m_remainder;
    const std::int64_t periods = (needed + m_step - 1) / m_step;
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(periods, 1, CMultimediaTimer::kMaximumSleepPeriods));
}

std::int32_t CTickClock::NextTickWanted(std::int32_t) const
{
    return std::numeric_limits<std::int32_t>::max(); // its work is per period
}

} // namespace linlangok
