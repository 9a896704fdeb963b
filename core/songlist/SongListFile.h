#pragma once

#include "common/CodePage.h"
#include "common/FilePath.h"
#include "common/UserPrompts.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Song list files (".kpl"): "KPOK", the stored name, the list flag, the song count, then per
// song its name, its path and its flag. Integers are 32-bit little-endian; every string field
// is a length L and L bytes holding the text, a zero byte and zero filler. The text is in the
// legacy code page, or in UTF-8 throughout a list that holds a character the code page lacks;
// a field that is valid UTF-8 with a non-ASCII character reads as UTF-8. A song path whose bytes
// are not UTF-8 (a GBK name on a UTF-8 file system), which no text carries, is written as its
// file URI ("file:///" and the bytes percent-encoded; a relative path made absolute), which is
// ASCII in every code page; a path field holding a file URI reads as the URI's path.
namespace linlangok {

struct SongRecord {
    std::int32_t flag = 0; // always 0 in this system
    std::u16string name; // the file name of the song, without its folder, as it is shown
    std::u16string path; // the full path of the song file (FilePath.h)

    bool operator==(const SongRecord&) const = default;
};

struct SongList {
    std::int32_t flag = 0;
    std::u16string storedName; // informational, never shown
    std::vector<SongRecord> songs; // in insertion order, duplicates allowed

    bool operator==(const SongList&) const = default;
};

// No list file is read beyond this size: some hundred thousand songs.
inline constexpr std::uint64_t kMaximumSongListBytes = 64 << 20;


enum class ESongListRead {
    Complete,
    Truncated, // ended early or held an impossible length: what was read before stands
    WrongType, // no "KPOK" at the start: nothing was read
    Unreadable, // missing, not a regular file, over kMaximumSongListBytes, or a read error
};

// Parses the bytes of a list file, whose text is in codePage. Unless the result is WrongType, the
// list is replaced by the stored name, flag and whole song records read. Lengths are checked
// against the bytes left before anything is allocated, so no length field makes it allocate more
// than the input's size.
ESongListRead ParseSongList(std::string_view bytes, const ICodePage& codePage, SongList& list);

// The bytes of a list file, text in codePage or UTF-8 (see above). An empty string is written
// with L = 0; other strings with L = 2 × (length + 1), or more when the converted text needs it.
std::string SerializeSongList(const SongList& list, const ICodePage& codePage);

// ParseSongList of a file; Unreadable (list unchanged) when it cannot be read.
ESongListRead ReadSongListFile(const std::filesystem::path& path, const ICodePage& codePage, SongList& list);

// Loads a list file into list: true when it was read, also when it ended early. A file that is
// not a song list is reported through ShowWrongListType and leaves the list unchanged; a file
// that cannot be opened returns false without a message.
bool LoadList(const std::filesystem::path& path, const ICodePage& codePage, SongList& list, IUserPrompts& prompts);
// Says that a file is not a song list: "错误!", "文件类型不正确!".
void ShowWrongListType(IUserPrompts& prompts);

// Saves the list file through SaveFile, so a failed save leaves the old file whole. False,
// without a message, when it cannot be written.
bool SaveList(const std::filesystem::path& path, const SongList& list, const ICodePage& codePage);

// The song name for a path: the text after its last "/" (the whole path when there is none).
std::u16string SongNameOfPath(std::u16string_view path);

// The record of a song added by its path: flag 0, its song name as names show it, the path.
SongRecord SongRecordOfPath(std::u16string_view path, const CPathDisplay& names);

} // namespace linlangok
