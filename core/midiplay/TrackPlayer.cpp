#include "core/midiplay/TrackPlayer.h"

#include "common/ErrorLog.h"
#include "core/midiplay/ChaseState.h"
#include "core/midiplay/MidiOutputWorker.h"
#include "midi/MidiSong.h"
#include "timebase/TickClock.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace linlangok {
namespace {

constexpr std::uint8_t kSustainController = 64;

} // namespace

CTrackPlayer::CTrackPlayer(size_t trackIndex, CMidiSong& song, CMidiOutputWorker& output, CTickClock& clock,
    const std::atomic<int>& mutedChannel)
    : m_track(song.Track(trackIndex))
    , m_output(output)
    , m_clock(clock)
    , m_mutedChannel(mutedChannel)
    , m_appliedMute(mutedChannel.load(std::memory_order_relaxed))
{
    Seek(0);
    m_soundingNotes.fill(nullptr);
    m_heldSustain = nullptr;
    m_finished = false;
}

void CTrackPlayer::OnTickByTrack(std::int32_t tick)
{
    try {
        SendDue(tick);
    } catch (...) {
        LogError("OnTickByTrack");
        throw std::runtime_error("OnTickByTrack error!");
    }
}

std::int32_t CTrackPlayer::DueTick() const
{
    if (m_finished)
        return std::numeric_limits<std::int32_t>::max();
    const std::vector<TrackEntry>& entries = m_track.Entries();
    if (m_nextIndex < 0 || static_cast<size_t>(m_nextIndex) >= entries.size())
        return std::numeric_limits<std::int32_t>::min();
    return entries[m_nextIndex].tick;
}

void CTrackPlayer::SendDue(std::int32_t tick)
{
    if (const int muted = m_mutedChannel.load(std::memory_order_relaxed); muted != m_appliedMute)
        ApplyMute(muted);
    const std::vector<TrackEntry>& entries = m_track.Entries();
    while (!m_finished) {
        if (m_nextIndex < 0 || static_cast<size_t>(m_nextIndex) >= entries.size()) {
            m_finished = true;
            return;
        }
        const TrackEntry& entry = entries[m_nextIndex];
        if (entry.tick >= tick)
            return;
        Dispatch(entry);
        ++m_nextIndex;
    }
}

void CTrackPlayer::ApplyMute(int channel)
{
    if (channel >= 0) {
        for (std::uint32_t key = 0; key < m_soundingNotes.size(); ++key) {
            const CChannelMessage* note = m_soundingNotes[key];
            if (note && note->Channel() == channel) {
                m_output.SendShort(0x80u | note->Channel() | key << 8);
                m_soundingNotes[key] = nullptr;
            }
        }
    }
    m_appliedMute = channel;
}

void CTrackPlayer::Dispatch(const TrackEntry& entry)
{
    const CMidiMessage& message = *entry.message;
    if (const CChannelMessage* channel = AsChannelMessage(&message)) {
        const std::int32_t command = channel->Command();
        if ((command == 0x80 || command == 0x90) && channel->Channel() == m_appliedMute)
            return;
        switch (command) {
        case 0x90:
            m_soundingNotes[channel->Data1()] = channel->Data2() == 0 ? nullptr : channel;
            break;
        case 0x80:
            m_soundingNotes[channel->Data1()] = nullptr;
            break;
        case 0xB0:
            if (channel->Data1() == kSustainController)
                m_heldSustain = channel->Data2() < 64 ? nullptr : channel;
            break;
        default:
            break;
        }
        m_output.SendShortAt(channel->PackedMessage(), m_clock.DueTime(entry.tick));
    } else if (const PerformResult performed = message.Perform(m_output);
               performed.what == EPerformed::TempoChange && performed.tempo >= 1) {
        m_clock.ChangeTempoAt(entry.tick, performed.tempo);
    }
}

void CTrackPlayer::Silence()
{
    if (m_heldSustain) {
        m_output.SendShort(0xB0u | m_heldSustain->Channel() | std::uint32_t(kSustainController) << 8);
        m_heldSustain = nullptr;
    }
    for (std::uint32_t key = 0; key < m_soundingNotes.size(); ++key) {
        if (const CChannelMessage* note = m_soundingNotes[key])
            m_output.SendShort(0x80u | note->Channel() | key << 8);
    }
    m_soundingNotes.fill(nullptr);
}

void CTrackPlayer::Seek(std::int32_t tick)
{
    if (tick < 0)
        return;
    m_finished = false;
    const std::vector<TrackEntry>& entries = m_track.Entries();
    if (entries.empty())
        return;
    CChaseState chase(m_output, m_clock);
    size_t index = 0;
    for (; index < entries.size() && entries[index].tick <= tick; ++index)
        chase.Enter(*entries[index].message);
    // The first entry at the tick is sent again when playback starts; so are the others there.
    while (index > 0 && entries[index - 1].tick == tick)
        --index;
    if (index == entries.size())
        m_finished = true;
    m_nextIndex = static_cast<std::int32_t>(index);
    chase.Send();
}

} // namespace linlangok
