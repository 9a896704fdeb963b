#include "core/midiplay/ChaseState.h"

#include "core/midiplay/MidiOutputWorker.h"
#include "midi/MidiMessage.h"
#include "timebase/TickClock.h"

namespace linlangok {

CChaseState::CChaseState(CMidiOutputWorker& output, CTickClock& clock)
    : m_output(output)
    , m_clock(clock)
{
}

void CChaseState::Clear()
{
    m_channelPressure = m_keyPressure = m_programChange = m_pitchBend = nullptr;
    m_tempo = nullptr;
    m_controllers.fill(nullptr);
}

void CChaseState::Enter(const CMidiMessage& message)
{
    if (const CChannelMessage* channel = AsChannelMessage(&message)) {
        switch (channel->Command()) {
        case 0xA0:
            m_keyPressure = channel;
            break;
        case 0xB0:
            m_controllers[channel->Data1()] = channel;
            break;
        case 0xC0:
            m_programChange = channel;
            break;
        case 0xD0:
            m_channelPressure = channel;
            break;
        case 0xE0:
            m_pitchBend = channel;
            break;
        default:
            break;
        }
    } else if (IsMetaOfType(&message, kMetaSetTempo)) {
        m_tempo = AsMetaMessage(&message);
    }
}

void CChaseState::Send() const
{
    if (!m_output.IsOpen())
        return;
    for (const CChannelMessage* message : {m_channelPressure, m_keyPressure, m_programChange, m_pitchBend}) {
        if (message)
            message->Perform(m_output);
    }
    for (const CChannelMessage* controller : m_controllers) {
        if (controller)
            controller->Perform(m_output);
    }
    if (m_tempo && m_tempo->TempoOf() >= 1)
        m_clock.SetTempo(m_tempo->TempoOf());
}

} // namespace linlangok
