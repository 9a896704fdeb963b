#pragma once

#include "tools/Commands.h"

namespace linlangok {

// linlangok-tool info FILE: the song as a load leaves it, as one JSON object on standard output,
// with the encoding its texts were read in.
inline constexpr const char* kInfoUsage = "info FILE [--encoding NAME]";
int RunMidiInfo(ToolContext& context);
// linlangok-tool lyrics FILE: the lyric track's syllables and the encoding they were read in, as
// JSON {encoding, syllables: [{tick, time, text}]}, with "line_break": true or "paragraph": true
// where a .kar song's "/" or "\\" stood.
inline constexpr const char* kLyricsUsage = "lyrics FILE [--encoding NAME]";
int RunMidiLyrics(ToolContext& context);
// linlangok-tool transpose IN OUT N: what Save-as does: load IN, transpose every track by N
// semitones (-127..127), write OUT.
int RunMidiTranspose(ToolContext& context);

} // namespace linlangok
