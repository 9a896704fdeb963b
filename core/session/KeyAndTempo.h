#pragma once

#include "core/playback/AudioPlayer.h"
#include "core/session/RememberedSong.h"
#include "midi/MidiSong.h"

#include <cstdint>

namespace linlangok {

// The key and the tempo the song plays at. The pitch is remembered for a MIDI song. UI thread.
class CKeyAndTempo {
public:
    // The player and the song outlive this.
    CKeyAndTempo(CAudioPlayer& player, CRememberedSong& song);

    std::int32_t Pitch() const { return m_pitch; }
    // A MIDI song takes the pitch at its next Play; an audio song at once, within -12..12.
    void SetPitch(std::int32_t pitch);
    // The tempo within 50..150 % (clamped): an audio song takes it at once, a MIDI song at its next
    // Play, its tempo map scaled by it. Positions and lengths stay in song time (what they are at
    // 100 %); the recording runs in real time.
    std::int32_t TempoPercent() const { return m_tempoPercent; }
    void SetTempoPercent(std::int32_t percent);
    // Remembers the pitch for the accompaniment file, of a MIDI file only.
    void RememberPitch();

    // For a song just recalled with these values: takes the remembered pitch, or keeps the pitch.
    void Recall(const SongMemoryValues& values);
    // Transposes every track of the song by the pitch; nothing outside -127..127.
    void Transpose(CMidiSong& song) const;

private:
    CAudioPlayer& m_player;
    CRememberedSong& m_song;
    std::int32_t m_pitch = 0;
    std::int32_t m_tempoPercent = 100;
};

} // namespace linlangok
