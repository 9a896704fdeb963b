// loudness FILE, and the leveling gain of the renders: a song's loudness as the session measures it.

#include "common/JsonWriter.h"
#include "common/Text.h"
#include "core/session/VocalLayout.h"
#include "platform/loudness/SongLoudnessAnalyser.h"
#include "platform/mp3g/Mp3gSongFiles.h"
#include "platform/video/FfmpegVideoSongs.h"
#include "tools/Commands.h"

#include <algorithm>
#include <iostream>

namespace linlangok {
namespace {

std::optional<LoudnessMeasure> MeasureSong(ToolContext& context, const std::filesystem::path& song, ESongKind kind)
{
    CFfmpegVideoSongs videoSongs;
    CSongLoudnessAnalyser analyser(MeasuredSoundOpener(OpenSongAudio, &videoSongs, context.codePage), context.codePage);
    return analyser.Analyse(song, kind, {});
}

} // namespace

bool TakeSwitch(std::vector<std::string>& arguments, std::string_view name)
{
    const auto kept = std::remove(arguments.begin(), arguments.end(), name);
    const bool found = kept != arguments.end();
    arguments.erase(kept, arguments.end());
    return found;
}

double MeasuredLevelingGainDb(ToolContext& context, const std::filesystem::path& song, ESongKind kind)
{
    return SongLevelingGainDb(kind, MeasureSong(context, song, kind));
}

int RunLoudnessCommand(ToolContext& context)
{
    if (context.arguments.size() != 1)
        return UsageError(kLoudnessUsage);
    const std::string& file = context.arguments[0];
    const ESongKind kind = DetectSongKind(Utf8ToUtf16(file));
    const std::optional<LoudnessMeasure> measure = MeasureSong(context, file, kind);
    if (!measure) {
        std::cerr << file << ": no loudness: the song cannot be played or is silent\n";
        return 1;
    }
    CJsonWriter(std::cout)
        .BeginObject()
        .Key("integrated_lufs")
        .Value(measure->integratedLufs, 2)
        .Key("true_peak_dbtp")
        .Value(measure->truePeakDbtp, 2)
        .Key("gain_db")
        .Value(SongLevelingGainDb(kind, measure), 2)
        .EndObject();
    std::cout << '\n';
    return 0;
}

} // namespace linlangok
