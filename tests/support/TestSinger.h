#pragma once

#include "core/scoring/Melody.h"

#include <cstdint>
#include <vector>

namespace linlangok {

// How the synthetic singer sings.
struct SingerVoice {
    int sampleRate = 44100;
    double semitones = 0; // added to every note: -12 sings an octave down
    double flatEveryOther = 0; // taken off every second note (the second, the fourth ...)
    double vibratoCents = 30; // ± at vibratoHz
    double vibratoHz = 5.5;
    double jitter = 0.01; // each glottal period's length varies by up to this share
    double breath = 0.03; // noise beside the voice, as a share of its level
    double consonantSeconds = 0.04; // each syllable starts with a fricative this long
    std::uint32_t seed = 1;
};

// What the singer sang: the mono voice and, for every sample, the pitch it was voicing (MIDI
// note number, vibrato included) or NaN where it was not.
struct SungVoice {
    std::vector<float> samples;
    std::vector<float> truePitch;
};

// A tune for the singer: `notes` notes between MIDI 57 and 76 of 0.25 to 0.8 s, in lines of eight
// with a rest of 1.2 s after each, the first at 1 s. The same for the same seed.
std::vector<MelodyNote> TestTune(int notes, std::uint32_t seed = 7);

// A backing under the tune: a bass a fifth below each note and a chord above it (harmonic tones),
// and a hi-hat of noise on every quarter of a second, at RMS `level`.
std::vector<float> TestBacking(const std::vector<MelodyNote>& tune, int sampleRate, double seconds, double level);

// Whether a derived note stands for a true one: it starts within 60 ms and lies within 50 cents.
bool NoteMatches(const MelodyNote& truth, const MelodyNote& derived);
// How many of the true notes a derived note stands for.
size_t NotesFound(const std::vector<MelodyNote>& truth, const std::vector<MelodyNote>& derived);

// A source-filter singer: a glottal pulse train (Rosenberg pulses, jittered) through the formants
// of a vowel that changes with each syllable, under an envelope, each syllable led by a noise
// fricative; breath noise throughout. Sings every note of `melody` from its start, for
// `seconds` in all.
SungVoice Sing(const std::vector<MelodyNote>& melody, const SingerVoice& voice, double seconds);

} // namespace linlangok
