#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace linlangok {

// What the session holds: nothing played yet, a MIDI song for the sequencer, or an audio file.
enum class ESongKind : std::int32_t { None = 0, Midi = 1, Audio = 2 };

// Every decision on a song file is made from the text after the path's last "." (the whole path
// without one), upper-cased; a dot in a folder name counts. The files the program plays:
//   MIDI: "MID", "MIDI", "JP" and "KAR" (a karaoke MIDI file);
//   audio: "WAV", "MP3", "OGG", "FLAC" and "ZIP" (an MP3+G archive);
//   video (a KTV video, whose sound the audio player plays and whose pictures follow): "MPG",
//   "MPEG", "VOB", "DAT", "MKV", "MP4", "AVI", "WEBM", "TS" and "M2TS".

// MIDI for the MIDI extensions above; audio for every other path.
ESongKind DetectSongKind(std::u16string_view path);

// Whether the path names a video song.
bool IsVideoFileName(std::u16string_view path);

// Whether the path names a song the program plays.
bool IsSongFileName(std::u16string_view path);

// The catalogue's format of a song file: its lower-case extension, with "midi" and "jp" as
// "mid"; nothing for a path that names no song.
std::optional<std::string> SongFileFormat(std::u16string_view path);

// Wildcard patterns of every song file ("*.mid", "*.kar" …), or of the video files alone, joined
// by separator.
std::u16string SongFilePatterns(char16_t separator);
std::u16string VideoFilePatterns(char16_t separator);

// The open dialogs' filter of every song file.
inline constexpr std::u16string_view kSongFilesDescription
    = u"Music Files (*.mid;*.kar;*.wav;*.mp3;*.ogg;*.flac;*.zip;*.mpg;*.vob;*.dat;*.mkv;*.mp4 …)";

} // namespace linlangok
