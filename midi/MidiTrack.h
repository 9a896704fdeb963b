#pragma once

#include "midi/LyricTrackView.h"
#include "midi/MidiMessage.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace linlangok {

class CMidiSong;

// One timed message of a track. 16 bytes: entries are most of a loaded song's memory.
struct TrackEntry {
    CMidiMessage* message; // owned by the track
    std::int32_t delta; // ticks since the previous entry (the first: since tick 0)
    std::int32_t tick; // absolute tick
};

// One lyric syllable of a track: absolute tick, seconds from the start of the song, text, and
// whether a line or paragraph starts with it (its "/" or "\\" is not part of the text).
struct LyricSyllable {
    std::int32_t tick = 0;
    float time = 0.0f;
    std::u16string text;
    ELyricBreak breakBefore = ELyricBreak::None;
};

// A track of a song: entries in playing order, always ending with an End of Track entry that the
// track creates itself, plus the lyric syllables extracted from it and its transposition.
//
// Messages handed to the track must have been made in its owning song's arena
// (CMidiSong::Messages()); the track owns them from then on and destroys them when their entry is
// removed or the track is cleared. Built and changed on the UI thread; the sequencer reads entries
// from the timer thread while a song plays. Indexes count from 0 and include the End of Track; an
// index outside the track raises std::invalid_argument unless stated otherwise.
class CMidiTrack {
public:
    // A track for the song, holding only its End of Track (delta 0, tick 0).
    explicit CMidiTrack(CMidiSong& owner);
    ~CMidiTrack();

    CMidiTrack(const CMidiTrack&) = delete;
    CMidiTrack& operator=(const CMidiTrack&) = delete;

    size_t Count() const { return m_entries.size(); }
    const std::vector<TrackEntry>& Entries() const { return m_entries; }
    const TrackEntry& Entry(size_t index) const;
    CMidiSong& Owner() const { return m_owner; }

    // Makes room for that many entries in all, so loading grows the entry vector once.
    void Reserve(size_t entries) { m_entries.reserve(entries); }

    // Adds an entry just before the End of Track; its tick is the previous entry's tick plus the
    // delta. Throws std::invalid_argument for no message, a negative delta or a tick beyond 32 bits.
    void Append(CMidiMessage* message, std::int32_t delta)
    {
        const size_t count = m_entries.size();
        const std::int64_t tick = (count >= 2 ? m_entries[count - 2].tick : 0) + std::int64_t(delta);
        if (count == 0 || !message || delta < 0 || tick > INT32_MAX)
            RefuseAppend(message);
        // The End of Track moves up one place and takes the new entry's tick (FixEnd).
        m_entries.push_back({m_entries[count - 1].message, 0, static_cast<std::int32_t>(tick)});
        m_entries[count - 1] = {message, delta, static_cast<std::int32_t>(tick)};
        Tally(message, 1);
    }
    // Adds an entry with delta 0 and tick 0 as the first entry.
    void InsertFront(CMidiMessage* message);
    // Where an entry at the tick goes: before the entries already at it, or after them with the
    // after-flag. The End of Track's index when every event lies earlier.
    size_t FindIndexByTick(std::int32_t tick, bool after) const;
    // Inserts the message at the tick (not negative) and returns its index; the entry after it keeps
    // its tick.
    size_t InsertAtTick(std::int32_t tick, CMidiMessage* message, bool after);
    // Removes an entry, adding its delta to the next one. Without force, notes (note-on, note-off)
    // stay; the End of Track (or an index beyond it) always stays.
    void Remove(size_t index, bool force);
    // Adds ticks to an entry's delta unless the result would be negative; the tick stays. Throws
    // std::runtime_error("Index into track out of range.") for an index outside the track.
    void AdjustDelta(size_t index, std::int32_t ticks);
    // The End of Track takes the tick of the entry before it and delta 0.
    void FixEnd();

    // 1 when no entry holds a channel message; then the End of Track gets delta and tick 0.
    bool IsConductorOnly();
    // The channel of the first note-on with velocity or program change, or -1; stored when found.
    std::int32_t Channel();
    // Lowest and highest key of the note-ons and note-offs; false when there is none.
    bool NoteRange(int& lowest, int& highest) const;
    // Moves every note-on and note-off by whole semitones so that the track sits `semitones` from
    // the file, keeping keys within 0..127; a percussion track (channel 9) is never moved. Returns
    // whether the transposition was applied. Throws std::invalid_argument outside -127..127.
    bool Transpose(int semitones);
    // Destroys every entry and message, the End of Track included; the track is not used again.
    void ClearEvents();
    // Names the track: the first track-name event takes the text (in the song's code page), or a new
    // one is inserted at the front.
    void SetName(std::u16string_view name);
    // Rebuilds the lyric syllables from the lyric events, after the song's header lines
    // (CMidiSong::BuildLyrics does it for every track).
    void BuildLyrics();
    // The same from the text events of a .kar lyric track: "@" tag lines are left out, a leading
    // "/" or "\\" becomes the syllable's line or paragraph break.
    void BuildKaraokeLyrics();

    // Removes every entry whose message matches, with the same result as Remove without force on
    // each of them from the last to the first, in one pass.
    void RemoveEach(const std::function<bool(const CMidiMessage&)>& matches);

    // How many entries hold Set Tempo, lyric and text events: walks for them skip tracks without
    // any.
    size_t TempoEvents() const { return m_tempoEvents; }
    size_t LyricEvents() const { return m_lyricEvents; }
    size_t TextEvents() const { return m_textEvents; }

    const std::vector<LyricSyllable>& Syllables() const { return m_syllables; }
    std::vector<LyricSyllable>& Syllables() { return m_syllables; }
    std::int32_t HeaderLines() const { return m_headerLines; }
    void SetHeaderLines(std::int32_t lines) { m_headerLines = lines; }
    const std::u16string& Name() const { return m_name; }

private:
    friend class CMidiSong;

    [[noreturn]] void RefuseAppend(const CMidiMessage* message) const;
    // Counts a message in (change 1) or out (change -1) of the tempo, lyric and text tallies.
    void Tally(const CMidiMessage* message, int change)
    {
        if (message->StatusByte() != kMetaStatus)
            return;
        const std::int32_t type = static_cast<const CMetaMessage*>(message)->Type();
        if (type == kMetaSetTempo)
            m_tempoEvents += static_cast<size_t>(change);
        else if (type == kMetaLyric)
            m_lyricEvents += static_cast<size_t>(change);
        else if (type == kMetaText)
            m_textEvents += static_cast<size_t>(change);
    }
    static bool IsRemovable(const CMidiMessage* message, bool force);
    void CheckNotCleared() const;
    void CheckInsertion(const CMidiMessage* message) const;

    std::vector<LyricSyllable> m_syllables;
    std::int32_t m_headerLines = 0;
    CMidiSong& m_owner;
    std::vector<TrackEntry> m_entries;
    std::int32_t m_channel = -1;
    std::int32_t m_transposition = 0;
    std::u16string m_name;
    size_t m_tempoEvents = 0;
    size_t m_lyricEvents = 0;
    size_t m_textEvents = 0;
};

} // namespace linlangok
