#include "common/JsonWriter.h"
#include "core/lyrics/UltraStarSong.h"
#include "tools/MidiCommands.h"

#include <iostream>

namespace linlangok {

namespace {

// The song of the command's FILE argument, read as the session reads it, or the exit code.
struct LoadedUltraStar {
    std::optional<UltraStarSong> song;
    int failure = 0;
};

LoadedUltraStar LoadUltraStarArgument(ToolContext& context, const char* usage)
{
    const std::optional<std::string> encoding = TakeEncodingOption(context, usage);
    if (!encoding)
        return {std::nullopt, 2};
    if (context.arguments.size() != 1)
        return {std::nullopt, UsageError(usage)};
    const CEncodingOverride textEncoding(context.textEncodings, *encoding);
    UltraStarRead read = ReadUltraStarFile(context.arguments[0], textEncoding, context.codePage);
    if (!read.song) {
        context.prompts.ShowError(CaptionError(), read.error);
        return {std::nullopt, 1};
    }
    return {std::move(read.song), 0};
}

std::string_view NoteKindName(ENoteKind kind)
{
    switch (kind) {
    case ENoteKind::Normal:
        return "normal";
    case ENoteKind::Golden:
        return "golden";
    case ENoteKind::Freestyle:
        return "freestyle";
    case ENoteKind::Rap:
        return "rap";
    case ENoteKind::GoldenRap:
        break;
    }
    return "golden_rap";
}

} // namespace

int RunUltraStarInfo(ToolContext& context)
{
    const LoadedUltraStar loaded = LoadUltraStarArgument(context, kInfoUsage);
    if (!loaded.song)
        return loaded.failure;
    const UltraStarSong& song = *loaded.song;
    CJsonWriter json(std::cout);
    json.BeginObject();
    json.Key("version").Value(song.version);
    json.Key("encoding").Value(song.encoding);
    json.Key("title").Value(std::u16string_view(song.title));
    json.Key("artist").Value(std::u16string_view(song.artist));
    json.Key("headers").BeginObject();
    for (const auto& [key, value] : song.headers)
        json.Key(key).Value(std::u16string_view(value));
    json.EndObject();
    json.Key("relative").Value(song.relative);
    json.Key("voices").Value(song.voices);
    json.Key("notes").Value(static_cast<long long>(song.notes.size()));
    json.Key("lines").Value(static_cast<long long>(song.lines.size()));
    json.Key("length_seconds").Value(song.LengthSeconds());
    json.Key("warnings").BeginArray();
    for (const std::u16string& warning : song.warnings)
        json.Value(std::u16string_view(warning));
    json.EndArray();
    json.EndObject();
    std::cout << '\n';
    return 0;
}

int RunUltraStarLyrics(ToolContext& context)
{
    const LoadedUltraStar loaded = LoadUltraStarArgument(context, kLyricsUsage);
    if (!loaded.song)
        return loaded.failure;
    const UltraStarSong& song = *loaded.song;
    CJsonWriter json(std::cout);
    json.BeginObject();
    json.Key("encoding").Value(song.encoding);
    json.Key("syllables").BeginArray();
    for (const UltraStarLine& line : song.lines) {
        for (size_t index = line.firstNote; index < line.firstNote + line.noteCount; ++index) {
            const UltraStarNote& note = song.notes[index];
            json.BeginObject();
            json.Key("time").Value(note.start, 3);
            json.Key("end").Value(note.end, 3);
            json.Key("text").Value(std::u16string_view(note.text));
            json.Key("pitch").Value(note.pitch);
            json.Key("type").Value(NoteKindName(note.kind));
            json.Key("voice").Value(note.voice + 1);
            json.Key("line_break").Value(index == line.firstNote && &line != &song.lines.front());
            json.EndObject();
        }
    }
    json.EndArray();
    json.EndObject();
    std::cout << '\n';
    return 0;
}

} // namespace linlangok
