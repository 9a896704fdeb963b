#pragma once

#include <array>
#include <cstdint>

namespace linlangok {

class CChannelMessage;
class CMetaMessage;
class CMidiMessage;
class CMidiOutputWorker;
class CTickClock;

// The controller state that lies before a seek position in one track: the last channel
// pressure, polyphonic key pressure, program change, pitch bend and Set Tempo, and the last
// control change of each controller number. Built by CTrackPlayer::Seek on the UI thread, then
// sent and cleared. The messages are the song's; they must outlive the chase.
class CChaseState {
public:
    CChaseState(CMidiOutputWorker& output, CTickClock& clock);

    void Clear();
    // Keeps the message when it is of a chased kind; ignores every other message.
    void Enter(const CMidiMessage& message);
    // Sends (only while the output is open) the pressures, program change and pitch bend, then
    // the control changes in controller order, then makes a chased tempo of at least 1 the
    // clock's. Output errors propagate.
    void Send() const;

private:
    CMidiOutputWorker& m_output;
    CTickClock& m_clock;
    const CChannelMessage* m_channelPressure = nullptr;
    const CChannelMessage* m_keyPressure = nullptr;
    const CChannelMessage* m_programChange = nullptr;
    const CChannelMessage* m_pitchBend = nullptr;
    const CMetaMessage* m_tempo = nullptr;
    std::array<const CChannelMessage*, 128> m_controllers {};
};

} // namespace linlangok
