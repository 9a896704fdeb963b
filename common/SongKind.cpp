#include "common/SongKind.h"

#include "common/FilePath.h"
#include "common/RegularFile.h"
#include "common/Text.h"

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

constexpr std::array<SongFileType, 20> kSongFileTypes {{
    {"mid", ESongKind::Midi, false, "mid"},
    {"midi", ESongKind::Midi, false, "mid"},
    {"jp", ESongKind::Midi, false, "mid"},
    {"kar", ESongKind::Midi, false, "kar"},
    {"wav", ESongKind::Audio, false, "wav"},
    {"mp3", ESongKind::Audio, false, "mp3"},
    {"ogg", ESongKind::Audio, false, "ogg"},
    {"flac", ESongKind::Audio, false, "flac"},
    {"zip", ESongKind::Audio, false, "zip"},
    {"txt", ESongKind::Audio, false, "txt"},
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

bool IsUltraStarFileName(std::u16string_view path)
{
    const SongFileType* type = FindSongFileType(path);
    return type && type->extension == "txt";
}

bool IsSongFileName(std::u16string_view path)
{
    return FindSongFileType(path) != nullptr;
}

namespace {

// Calls onHeader(key in upper case, value) for each of the first non-empty lines (after a UTF-8
// byte-order mark) while they are "#KEY:VALUE" headers; whether one of them was #TITLE, #BPM or
// #VERSION.
template <typename OnHeader> bool ReadUltraStarHeaders(std::string_view firstBytes, OnHeader onHeader)
{
    std::string_view bytes = firstBytes.substr(0, kUltraStarProbeBytes);
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    bool song = false;
    while (!bytes.empty()) {
        const size_t end = std::min(bytes.find_first_of("\r\n"), bytes.size());
        const std::string_view line = Trimmed(bytes.substr(0, end), " \t");
        bytes.remove_prefix(std::min(end + 1, bytes.size()));
        if (line.empty())
            continue;
        const size_t colon = line.find(':');
        if (line.front() != '#' || colon == std::string_view::npos)
            break;
        std::string key(Trimmed(line.substr(1, colon - 1), " \t"));
        for (char& character : key)
            character = character >= 'a' && character <= 'z' ? char(character - 'a' + 'A') : character;
        song = song || key == "TITLE" || key == "BPM" || key == "VERSION";
        onHeader(key, Trimmed(line.substr(colon + 1), " \t"));
    }
    return song;
}

// The first kUltraStarProbeBytes of a regular file; empty when it cannot be read.
std::string ReadHead(const std::filesystem::path& path)
{
    const CRegularFile file(path, UINT64_MAX);
    std::string head(static_cast<size_t>(std::min<std::uint64_t>(file.Size(), kUltraStarProbeBytes)), '\0');
    return file.IsOpen() && file.ReadAt(0, head.data(), head.size()) ? head : std::string();
}

} // namespace

bool LooksLikeUltraStarSong(std::string_view firstBytes)
{
    return ReadUltraStarHeaders(firstBytes, [](const std::string&, std::string_view) {});
}

bool IsSongFile(const std::filesystem::path& path)
{
    if (!IsSongFileName(PathToUtf16(path)))
        return false;
    return !IsUltraStarFileName(PathToUtf16(path)) || LooksLikeUltraStarSong(ReadHead(path));
}

std::vector<std::filesystem::path> UltraStarMediaFiles(const std::filesystem::path& song)
{
    std::vector<std::filesystem::path> files;
    if (!IsUltraStarFileName(PathToUtf16(song)))
        return files;
    const bool isSong = ReadUltraStarHeaders(ReadHead(song), [&](const std::string& key, std::string_view value) {
        const std::filesystem::path name(value);
        const bool media = key == "MP3" || key == "AUDIO" || key == "VOCALS" || key == "INSTRUMENTAL" || key == "VIDEO";
        if (media && !value.empty() && name.is_relative())
            files.push_back((song.parent_path() / name).lexically_normal());
    });
    return isSong ? files : std::vector<std::filesystem::path> {};
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
