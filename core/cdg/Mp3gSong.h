#pragma once

#include "core/picture/SongPicture.h"
#include "core/playback/AudioFileDecoder.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// MP3+G songs: a sound file with CD+G graphics of the same name beside it (song.mp3 and
// song.cdg), or both in one zip archive.
namespace linlangok {

// The sound and the pictures of an MP3+G song, ready to play.
struct Mp3gSong {
    std::unique_ptr<IAudioFileDecoder> audio;
    std::shared_ptr<ISongPicture> picture;
};

// Opens an MP3+G song named by its sound file, its .cdg file or its zip archive. Raises
// std::runtime_error whose what() is the reason for the user, in UTF-8.
using Mp3gSongOpener = std::function<Mp3gSong(const std::filesystem::path& song)>;

// The extensions (lower case, with the dot) of the sound files an MP3+G song may have.
inline constexpr std::string_view kMp3gAudioExtensions[] = {".mp3", ".ogg", ".wav", ".flac"};
inline constexpr std::string_view kCdgExtension = ".cdg";
inline constexpr std::string_view kZipExtension = ".zip";

// Whether the name ends in `extension` (lower case, with the dot), in any case.
bool HasExtension(std::string_view name, std::string_view extension);
bool IsMp3gAudioName(std::string_view name);

// A file beside `file` with its name and one of the extensions (in any case, ".CDG" as well as
// ".cdg"); the first found in the order given, or nothing.
std::optional<std::filesystem::path> FindBeside(
    const std::filesystem::path& file, const std::vector<std::string_view>& extensions);

// Whether the program plays the file as an MP3+G song: a zip archive, a .cdg file, or a sound
// file with a .cdg file beside it.
bool IsMp3gSong(const std::filesystem::path& song);

// Whether a member of an archive stays inside the folder it would be extracted to: not empty,
// no absolute path or drive letter, no ".." among its parts ('/' and '\' both separate).
bool IsSafeMemberName(std::string_view name);

// The members of a zip archive that an MP3+G song plays: indexes into the names given.
struct Mp3gMembers {
    size_t audio = 0;
    size_t graphics = 0;
};
// Picks the .cdg member and the sound member of the same name (the name before the extension
// compared without regard to ASCII case); with one of each and no such pair, those two. Folders
// ("…/") and the resource forks of macOS archives ("__MACOSX/") count for nothing. Raises
// std::runtime_error with the reason when the archive holds no such pair.
Mp3gMembers ChooseMp3gMembers(const std::vector<std::string>& names);

} // namespace linlangok
