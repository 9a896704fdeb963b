#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace linlangok {

class CChannelMessage;
class CMidiOutputWorker;
class CMidiSong;
class CMidiTrack;
class CTickClock;
struct TrackEntry;

// Plays one track of the song: sends the entries that have fallen due by a tick, remembers the
// sounding notes (one slot per key, shared by the track's channels) and the held sustain pedal,
// and applies Set Tempo events to the sequencer's clock. Channel messages go out stamped with their
// tick's time on the clock's tempo map.
//
// The notes of one channel can be muted (the sequencer's guide-melody switch): while muted they
// are neither sent nor remembered as sounding, as if the track did not hold them; the channel's
// other messages still go out.
//
// Driven by the sequencer: OnTickByTrack runs on the timer thread; Seek, Silence and SetNextIndex
// on the UI thread while the clock is stopped.
class CTrackPlayer final {
public:
    // Binds track `trackIndex` of the song (std::invalid_argument when there is none) and seeks
    // to tick 0. mutedChannel holds the channel whose notes are muted, or -1; the player reads it
    // before each send, and when it has changed to a channel, first sends a note off for each
    // note of that channel still sounding. The song, the output, the clock and mutedChannel
    // outlive the player.
    CTrackPlayer(size_t trackIndex, CMidiSong& song, CMidiOutputWorker& output, CTickClock& clock,
        const std::atomic<int>& mutedChannel);

    CTrackPlayer(const CTrackPlayer&) = delete;
    CTrackPlayer& operator=(const CTrackPlayer&) = delete;

    // Sends the entries whose tick lies below the given tick; an error becomes
    // std::runtime_error "OnTickByTrack error!".
    void OnTickByTrack(std::int32_t tick);
    // The tick of the next entry to send, which goes out at the first tick above it: INT32_MAX
    // once the track has finished, INT32_MIN when the next index lies outside the track (the
    // next OnTickByTrack finishes it).
    std::int32_t DueTick() const;

    // Positions the track at the tick (the first entry at it, else the first after it) and sends
    // the controller state chased from the entries up to it, when the output is open. A negative
    // tick does nothing; a tick past the End of Track leaves the track finished.
    void Seek(std::int32_t tick);
    // Releases a held sustain pedal, then sends a note off for every sounding note.
    void Silence();

    void SetNextIndex(std::int32_t index) { m_nextIndex = index; }

private:
    void SendDue(std::int32_t tick);
    // Takes up a new muted channel, releasing its sounding notes.
    void ApplyMute(int channel);
    void Dispatch(const TrackEntry& entry);

    const CMidiTrack& m_track;
    CMidiOutputWorker& m_output;
    CTickClock& m_clock;
    const std::atomic<int>& m_mutedChannel;
    int m_appliedMute; // the muted channel as this player last took it up
    std::int32_t m_nextIndex = 0;
    std::array<const CChannelMessage*, 128> m_soundingNotes {};
    const CChannelMessage* m_heldSustain = nullptr;
    bool m_finished = false;
};

} // namespace linlangok
