#pragma once

#include <string>
#include <string_view>

// What a song file's name tells when its tags and texts do not: the common patterns of karaoke
// libraries.
namespace linlangok {

struct SongName {
    std::u16string title;
    std::u16string singer; // empty when the name does not say
};

// Reads the file name without its extension: a leading track number ("01 ", "01. ", "01-",
// "1_") is dropped; "歌手 - 歌名" gives the singer before the dash, "歌名(歌手)" or "歌名（歌手）"
// the singer in the closing brackets; anything else is the title. Both are trimmed; a name that
// is only a number stays the title.
SongName ParseSongFileName(std::u16string_view stem);

// A guess at the language of a song from its title and singer: "ja" when a kana is present,
// "ko" for hangul, "zh" for Han characters, "en" for Latin letters alone, empty otherwise.
std::string GuessLanguage(std::u16string_view title, std::u16string_view singer);

} // namespace linlangok
