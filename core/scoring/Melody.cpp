#include "core/scoring/Melody.h"

#include <algorithm>
#include <cmath>

namespace linlangok {

std::string_view MelodySourceName(EMelodySource source)
{
    switch (source) {
    case EMelodySource::Midi:
        return "midi";
    case EMelodySource::UltraStar:
        return "ultrastar";
    case EMelodySource::Video:
        return "video";
    }
    return "midi";
}

std::vector<MelodyNote> MonophonicNotes(std::vector<MelodyNote> notes)
{
    std::erase_if(notes, [](const MelodyNote& note) { return !(note.end > note.start); });
    std::sort(notes.begin(), notes.end(), [](const MelodyNote& left, const MelodyNote& right) {
        return left.start != right.start ? left.start < right.start : left.pitch > right.pitch;
    });
    std::vector<MelodyNote> kept;
    kept.reserve(notes.size());
    for (const MelodyNote& note : notes) {
        if (!kept.empty() && kept.back().start == note.start)
            continue;
        if (!kept.empty() && kept.back().end > note.start)
            kept.back().end = note.start;
        kept.push_back(note);
    }
    return kept;
}

std::vector<MelodyLine> MelodyLines(const std::vector<MelodyNote>& notes, std::vector<double> lineStarts)
{
    std::sort(lineStarts.begin(), lineStarts.end());
    std::vector<MelodyLine> lines;
    auto nextStart = lineStarts.begin();
    double previousEnd = 0;
    for (const MelodyNote& note : notes) {
        bool breaks = lines.empty();
        if (lineStarts.empty()) {
            breaks = breaks || note.start - previousEnd >= kLineBreakRestSeconds;
        } else {
            // A note starting a hair before its syllable (rounding in the file) still opens its line.
            constexpr double kSyllableSlack = 0.01;
            while (nextStart != lineStarts.end() && *nextStart <= note.start + kSyllableSlack) {
                ++nextStart;
                breaks = true;
            }
        }
        if (breaks)
            lines.push_back({note.start, note.end});
        lines.back().end = std::max(lines.back().end, note.end);
        previousEnd = note.end;
    }
    return lines;
}

ReferenceMelody TransposedMelody(ReferenceMelody melody, double semitones)
{
    for (MelodyNote& note : melody.notes)
        note.pitch += semitones;
    return melody;
}

ReferenceMelody MelodyFrom(ReferenceMelody melody, double seconds)
{
    std::erase_if(melody.notes, [seconds](const MelodyNote& note) { return note.start < seconds; });
    const double first = melody.notes.empty() ? INFINITY : melody.notes.front().start;
    std::erase_if(melody.lines, [first](const MelodyLine& line) { return line.end <= first; });
    return melody;
}

} // namespace linlangok
