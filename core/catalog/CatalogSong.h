#pragma once

#include "core/identity/SongIdentity.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace linlangok {

// One song file of the catalogue, as the store keeps it.
struct CatalogSong {
    std::int64_t id = 0; // the store's key; 0 until stored
    std::filesystem::path path;
    std::u16string title;
    std::u16string singer; // the artist; empty when unknown
    std::string format; // the file's kind as its lower-case extension: "mid", "kar", "wav", "mp3", "zip" …
    std::int32_t lengthMilliseconds = 0; // 0 when unknown
    std::string language; // a guess from the title and singer: "zh", "ja", "ko", "en" or empty
    std::uint64_t size = 0; // bytes
    std::int64_t modified = 0; // the file's modification time in nanoseconds of the file clock
    SongIdentity identity; // as the song memory knows the song
    std::int32_t timesSung = 0;
    std::int32_t bestScore = 0; // the best a room of the venue has scored, 0..100; 0 for none
    // The readings of the title and the singer as ComposeReadings gives them: lower-case tokens
    // separated by spaces, a Han character's pinyin readings separated by "/".
    std::string titleReadings;
    std::string singerReadings;
    // The song's own picture file (an UltraStar #COVER), not looked at by the scan; empty for none.
    std::filesystem::path cover;

    bool operator==(const CatalogSong&) const = default;
};

} // namespace linlangok
