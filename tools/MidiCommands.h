#pragma once

#include "tools/Commands.h"

namespace linlangok {

// linlangok-tool info FILE: the song as a load leaves it, as one JSON object on standard output.
int RunMidiInfo(ToolContext& context);
// linlangok-tool lyrics FILE: the lyric track's syllables as a JSON list of {tick, time, text},
// with "line_break": true or "paragraph": true where a .kar song's "/" or "\\" stood.
int RunMidiLyrics(ToolContext& context);
// linlangok-tool transpose IN OUT N: what Save-as does: load IN, transpose every track by N
// semitones (-127..127), write OUT.
int RunMidiTranspose(ToolContext& context);

} // namespace linlangok
