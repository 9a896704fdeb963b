#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace linlangok {

// What the session holds: nothing played yet, a MIDI song for the sequencer, or an audio file.
enum class ESongKind : std::int32_t { None = 0, Midi = 1, Audio = 2 };

// Every decision on a song file is made from the text after the path's last "." (the whole path
// without one), upper-cased; a dot in a folder name counts. The files the program plays:
//   MIDI: "MID", "MIDI", "JP" and "KAR" (a karaoke MIDI file);
//   audio: "WAV", "MP3", "OGG", "FLAC", "ZIP" (an MP3+G archive) and "TXT" (an UltraStar song:
//   its notes and lyrics beside its sound files; a text file of another kind is no song, which
//   only its content tells);
//   video (a KTV video, whose sound the audio player plays and whose pictures follow): "MPG",
//   "MPEG", "VOB", "DAT", "MKV", "MP4", "AVI", "WEBM", "TS" and "M2TS".

// MIDI for the MIDI extensions above; audio for every other path.
ESongKind DetectSongKind(std::u16string_view path);

// Whether the path names a video song.
bool IsVideoFileName(std::u16string_view path);

// Whether the path names an UltraStar song: a ".txt" file.
bool IsUltraStarFileName(std::u16string_view path);

// Whether the path names a song the program plays.
bool IsSongFileName(std::u16string_view path);

// LooksLikeUltraStarSong needs no more than this many bytes of a file's start.
inline constexpr std::size_t kUltraStarProbeBytes = 4096;
// Whether a file that starts with these bytes is an UltraStar song: its first non-empty lines
// (after a UTF-8 byte-order mark) are "#KEY:VALUE" headers, among them #TITLE, #BPM or #VERSION.
// For skipping other ".txt" files cheaply; the song's reader has the last word.
bool LooksLikeUltraStarSong(std::string_view firstBytes);
// Whether the file is a song the program plays: by its name, and a ".txt" file by its first bytes
// (LooksLikeUltraStarSong). Any thread; false for a file that cannot be read.
bool IsSongFile(const std::filesystem::path& path);
// The files an UltraStar song names beside itself for its sound and its video (#MP3, #AUDIO,
// #VOCALS, #INSTRUMENTAL, #VIDEO: the header's bytes as a relative path, lexically normal): parts
// of the song, no songs of their own. Read from its first kUltraStarProbeBytes; none for another
// file.
std::vector<std::filesystem::path> UltraStarMediaFiles(const std::filesystem::path& song);
// Leaves out of the files of one folder (from `first` on; `pathOf` gives a file's path) the media
// files that an UltraStar song among them names.
template <typename File, typename PathOf>
void LeaveOutUltraStarMedia(std::vector<File>& files, std::size_t first, PathOf pathOf)
{
    std::set<std::filesystem::path> media;
    for (std::size_t index = first; index < files.size(); ++index) {
        for (std::filesystem::path& file : UltraStarMediaFiles(pathOf(files[index])))
            media.insert(std::move(file));
    }
    if (!media.empty())
        files.erase(std::remove_if(files.begin() + std::ptrdiff_t(first), files.end(),
                        [&](const File& file) { return media.contains(pathOf(file).lexically_normal()); }),
            files.end());
}

// The catalogue's format of a song file: its lower-case extension, with "midi" and "jp" as
// "mid"; nothing for a path that names no song.
std::optional<std::string> SongFileFormat(std::u16string_view path);

// Wildcard patterns of every song file ("*.mid", "*.kar" …), or of the video files alone, joined
// by separator.
std::u16string SongFilePatterns(char16_t separator);
std::u16string VideoFilePatterns(char16_t separator);

// The open dialogs' filter of every song file.
inline constexpr std::u16string_view kSongFilesDescription
    = u"Music Files (*.mid;*.kar;*.wav;*.mp3;*.ogg;*.flac;*.zip;*.txt;*.mpg;*.vob;*.dat;*.mkv;*.mp4 …)";

} // namespace linlangok
