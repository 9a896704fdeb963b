#include "timebase/ManualTimerDriver.h"

#include "timebase/MultimediaTimer.h"

namespace linlangok {

std::uint32_t CManualTimerDriver::StartPeriodic(std::uint32_t periodMs, std::uint32_t, CMultimediaTimer& timer)
{
    if (m_refuse || periodMs == 0)
        return 0;
    const std::uint32_t identifier = m_nextIdentifier++;
    m_events.push_back({identifier, periodMs, m_now + periodMs, &timer});
    ++m_changes;
    return identifier;
}

void CManualTimerDriver::StopPeriodic(std::uint32_t identifier)
{
    m_changes
        += std::erase_if(m_events, [identifier](const PeriodicEvent& event) { return event.identifier == identifier; });
}

void CManualTimerDriver::Advance(std::uint32_t milliseconds)
{
    const std::uint64_t end = m_now + milliseconds;
    while (m_now < end) {
        ++m_now;
        // A callback may start or stop events; then the scan starts over. Events that have
        // fired are due only in a later millisecond, so none fires twice.
        for (size_t i = 0; i < m_events.size(); ++i) {
            PeriodicEvent& event = m_events[i];
            if (event.nextDue > m_now)
                continue;
            event.nextDue += event.period;
            const std::uint32_t identifier = event.identifier;
            const std::uint64_t changesBefore = m_changes;
            if (event.timer->OnPeriods(1) == 0)
                StopPeriodic(identifier);
            if (m_changes != changesBefore)
                i = static_cast<size_t>(-1);
        }
    }
}

} // namespace linlangok
