#pragma once

#include "core/scoring/Melody.h"
#include "core/scoring/PitchTracker.h"

#include <cstddef>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

// The reference melody of a KTV video derived from its two sounds: the vocal is what the original
// (原唱) has and the backing (伴唱) lacks. The backing is aligned to the original by
// cross-correlation, scaled by its least-squares gain and subtracted; the difference's pitch is
// tracked and turned into notes.
namespace linlangok {

// What a derivation found: a melody, or why the song cannot be scored from its video.
enum class EVocalMelodyVerdict {
    Melody,
    NotSameMix, // the backing does not cancel out of the original: the difference is not mostly voice
    NoVoice, // the difference holds (almost) no sung notes: the two are the same, or the original has no voice
    Unreadable, // the video's sound could not be decoded (never kept: the file may be mended)
};

// The user-facing reason a song cannot be scored ("原唱与伴唱不是同一混音，本歌曲无法评分" …);
// empty for Melody.
std::u16string VocalMelodyVerdictText(EVocalMelodyVerdict verdict);

struct VocalMelodyResult {
    EVocalMelodyVerdict verdict = EVocalMelodyVerdict::NoVoice;
    ReferenceMelody melody {EMelodySource::Video, {}, {}}; // notes only for Melody

    bool operator==(const VocalMelodyResult& other) const
    {
        return verdict == other.verdict && melody.source == other.melody.source && melody.notes == other.melody.notes
            && melody.lines == other.melody.lines;
    }
};

// How the backing sits in the original: original[n] ≈ gain × backing[n − lag].
struct BackingAlignment {
    std::ptrdiff_t lagFrames = 0;
    double gain = 0;
};

// The backing may be offset from the original by up to this, either way.
inline constexpr double kMaximumBackingLagSeconds = 1.5;
// The original and the backing are one mix when they correlate at least this well (the voice
// then holds at most about ten times the backing's power), or when enough of the backing cancels.
inline constexpr double kSameMixCorrelation = 0.3;
// Notes shorter than this are left out.
inline constexpr double kMinimumVocalNoteSeconds = 0.1;
// A new note starts where the pitch leaves the note's recent pitch by more than this.
inline constexpr double kNoteJumpSemitones = 0.6;
// Fewer notes than this: the verdict is NoVoice.
inline constexpr size_t kMinimumVocalNotes = 8;
// Of the stretches of kCancellationBlockSeconds where the backing sounds, at least
// kCancelledShare must keep less than kMaximumLeftoverDb of the backing's level after the
// subtraction (the stretches where nobody sings), or the verdict is NotSameMix. Lossy sound
// (MP2, AAC at 192 kbit/s) leaves about −9 dB of a backing of hi-hats alone, lossless −18 dB;
// two unrelated mixes leave +20 dB.
inline constexpr double kCancellationBlockSeconds = 0.2;
inline constexpr double kCancelledShare = 0.1;
inline constexpr double kMaximumLeftoverDb = -6;

// The lag (within ±kMaximumBackingLagSeconds) and gain that best explain the original by the
// backing: the lag from the cross-correlation of the two decimated, refined at full rate on
// excerpts; the gain by least squares over their overlap. Nothing when stopped. Any thread.
std::optional<BackingAlignment> AlignBacking(
    std::span<const float> original, std::span<const float> backing, int sampleRate, std::stop_token stop);

// Notes of at least kMinimumVocalNoteSeconds from a voice's pitch track: the track smoothed by a
// median over five hops, a note ended by an unvoiced stretch of more than two hops or split where
// the pitch jumps by kNoteJumpSemitones, each note's pitch the median of its hops. Sorted, not
// overlapping; `hopSeconds` is the tracker's hop.
std::vector<MelodyNote> VocalNotes(const std::vector<PitchFrame>& frames, double hopSeconds);

// The melody of a video's sound: `original` and `backing` are mono (-1..1) at `sampleRate`
// from the file's start. The original is taken over and becomes the difference, so that no
// further copy of the song is held. Nothing when `stop` was requested. Raises std::runtime_error
// when `makeTracker` cannot make a tracker. Any thread; one call per thread.
std::optional<VocalMelodyResult> DeriveVocalMelody(std::vector<float> original, std::span<const float> backing,
    int sampleRate, const PitchTrackerFactory& makeTracker, std::stop_token stop);

} // namespace linlangok
