#include "engine/TickClock.h"

#include "engine/PeriodicTimerDriver.h"

#include <stdexcept>

namespace linlangok {

CTickClock::CTickClock(IPeriodicTimerDriver& driver)
    : m_periodMicroseconds(driver.MinimumPeriod() * 1000)
    , m_step(static_cast<int32_t>(m_periodMicroseconds) * m_division)
    , m_timer(driver)
{
    m_timer.AddClient(*this);
}

CTickClock::~CTickClock()
{
    m_timer.Stop();
    m_timer.RemoveClient(*this);
}

void CTickClock::Rewind(int32_t division, int32_t startTick)
{
    m_timer.Stop();
    m_timer.SetTickCounter(startTick);
    m_ticksDue = 0;
    m_remainder = 0;
    m_periodMicroseconds = m_timer.Driver().MinimumPeriod() * 1000;
    m_division = division;
    m_step = static_cast<int32_t>(m_periodMicroseconds) * division;
}

void CTickClock::Start()
{
    if (!m_timer.IsRunning())
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

void CTickClock::SetTempoPercent(int32_t percent)
{
    if (percent < 1 || percent > 1000)
        throw std::invalid_argument("tempo percent out of range");
    m_tempoPercent.store(percent, std::memory_order_relaxed);
}

void CTickClock::UpdateTimer(CMultimediaTimer& timer)
{
    // Microseconds per quarter note at the playing tempo: at most 0xFFFFFF * 100, within 32 bits.
    const auto quarter = static_cast<int32_t>(int64_t {m_tempo.load(std::memory_order_relaxed)} * 100 / TempoPercent());
    if (quarter < 1)
        return;
    const int64_t total = static_cast<int64_t>(m_remainder) + m_step;
    m_ticksDue = static_cast<int32_t>(total / quarter);
    m_remainder = static_cast<int32_t>(total - static_cast<int64_t>(m_ticksDue) * quarter);
    try {
        while (m_ticksDue >= 1) {
            timer.FanOutTick();
            timer.SetTickCounter(timer.TickCounter() + 1);
            --m_ticksDue;
        }
    } catch (...) {
        throw std::runtime_error("UpdateTimer error!");
    }
}

} // namespace linlangok
