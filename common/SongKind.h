#pragma once

#include <cstdint>
#include <string_view>

namespace linlangok {

// What the session holds: nothing played yet, a MIDI song for the sequencer, or an audio file.
enum class ESongKind : std::int32_t { None = 0, Midi = 1, Audio = 2 };

// MIDI when the text after the path's last "." (the whole path without one), upper-cased, is
// exactly "JP", "MID", "MIDI" or "KAR" (a karaoke MIDI file); audio otherwise. A dot in a folder name counts.
ESongKind DetectSongKind(std::u16string_view path);

// Whether the path names a video song (a KTV video), by the same text: "MPG", "MPEG", "VOB",
// "DAT", "MKV", "MP4", "AVI", "WEBM", "TS" or "M2TS". Its kind is audio: the audio player plays
// its sound, and its pictures follow.
bool IsVideoFileName(std::u16string_view path);

// Whether the path names a song the program plays, by the same text: MIDI as above, "WAV", "MP3",
// "OGG", "FLAC", "ZIP" (an MP3+G archive) or a video.
bool IsSongFileName(std::u16string_view path);

// The open dialogs' filter of every song file.
inline constexpr std::u16string_view kSongFilesDescription
    = u"Music Files (*.mid;*.kar;*.wav;*.mp3;*.ogg;*.flac;*.zip;*.mpg;*.vob;*.dat;*.mkv;*.mp4 …)";
inline constexpr std::u16string_view kSongFilesPattern
    = u"*.mid;*.kar;*.wav;*.mp3;*.ogg;*.flac;*.zip;*.mpg;*.mpeg;*.vob;*.dat;*.mkv;*.mp4;*.avi;*.webm;*.ts;*.m2ts";

} // namespace linlangok
