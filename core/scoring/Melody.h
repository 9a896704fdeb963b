#pragma once

#include <string_view>
#include <vector>

// What a song is sung against: its notes in song time and the lines they are sung in.
namespace linlangok {

// How a note is scored: golden notes count twice, freestyle notes not at all, rap notes take any
// voiced sound (golden rap: twice).
enum class ENoteKind { Normal, Golden, Freestyle, Rap, GoldenRap };

// One note of the melody: seconds of song time (what they are at 100 % tempo) and the pitch as a
// MIDI note number (60 = middle C), with a fraction where the melody was derived from a voice.
struct MelodyNote {
    double start = 0;
    double end = 0;
    double pitch = 0;
    ENoteKind kind = ENoteKind::Normal;

    bool operator==(const MelodyNote&) const = default;
};

// One lyric line's time, in song seconds: the notes that start in it are its notes.
struct MelodyLine {
    double start = 0;
    double end = 0;

    bool operator==(const MelodyLine&) const = default;
};

// Where a reference came from: the tool prints it as "midi", "ultrastar" or "video".
enum class EMelodySource { Midi, UltraStar, Video };
std::string_view MelodySourceName(EMelodySource source);

// A song's reference melody: notes sorted by start, not overlapping, and the lines, sorted and not
// overlapping, that cover every note's start.
struct ReferenceMelody {
    EMelodySource source = EMelodySource::Midi;
    std::vector<MelodyNote> notes;
    std::vector<MelodyLine> lines;
};

// A rest this long or longer between two notes starts a new line where the song has no lyric
// lines of its own.
inline constexpr double kLineBreakRestSeconds = 1.0;

// The notes made monophonic: sorted by start, empty and reversed notes left out, a note cut where
// the next one starts (of two at once the higher is kept).
std::vector<MelodyNote> MonophonicNotes(std::vector<MelodyNote> notes);
// Lines that start at each of `lineStarts` (song seconds, any order) that a note starts in or
// after, each ending where its last note ends; the notes before the first start form a line of
// their own. Without starts, lines break at every rest of kLineBreakRestSeconds.
std::vector<MelodyLine> MelodyLines(const std::vector<MelodyNote>& notes, std::vector<double> lineStarts = {});

// The melody a key change of `semitones` makes of it.
ReferenceMelody TransposedMelody(ReferenceMelody melody, double semitones);
// What is left to sing from `seconds` on: the notes that start then or later, and their lines.
ReferenceMelody MelodyFrom(ReferenceMelody melody, double seconds);

} // namespace linlangok
