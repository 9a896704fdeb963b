#pragma once

#include "core/scoring/Melody.h"
#include "midi/MidiSong.h"

#include <optional>

namespace linlangok {

// The reference of a MIDI or .kar song as it plays, its tracks transposed as they are: the notes of
// its melody channel (CMidiSong::MelodyChannel) in song seconds, made monophonic, in lines that
// start at `lineStarts` (song seconds: the lyric lines as they are shown). Nothing when the song
// has no melody channel or that channel plays no note.
std::optional<ReferenceMelody> MidiReferenceMelody(const CMidiSong& song, std::vector<double> lineStarts);

} // namespace linlangok
