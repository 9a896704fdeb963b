#pragma once

#include "core/scoring/Melody.h"
#include "midi/MidiSong.h"

#include <optional>

namespace linlangok {

// The reference of a MIDI or .kar song as it plays, its tracks transposed as they are: the notes of
// its melody channel (CMidiSong::MelodyChannel) in song seconds, made monophonic, and the lines of
// its lyric track (the syllables after the header that start a line). Nothing when the song has no
// melody channel or that channel plays no note.
std::optional<ReferenceMelody> MidiReferenceMelody(const CMidiSong& song);

} // namespace linlangok
