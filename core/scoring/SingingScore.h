#pragma once

#include "core/scoring/Melody.h"

#include <cmath>
#include <cstddef>
#include <deque>
#include <string>
#include <vector>

namespace linlangok {

enum class EDifficulty { Easy, Normal, Hard };

// How far from the note a sung pitch may be, in semitones, octaves aside: full credit within
// `full`, none from `none` on, falling in a straight line between.
struct PitchTolerance {
    double full = 0.5;
    double none = 1.5;
};
// 普通 ±0.5 / ±1.5; 简单 doubles both, 困难 halves them.
PitchTolerance ToleranceOf(EDifficulty difficulty);

// One pitch the singer sang: the song time it was sung for (song seconds, the input latency
// taken off) and the pitch as a MIDI note number, NaN where nothing was voiced.
struct SungPitch {
    double seconds = 0;
    float pitch = NAN;

    bool IsVoiced() const { return !std::isnan(pitch); }
};

// The credit of a sung pitch against a note's (0..1): octaves do not count against it.
double PitchCredit(double sung, double target, const PitchTolerance& tolerance);

// The word a line's score earns: 完美 from 90, 很好 from 75, 不错 from 50, else 加油.
std::u16string LineWord(int score);

struct LineScore {
    MelodyLine line;
    int score = 0; // 0..100
    std::u16string word;
};

// What a singer earned: the song's score 0..100 over the scored note time, the notes scored and
// those hit (half their time or more on pitch), each line with notes to score and its word.
struct SongScore {
    int score = 0;
    int notes = 0;
    int notesHit = 0;
    std::vector<LineScore> lines;
};

// Scores a singer against a reference melody, moment by moment: every 10 ms of a note earns the
// best credit of what was sung within 50 ms of it (so a consonant or a slightly early or late
// syllable costs nothing), golden notes twice, freestyle notes not at all, rap notes for any voiced
// sound. Sung pitches come in time order, as the singer sings or from a recording; a moment is
// judged once 50 ms past it has been heard. One thread.
class CSingingScorer {
public:
    static constexpr double kMomentSeconds = 0.010;
    static constexpr double kTimeSlackSeconds = 0.050;

    CSingingScorer(ReferenceMelody melody, EDifficulty difficulty);

    // Ignored when it is earlier than one added before.
    void Add(const SungPitch& sung);
    // Judges every moment left: what was not sung earns nothing. Nothing can be added after.
    void Finish();

    const ReferenceMelody& Melody() const { return m_melody; }
    EDifficulty Difficulty() const { return m_difficulty; }
    // The score over the moments judged so far, 0..100; 0 before any.
    int RunningScore() const;
    // The lines judged to their end so far, in song order.
    const std::vector<LineScore>& FinishedLines() const { return m_finishedLines; }
    // The whole song's score, its unjudged moments counted as not sung.
    SongScore Result() const;
    // Whether the pitch hits the note the melody has at its time (credit of a half or more);
    // false where no note is scored then.
    bool Hits(const SungPitch& sung) const;

private:
    struct NoteTally {
        double credit = 0;
        size_t moments = 0;
        size_t judged = 0;
    };

    static double Weight(ENoteKind kind);
    static size_t MomentCount(const MelodyNote& note);
    // Judges the moments of the notes up to `until` (song seconds) with the pitches held.
    void JudgeUntil(double until);
    // The song time of a note's moment: the middle of its share of the note.
    double MomentTime(size_t note, size_t moment) const;
    void DropBefore(double seconds);
    double MomentCredit(const MelodyNote& note, double moment) const;
    void CloseLines();
    LineScore ScoreLine(size_t line) const;

    ReferenceMelody m_melody;
    EDifficulty m_difficulty;
    PitchTolerance m_tolerance;
    std::vector<NoteTally> m_tallies;
    std::deque<SungPitch> m_recent; // within the slack of the next moment to judge
    double m_latest = -INFINITY;
    size_t m_note = 0; // the next note to judge
    size_t m_line = 0; // the next line to close
    std::vector<LineScore> m_finishedLines;
    bool m_finished = false;
};

} // namespace linlangok
