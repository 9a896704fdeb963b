#pragma once

#include "common/Product.h"
#include "common/TextEncodings.h"
#include "common/UserPrompts.h"
#include "midi/MessageArena.h"
#include "midi/MidiTrack.h"
#include "midi/TempoMap.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace linlangok {

// The title of a song without one, as the song holds and saves it; the header shows it translated.
inline constexpr std::u16string_view kUntitled = u"未命名";

// The info text is free text from the file; a header takes at most this many of its lines, so a
// file full of line feeds cannot make every lyric track hold millions of header syllables.
inline constexpr size_t kMaximumHeaderInfoLines = 1000;

// Where a Set Tempo event of the song lies.
struct TempoReference {
    std::uint32_t track;
    std::uint32_t entry;
};

// What a Load did: whether the song is fit to play, and the messages for the user in the order
// they arose (a damaged file loads what it holds and has its read error to show). The caller
// shows them.
struct SongLoad {
    bool loaded = false;
    std::vector<MessageRequest> messages;

    explicit operator bool() const { return loaded; }
};

// The in-memory MIDI song: tracks of timed messages, division, title texts and tempo map. The karaoke session owns one
// for the whole run.
//
// Created, changed and destroyed on the UI thread; while a song plays the sequencer reads tracks,
// entries and messages from the timer thread, and the session stops it before loading again.
// Load returns the messages for the user; the other operations raise std::invalid_argument for an index outside its
// range and let std::bad_alloc through.
class CMidiSong {
public:
    // An empty song: no tracks, division 96, title "未命名", the welcome line as info text. The
    // legacy code page must outlive the song.
    explicit CMidiSong(const ICodePage& codePage);
    ~CMidiSong();

    CMidiSong(const CMidiSong&) = delete;
    CMidiSong& operator=(const CMidiSong&) = delete;

    // Reads the Standard MIDI File and prepares the song: format-0 split, conductor track, title
    // texts, tempo merge, tempo map, lyric syllables, and chooses the lyric track.
    // The song's texts (meta events, lyric syllables) are read in the encoding the detector finds
    // for all of them together (the code page of the texts the song adds itself too), else in the
    // legacy code page. Not loaded when nothing was read that should be played (the messages say
    // why); a file that cannot be opened or is no MIDI file leaves the previous song in place.
    // The code pages the detector gives must outlive the song.
    SongLoad Load(const std::filesystem::path& path, const ITextEncodingDetector& detector = NoEncodingDetection());
    // The same for a file's bytes in memory; they are not kept.
    SongLoad Load(std::span<const std::uint8_t> bytes, const ITextEncodingDetector& detector = NoEncodingDetection());
    // Destroys every track and message; there is no lyric track then.
    void Clear();

    size_t TrackCount() const { return m_tracks.size(); }
    std::int32_t Format() const { return m_format; }
    void SetFormat(std::int32_t format) { m_format = format; }
    // Ticks per quarter note, 1..0x7FFF (std::invalid_argument otherwise).
    std::int32_t Division() const { return m_division; }
    void SetDivision(std::int32_t division);

    CMidiTrack& Track(size_t index);
    const CMidiTrack& Track(size_t index) const;
    // Adds a track made for this song (std::invalid_argument for another song's track).
    CMidiTrack& AddTrack(std::unique_ptr<CMidiTrack> track);
    CMidiTrack& InsertTrack(size_t index, std::unique_ptr<CMidiTrack> track);

    // Where the messages of this song's tracks are made.
    CMessageArena& Messages() { return m_messages; }

    // Title "未命名", subtitle, texts, notice and .kar tag lines empty, info text the welcome line.
    void ResetText();

    // Moves every Set Tempo event of the song into track 0 (the first of several at one tick
    // counts) and collects the tempo references.
    void NormalizeTempo();
    // Puts a tempo (microseconds per quarter note, 1..0xFFFFFF; 0 does nothing) at the tick of the
    // track: rewrites a Set Tempo already there or inserts one after the entries at that tick.
    void SetTempo(std::int32_t tick, std::int32_t tempo, size_t trackIndex);
    void BuildTempoMap();
    double TicksToSeconds(std::int32_t tick) const { return m_tempoMap.TicksToSeconds(tick); }
    // The latest tick of an event in any track; 0 without events.
    std::int32_t LastTick() const;
    double LengthSeconds() const { return TicksToSeconds(LastTick()); }

    // Splits a single-track format-0 song into a track of meta and system exclusive events and one
    // track per channel with at least two events ("F0Track1" for channel 0 ...). Returns the new
    // track count, or 0 when the song is not single-track format 0.
    size_t ConvertFormat0();

    // Song text extraction: the notice, the names and the texts of a track (track 0 when loading).
    // In a .kar song (see BuildLyrics) the texts leave out the "@" tag lines and the lyric track's
    // syllables.
    void TakeNotice(const CMidiTrack& track);
    void TakeNames(const CMidiTrack& track);
    void TakeTexts(const CMidiTrack& track);
    // Rebuilds the lyric syllables of every track. Each lyric track's header takes at most 1,000
    // lines of the info text, fewer when the song has so many lyric tracks that their headers
    // together would pass 250,000 syllables.
    //
    // A song without lyric events whose text events follow the .kar convention (a track holds one
    // that starts with "@", "/" or "\\") keeps its lyrics in text events: the lyric track is the
    // track of such text events with the most that are not "@" tag lines, and those are its
    // syllables. The tag lines of every track go to the header: "@T" (title, artist) and "@I"
    // (information) lines as they are, "@L" followed by ": 语言", "@K" and "@V" by ": 版本", at
    // most 1,000 of them.
    void BuildLyrics();
    // Appends the header lines (title, credits, notice, the info text's lines up to the limit set by
    // BuildLyrics, the .kar tag lines, a final " ") to the track's syllables, trimming the song's
    // texts, and returns their number.
    std::int32_t ComposeHeader(CMidiTrack& track);
    // Chooses the track with the most syllables (or track 0 with its header) as the lyric track.
    void ChooseLyricTrack();
    // The track whose syllables and header lines the lyrics show draws; null without tracks. It
    // stays valid until the next Load or Clear.
    const CMidiTrack* LyricTrack() const { return m_lyricTrack; }
    // The channel of the sung melody, for the guide-melody switch; nothing for a song without sung
    // syllables. It is the channel of the lyric track's notes when they are all of one channel.
    // When that track holds several channels (format 0) or no notes (lyrics in a track of their
    // own), it is the channel whose note-ons, among that track's or else every track's, start with
    // the most syllables (within a 64th note; the lowest of equals), and nothing when none does.
    // The drums (channel 9) never count.
    std::optional<std::uint8_t> MelodyChannel() const;

    const std::u16string& Title() const { return m_title; }
    const std::u16string& Subtitle() const { return m_subtitle; }
    // The first and second text events of track 0, shown as the composer's and the lyricist's
    // credits (a .kar file keeps its own tags there).
    const std::u16string& Composer() const { return m_composer; }
    const std::u16string& Lyricist() const { return m_lyricist; }
    const std::u16string& Notice() const { return m_notice; }
    // The texts of a .kar file's @T lines in file order: the title, then, by custom, the singer.
    const std::vector<std::u16string>& KaraokeTitles() const { return m_karaokeTitles; }
    const std::u16string& InfoText() const { return m_infoText; }
    const std::vector<TempoReference>& TempoReferences() const { return m_tempoReferences; }
    const CTempoMap& TempoMap() const { return m_tempoMap; }
    // The code page of the song's texts: the one the last Load chose, at first the legacy one.
    const ICodePage& CodePage() const { return m_codePage; }

private:
    // How the song keeps its lyrics under the .kar convention: used when a track of its text
    // events follows it, lyricTrack null when no such track holds a syllable.
    struct KaraokeText {
        bool used = false;
        CMidiTrack* lyricTrack = nullptr;
    };

    KaraokeText FindKaraokeText() const;
    void TakeKaraokeTags(bool used);
    // Prepares what Read left, when it read a song.
    SongLoad Prepare(bool read, std::vector<MessageRequest> messages, const ITextEncodingDetector& detector);
    // Chooses the code page of the texts of the tracks as they were read.
    void ChooseCodePage(const ITextEncodingDetector& detector);
    void PostProcess();
    void CollectTempoReferences();
    void InsertPendingTempos();

    const ICodePage& m_legacyCodePage;
    std::reference_wrapper<const ICodePage> m_codePage; // of the song's texts
    const CMidiTrack* m_lyricTrack = nullptr; // chosen by ChooseLyricTrack; null without tracks
    CMessageArena m_messages;
    std::u16string m_title;
    std::u16string m_subtitle;
    std::u16string m_composer;
    std::u16string m_lyricist;
    std::u16string m_notice;
    std::u16string m_infoText;
    std::vector<std::u16string> m_karaokeTags; // header lines from the .kar tag lines
    std::vector<std::u16string> m_karaokeTitles;
    std::vector<TempoReference> m_tempoReferences;
    CTempoMap m_tempoMap;
    std::vector<std::unique_ptr<CMidiTrack>> m_tracks;
    std::int32_t m_division = 96;
    std::int32_t m_format = 1;
    size_t m_infoLineLimit = kMaximumHeaderInfoLines; // info text lines in a header, set by BuildLyrics
};

} // namespace linlangok
