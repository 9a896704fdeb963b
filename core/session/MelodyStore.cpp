#include "core/session/MelodyStore.h"

#include "common/FileSaver.h"
#include "common/Number.h"
#include "common/RegularFile.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

namespace linlangok {
namespace {

constexpr std::string_view kHeader = "linlangok-melody 1";
constexpr double kLatestSeconds = 86400;

struct VerdictName {
    EVocalMelodyVerdict verdict;
    std::string_view name;
};
constexpr VerdictName kVerdictNames[] = {
    {EVocalMelodyVerdict::Melody, "melody"},
    {EVocalMelodyVerdict::NotSameMix, "not-same-mix"},
    {EVocalMelodyVerdict::NoVoice, "no-voice"},
};

void AppendFixed(std::string& text, double value, int decimals)
{
    char digits[32];
    const auto written = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
    text.append(digits, written.ptr);
}

// The text after `key` and one space on the line; nothing for another key.
std::optional<std::string_view> Value(std::string_view line, std::string_view key)
{
    if (line.size() <= key.size() || !line.starts_with(key) || line[key.size()] != ' ')
        return std::nullopt;
    return line.substr(key.size() + 1);
}

std::optional<MelodyNote> ParseNote(std::string_view values)
{
    double numbers[3];
    for (double& number : numbers) {
        const size_t space = values.find(' ');
        const std::optional<double> parsed = ParseNumber<double>(values.substr(0, space));
        if (!parsed || !std::isfinite(*parsed))
            return std::nullopt;
        number = *parsed;
        values = space == std::string_view::npos ? std::string_view() : values.substr(space + 1);
    }
    const MelodyNote note {numbers[0], numbers[1], numbers[2]};
    if (!values.empty() || note.start < 0 || !(note.end > note.start) || note.end > kLatestSeconds || note.pitch < 0
        || note.pitch > 127)
        return std::nullopt;
    return note;
}

} // namespace

std::string SerializeKeptMelody(const KeptMelody& kept)
{
    std::string text(kHeader);
    text += "\nlayout " + VocalLayoutText(kept.layout) + "\nverdict ";
    for (const VerdictName& name : kVerdictNames)
        if (name.verdict == kept.result.verdict)
            text += name.name;
    text += '\n';
    for (const MelodyNote& note : kept.result.melody.notes) {
        text += "note ";
        AppendFixed(text, note.start, 3);
        text += ' ';
        AppendFixed(text, note.end, 3);
        text += ' ';
        AppendFixed(text, note.pitch, 2);
        text += '\n';
    }
    return text;
}

std::optional<KeptMelody> ParseKeptMelody(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        if (end == std::string_view::npos)
            return std::nullopt; // cut off
        lines.push_back(text.substr(0, end));
        text.remove_prefix(end + 1);
        if (lines.size() > kMaximumMelodyNotes + 3)
            return std::nullopt;
    }
    if (lines.size() < 3 || lines[0] != kHeader)
        return std::nullopt;
    const std::optional<std::string_view> layoutText = Value(lines[1], "layout");
    const std::optional<VocalLayout> layout = layoutText ? ParseVocalLayout(*layoutText) : std::nullopt;
    const std::optional<std::string_view> verdictText = Value(lines[2], "verdict");
    if (!layout || !verdictText)
        return std::nullopt;
    KeptMelody kept {*layout, {}};
    const auto verdict = std::find_if(std::begin(kVerdictNames), std::end(kVerdictNames),
        [&](const VerdictName& name) { return name.name == *verdictText; });
    if (verdict == std::end(kVerdictNames))
        return std::nullopt;
    kept.result.verdict = verdict->verdict;
    std::vector<MelodyNote>& notes = kept.result.melody.notes;
    notes.reserve(lines.size() - 3);
    for (size_t index = 3; index < lines.size(); ++index) {
        const std::optional<std::string_view> values = Value(lines[index], "note");
        const std::optional<MelodyNote> note = values ? ParseNote(*values) : std::nullopt;
        if (!note || (!notes.empty() && note->start < notes.back().end))
            return std::nullopt;
        notes.push_back(*note);
    }
    const bool melody = kept.result.verdict == EVocalMelodyVerdict::Melody;
    if (melody != (notes.size() >= kMinimumVocalNotes) || (!melody && !notes.empty()))
        return std::nullopt;
    kept.result.melody.lines = MelodyLines(notes);
    return kept;
}

CMelodyStore::CMelodyStore(std::filesystem::path folder)
    : m_folder(std::move(folder))
{
}

std::filesystem::path CMelodyStore::FileOf(const SongIdentity& song) const
{
    char name[48];
    std::snprintf(name, sizeof name, "%llu-%016llx.txt", static_cast<unsigned long long>(song.size),
        static_cast<unsigned long long>(song.hash));
    return m_folder / name;
}

std::optional<KeptMelody> CMelodyStore::Recall(const SongIdentity& song) const
{
    const FileContent content = ReadRegularFile(FileOf(song), kMaximumMelodyFileBytes);
    if (content.result != EFileRead::Done)
        return std::nullopt;
    return ParseKeptMelody(content.bytes);
}

bool CMelodyStore::Keep(const SongIdentity& song, const KeptMelody& kept) const
{
    if (kept.result.verdict == EVocalMelodyVerdict::Unreadable)
        return false;
    std::error_code error;
    std::filesystem::create_directories(m_folder, error);
    return !error && SaveFile(FileOf(song), SerializeKeptMelody(kept));
}

} // namespace linlangok
