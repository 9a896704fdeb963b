#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace linlangok {

// What a song file says about itself: its tags (audio) or its texts (MIDI title, .kar @T line).
struct SongDetails {
    std::u16string title; // empty when the file does not say
    std::u16string singer;
    std::int32_t lengthMilliseconds = 0;
    std::filesystem::path cover; // the song's own picture file (an UltraStar #COVER); empty for none
};

// Reads a song file's details for the catalogue. Called on the scanning thread.
class ISongReader {
public:
    virtual ~ISongReader() = default;
    // Nothing when the file cannot be read as a song of its kind.
    virtual std::optional<SongDetails> Read(const std::filesystem::path& path) = 0;
};

} // namespace linlangok
