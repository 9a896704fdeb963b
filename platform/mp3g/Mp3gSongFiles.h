#pragma once

#include "core/cdg/Mp3gSong.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>

// MP3+G songs from their files: the sound through libsndfile, the graphics through the core's
// CD+G decoder, an archive through libzip, read into memory and never extracted.
namespace linlangok {

// What is read of an MP3+G song at most; more is refused with a clear error, never allocated.
struct Mp3gLimits {
    std::uint64_t graphicsBytes = std::uint64_t {64} << 20; // CD+G is 7200 bytes a second: over two hours
    std::uint64_t audioBytes = std::uint64_t {256} << 20; // of a member: 25 minutes of CD-quality WAV
    std::uint64_t archiveBytes = std::uint64_t {1} << 30;
    size_t archiveMembers = 10000;
};

// Opens the song named by its sound file (with a .cdg file of the same name beside it), its
// .cdg file (with the sound beside it) or its zip archive (the pair that ChooseMp3gMembers
// picks). Raises std::runtime_error with the reason for the user (UTF-8) when it cannot.
Mp3gSong OpenMp3gSong(const std::filesystem::path& song, const Mp3gLimits& limits = {});

// The picture alone, as OpenMp3gSong opens it, for looking at a song's graphics: a .cdg file
// needs no sound beside it.
std::shared_ptr<ISongPicture> OpenMp3gPicture(const std::filesystem::path& song, const Mp3gLimits& limits = {});

// The opener of song sound for the player, the loudness analysis and the renders: an MP3+G
// archive's or .cdg file's sound as OpenMp3gSong finds it, any other file through libsndfile.
std::unique_ptr<IAudioFileDecoder> OpenSongAudio(const std::filesystem::path& song);

} // namespace linlangok
