#include "tools/MidiCommands.h"

#include "common/CodePage.h"
#include "common/JsonWriter.h"
#include "common/Text.h"
#include "midi/MidiFileWriter.h"
#include "midi/MidiSong.h"

#include <algorithm>
#include <iostream>

namespace linlangok {

CToolSong::CToolSong(const ToolContext& context)
    : m_textEncoding(context.textEncodings, m_encodingOverride)
    , m_prompts(context.prompts)
    , m_song(context.codePage)
{
}

int CToolSong::LoadArgument(ToolContext& context, const char* usage)
{
    const std::optional<std::string> encoding = TakeEncodingOption(context, usage);
    if (!encoding)
        return 2;
    m_encodingOverride = *encoding;
    if (context.arguments.size() != 1)
        return UsageError(usage);
    return Load(context.arguments[0]) ? 0 : 1;
}

bool CToolSong::Load(const std::string& path)
{
    const SongLoad load = m_song.Load(std::filesystem::path(path), m_textEncoding);
    m_prompts.ShowMessages(load.messages);
    return load.loaded;
}

namespace {

// The name a track goes by: the one SetName gave it, else its first track-name event.
std::u16string TrackName(const CMidiTrack& track)
{
    if (!track.Name().empty())
        return track.Name();
    for (const TrackEntry& entry : track.Entries()) {
        if (IsMetaOfType(entry.message, kMetaTrackName))
            return AsMetaMessage(entry.message)->TrackNameText(track.Owner().CodePage());
    }
    return {};
}

} // namespace

namespace {

bool NamesUltraStarSong(const ToolContext& context)
{
    return std::any_of(context.arguments.begin(), context.arguments.end(),
        [](const std::string& argument) { return IsUltraStarFileName(Utf8ToUtf16(argument)); });
}

} // namespace

int RunMidiInfo(ToolContext& context)
{
    if (NamesUltraStarSong(context))
        return RunUltraStarInfo(context);
    CToolSong loaded(context);
    if (const int failure = loaded.LoadArgument(context, kInfoUsage))
        return failure;
    CMidiSong& song = loaded.Song();
    int lyricTrack = -1;
    for (size_t index = 0; index < song.TrackCount(); ++index) {
        if (&song.Track(index) == loaded.LyricTrack())
            lyricTrack = static_cast<int>(index);
    }
    CJsonWriter json(std::cout);
    json.BeginObject();
    json.Key("encoding").Value(song.CodePage().Name());
    json.Key("format").Value(song.Format());
    json.Key("division").Value(song.Division());
    json.Key("title").Value(std::u16string_view(song.Title()));
    json.Key("subtitle").Value(std::u16string_view(song.Subtitle()));
    // "text1" and "text2" are the keys scripts have read since the first releases.
    json.Key("text1").Value(std::u16string_view(song.Composer()));
    json.Key("text2").Value(std::u16string_view(song.Lyricist()));
    json.Key("notice").Value(std::u16string_view(song.Notice()));
    json.Key("info").Value(std::u16string_view(song.InfoText()));
    json.Key("last_tick").Value(song.LastTick());
    json.Key("length_seconds").Value(song.LengthSeconds());
    json.Key("lyric_track").Value(lyricTrack);
    json.Key("tempo_map").BeginArray();
    for (const TempoSegment& segment : song.TempoMap().Segments()) {
        json.BeginObject();
        json.Key("tick").Value(segment.tick);
        json.Key("tempo").Value(segment.tempo);
        json.Key("start").Value(double(segment.start));
        json.EndObject();
    }
    json.EndArray();
    json.Key("tracks").BeginArray();
    for (size_t index = 0; index < song.TrackCount(); ++index) {
        CMidiTrack& track = song.Track(index);
        json.BeginObject();
        json.Key("name").Value(std::u16string_view(TrackName(track)));
        json.Key("entries").Value(static_cast<long long>(track.Count()));
        json.Key("channel").Value(track.Channel());
        json.Key("syllables").Value(static_cast<long long>(track.Syllables().size()));
        json.Key("header_lines").Value(track.HeaderLines());
        json.Key("conductor").Value(track.IsConductorOnly());
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();
    std::cout << '\n';
    return 0;
}

int RunMidiLyrics(ToolContext& context)
{
    if (NamesUltraStarSong(context))
        return RunUltraStarLyrics(context);
    CToolSong loaded(context);
    if (const int failure = loaded.LoadArgument(context, kLyricsUsage))
        return failure;
    CJsonWriter json(std::cout);
    json.BeginObject();
    json.Key("encoding").Value(loaded.Song().CodePage().Name());
    json.Key("syllables").BeginArray();
    if (const CMidiTrack* track = loaded.LyricTrack()) {
        for (const LyricSyllable& syllable : track->Syllables()) {
            json.BeginObject();
            json.Key("tick").Value(syllable.tick);
            json.Key("time").Value(double(syllable.time));
            json.Key("text").Value(std::u16string_view(syllable.text));
            if (syllable.breakBefore == ELyricBreak::Line)
                json.Key("line_break").Value(true);
            else if (syllable.breakBefore == ELyricBreak::Paragraph)
                json.Key("paragraph").Value(true);
            json.EndObject();
        }
    }
    json.EndArray();
    json.EndObject();
    std::cout << '\n';
    return 0;
}

int RunMidiTranspose(ToolContext& context)
{
    constexpr const char* kUsage = "transpose IN OUT N (N: semitones, -127..127)";
    if (context.arguments.size() != 3)
        return UsageError(kUsage);
    const std::optional<int> semitones = ParseArgument(context.arguments[2], -127, 127);
    if (!semitones)
        return UsageError(kUsage);
    CToolSong loaded(context);
    if (!loaded.Load(context.arguments[0]))
        return 1;
    CMidiSong& song = loaded.Song();
    for (size_t index = 0; index < song.TrackCount(); ++index)
        song.Track(index).Transpose(*semitones);
    CMidiFileWriter writer(song, context.prompts);
    return writer.Write(std::filesystem::path(context.arguments[1]), ApplicationTitle()) ? 0 : 1;
}

} // namespace linlangok
