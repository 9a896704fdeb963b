#pragma once

#include "common/UiThreadPoster.h"
#include "common/UserPrompts.h"
#include "core/midiplay/MidiOutputWorker.h"
#include "core/midiplay/TrackPlayer.h"
#include "timebase/TickClock.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace linlangok {

class CMidiSong;

// Plays the song through the MIDI output worker, paced by its own tick clock: one track player
// per track, seek with controller chase before playing, silence on stop. The clock's elapsed time
// is the play position; the sequencer does not announce the end of the song.
//
// The players wait in a queue by the tick of their next entry, so a tick costs the tracks that
// have an entry due, not every track: a song of many tracks plays as one of few.
//
// Every operation runs on the UI thread; UpdateTick runs on the timer thread. An error on the
// timer thread stops the timer at once; the sequencer then stops on the UI thread (through the
// poster) and shows the message with the caption "错误".
class CMidiSequencer final : public CTimerClient {
public:
    // prompts, uiThread, devices, the driver of the clock's timer and the song are not owned and
    // outlive the sequencer. With a song, Load(song, 0).
    CMidiSequencer(IUserPrompts& prompts, IUiThreadPoster& uiThread, IMidiOutputDeviceList& devices,
        IPeriodicTimerDriver& timerDriver, CMidiSong* song = nullptr);
    ~CMidiSequencer() override;

    CMidiSequencer(const CMidiSequencer&) = delete;
    CMidiSequencer& operator=(const CMidiSequencer&) = delete;

    // Binds the song and rebuilds the track players: closes the output, rewinds the clock to
    // tick 0 at the song's division. Errors propagate.
    void Load(CMidiSong& song, std::int32_t startTick);
    // From idle or stopped: reloads, opens the output, seeks every track to the start tick,
    // rewinds and starts the clock. While running it only keeps the clock running. Errors are
    // shown as "播放开始时出错!"; a song of length 0 plays nothing.
    void Start();
    // Opens the output if needed, seeks every track to the tick with chase and sets the clock's
    // tick counter. False when the output cannot be opened. Errors propagate.
    bool OpenAndSeek(std::int32_t tick);
    // Stops and resets the clock, rewinds every track and silences it; the output stays open.
    // Errors are shown as "停止播放时出错!".
    void Stop();
    // Mutes the notes of the channel from the next tick on (the guide melody off): its notes that
    // sound then get a note off, and its later note-ons and note-offs are skipped as if the song
    // did not hold them. Every other message, and the timing, stay as they are. Nothing unmutes:
    // the notes that start from then on play. Kept across Start and Load. UI thread.
    void SetMutedChannel(std::optional<std::uint8_t> channel);

    bool IsPlaying() const { return m_playing; }
    CMidiOutputWorker& Output() { return m_output; }
    // The clock that paces the song; the track players set its tempo.
    CTickClock& Clock() { return m_clock; }
    const CTickClock& Clock() const { return m_clock; }
    // Playing time in the song's own time: the clock's elapsed milliseconds in seconds, scaled by
    // its tempo percent to what they would be at 100 %, so that they compare with the song's
    // LengthSeconds and TicksToSeconds at any tempo.
    double ElapsedSeconds() const;

    // Sends the due entries of the tracks that have some, in track order, against the timer's
    // tick counter; after a change of the muted channel every track takes it up.
    void UpdateTick(CMultimediaTimer& timer) override;
    // The first tick at which a track has an entry due.
    std::int32_t NextTickWanted(std::int32_t tickCounter) const override;
    std::uint32_t PeriodsUntilWanted(const CMultimediaTimer&) const override { return UINT32_MAX; }

private:
    // A track waiting for the tick of its next entry.
    struct WaitingTrack {
        std::int32_t dueTick;
        std::uint32_t track;
    };

    // Queues every track that has an entry left, after the players moved.
    void QueueAllTracks();
    void Queue(std::uint32_t track);
    // Stops the clock and sets it to the tick at the song's division.
    void RewindClock(std::int32_t tick);
    void StopAndSilence();
    void OnTimerError(const std::string& message);

    IUserPrompts& m_prompts;
    IUiThreadPoster& m_uiThread;
    CMidiSong* m_song = nullptr;
    CMidiOutputWorker m_output;
    CTickClock m_clock;
    std::vector<std::unique_ptr<CTrackPlayer>> m_players;
    std::int32_t m_startTick = 0;
    std::atomic<int> m_mutedChannel {-1}; // read by the players on the timer thread
    int m_queuedMute = -1; // the muted channel every track has taken up (timer thread)
    // A heap, the earliest due tick (then the lowest track) first; both hold room for every track
    // so that the timer thread never allocates.
    std::vector<WaitingTrack> m_waiting;
    std::vector<std::uint32_t> m_dueTracks; // the tracks taken from the heap at one tick
    bool m_playing = false;
    bool m_paused = false;
    // Lets a posted error find out whether the sequencer still exists.
    std::shared_ptr<CMidiSequencer*> m_alive;
};

} // namespace linlangok
