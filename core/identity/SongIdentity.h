#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace linlangok {

// A song's identity hashes the file's first and last this many bytes (the whole of a smaller
// file): a MIDI file whole, a long WAV or MP3 without reading it all.
inline constexpr std::uint64_t kSongHashPartBytes = 1024 * 1024;

// A song as the song memory and the catalogue know it: the file's size and the FNV-1a 64 hash of
// its bytes (see kSongHashPartBytes), so a moved or renamed file is still the same song.
struct SongIdentity {
    std::uint64_t size = 0;
    std::uint64_t hash = 0;

    bool operator==(const SongIdentity&) const = default;
};

// The identity of the file, or nothing when it is no regular file, is empty or cannot be read.
// Any thread.
std::optional<SongIdentity> IdentifySong(const std::filesystem::path& path);

} // namespace linlangok
