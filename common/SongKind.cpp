#include "common/SongKind.h"

#include <algorithm>
#include <array>

namespace linlangok {

namespace {

struct SongFileType {
    std::string_view extension; // lower case
    ESongKind kind;
    bool video;
    std::string_view format; // in the catalogue
};

constexpr std::array<SongFileType, 19> kSongFileTypes {{
    {"mid", ESongKind::Midi, false, "mid"},
    {"midi", ESongKind::Midi, false, "mid"},
    {"jp", ESongKind::Midi, false, "mid"},
    {"kar", ESongKind::Midi, false, "kar"},
    {"wav", ESongKind::Audio, false, "wav"},
    {"mp3", ESongKind::Audio, false, "mp3"},
    {"ogg", ESongKind::Audio, false, "ogg"},
    {"flac", ESongKind::Audio, false, "flac"},
    {"zip", ESongKind::Audio, false, "zip"},
    {"mpg", ESongKind::Audio, true, "mpg"},
    {"mpeg", ESongKind::Audio, true, "mpeg"},
    {"vob", ESongKind::Audio, true, "vob"},
    {"dat", ESongKind::Audio, true, "dat"},
    {"mkv", ESongKind::Audio, true, "mkv"},
    {"mp4", ESongKind::Audio, true, "mp4"},
    {"avi", ESongKind::Audio, true, "avi"},
    {"webm", ESongKind::Audio, true, "webm"},
    {"ts", ESongKind::Audio, true, "ts"},
    {"m2ts", ESongKind::Audio, true, "m2ts"},
}};

const SongFileType* FindSongFileType(std::u16string_view path)
{
    const size_t dot = path.rfind(u'.');
    const std::u16string_view extension = dot == std::u16string_view::npos ? path : path.substr(dot + 1);
    const auto found
        = std::find_if(kSongFileTypes.begin(), kSongFileTypes.end(), [extension](const SongFileType& type) {
              return std::equal(extension.begin(), extension.end(), type.extension.begin(), type.extension.end(),
                  [](char16_t character, char lower) {
                      return (character >= u'A' && character <= u'Z' ? character - u'A' + u'a' : character) == lower;
                  });
          });
    return found == kSongFileTypes.end() ? nullptr : &*found;
}

std::u16string JoinPatterns(char16_t separator, bool videoOnly)
{
    std::u16string patterns;
    for (const SongFileType& type : kSongFileTypes) {
        if (videoOnly && !type.video)
            continue;
        if (!patterns.empty())
            patterns += separator;
        patterns += u"*.";
        patterns.append(type.extension.begin(), type.extension.end());
    }
    return patterns;
}

} // namespace

ESongKind DetectSongKind(std::u16string_view path)
{
    const SongFileType* type = FindSongFileType(path);
    return type ? type->kind : ESongKind::Audio;
}

bool IsVideoFileName(std::u16string_view path)
{
    const SongFileType* type = FindSongFileType(path);
    return type && type->video;
}

bool IsSongFileName(std::u16string_view path)
{
    return FindSongFileType(path) != nullptr;
}

std::optional<std::string> SongFileFormat(std::u16string_view path)
{
    const SongFileType* type = FindSongFileType(path);
    return type ? std::optional<std::string>(type->format) : std::nullopt;
}

std::u16string SongFilePatterns(char16_t separator)
{
    return JoinPatterns(separator, false);
}

std::u16string VideoFilePatterns(char16_t separator)
{
    return JoinPatterns(separator, true);
}

} // namespace linlangok
