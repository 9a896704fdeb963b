#pragma once

#include "common/UserPrompts.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace linlangok {

class CMidiSong;
class CMidiTrack;

// The read error, in the user's language: corrupt or cut-off data, memory exhausted, a file that cannot be read whole.
// The song keeps what was read.
std::u16string ReadErrorMessage();

// Files above this size are not read: no song comes near it.
inline constexpr std::uint64_t kMaximumMidiFileSize = std::uint64_t(256) << 20;

// Reads a Standard MIDI File (formats 0, 1 and 2, metrical division) into a song. Made by
// CMidiSong::Load for one read; runs on the UI thread.
//
// The file is parsed from its bytes in memory, every length checked against what is left before
// anything is allocated. Refusals ("文件类型不正确!", "文件类型无效!", "无效的文件格式!", "音轨数错误!"
// for a header announcing no track, the SMPTE message, "Meta数据长度出错!") are reported with the
// caption "警告" and make Read return false. Messages for the user are appended to the list the
// reader is given, never shown by the reader.
//
// Inside a track, a data byte with its top bit set is read as data without that bit, and system
// common and real-time bytes (0xF1-0xF6, 0xF8-0xFE) are skipped with their data bytes. Corrupt or
// cut-off data (no End of Track, a cut-off event, a data byte before any status, a tick beyond 32
// bits) ends its track there; reading goes on with the next chunk after the damaged one's length,
// "读文件时出错!" is reported once and Read returns true: the song keeps every event read.
class CMidiFileReader {
public:
    CMidiFileReader(CMidiSong& song, std::vector<MessageRequest>& messages);

    // Reads the file whole and parses it as Read(bytes) does; the song's message arena takes over
    // the file's bytes as storage once they are read. False as well for an empty path (no message),
    // a file that cannot be opened ("不能打开所选文件,或文件不存在!", caption "错误"), and a file larger
    // than kMaximumMidiFileSize or failing while it is read ("读文件时出错!", caption "警告"); the
    // song is unchanged then.
    bool Read(const std::filesystem::path& path);
    // True when the song holds the file's tracks (possibly cut short, see above); false for a
    // refusal. The song is cleared only once the header has been recognised. The bytes are not
    // kept.
    bool Read(std::span<const std::uint8_t> bytes);

private:
    void Report(std::u16string_view caption, std::u16string_view text);
    void ReadSong();
    void ReuseBytesRead();
    bool FindTrackChunk();
    bool ReadTrack(CMidiTrack& track);
    // Reads events from m_position up to the End of Track, never at or beyond the offset `end`.
    bool ParseTrackEvents(CMidiTrack& track, size_t end);

    CMidiSong& m_song;
    std::vector<MessageRequest>& m_messages;
    std::unique_ptr<std::byte[]> m_ownedBytes; // the file read whole, until the song's arena adopts it
    std::byte* m_adopted = nullptr; // the file's bytes once the arena owns them
    size_t m_reused = 0; // the bytes before this offset have been handed to the arena for reuse
    std::span<const std::uint8_t> m_bytes;
    size_t m_position = 0; // offset of the next byte to read in m_bytes
};

} // namespace linlangok
