#pragma once

#include "midi/BufferedInputFile.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

namespace linlangok {

class CMidiSong;
class CMidiTrack;
class IUserPrompts;

// The read error: corrupt or cut-off data, memory exhausted. The song keeps what was read.
inline constexpr std::u16string_view kReadErrorMessage = u"读文件时出错!";

// Reads a Standard MIDI File (formats 0, 1 and 2, metrical division) into a song. Made by
// CMidiSong::Load for one read; runs on the UI thread.
//
// The file is read through a buffer, each length checked against what is left of the file before
// anything is allocated. Refusals ("文件类型不正确!", "文件类型无效!", "无效的文件格式!", "音轨数错误!"
// for a header announcing no track, the SMPTE message, "Meta数据长度出错!") are shown with the
// caption "警告" and make Read return false. Corrupt or cut-off data inside a track (no End of
// Track before the end of the file, a cut-off event, a status byte 0xF1-0xFE, a data byte before any
// status or with its top bit set, a tick beyond 32 bits) stops reading with "读文件时出错!" and Read
// returns true: the song keeps the events read before.
class CMidiFileReader {
public:
    CMidiFileReader(CMidiSong& song, IUserPrompts& prompts);

    // True when the song holds the file's tracks (possibly cut short, see above); false for an
    // empty path (no message), a file that cannot be opened ("不能打开所选文件,或文件不存在!", caption
    // "错误") or a refusal. The song is cleared only once the header has been recognised.
    bool Read(const std::filesystem::path& path);

private:
    void ReadSong();
    bool FindTrackChunk();
    void ReadTrack(CMidiTrack& track);
    template <bool kBuild> void ParseTrackEvents(CMidiTrack* track, size_t& events);
    uint8_t NextByte();
    uint8_t NextDataByte();
    uint32_t NextVariableLength();
    uint32_t NextDataLength();

    CBufferedInputFile m_input;
    CMidiSong& m_song;
    std::filesystem::path m_path;
    IUserPrompts& m_prompts;
    std::vector<uint8_t> m_eventData; // data of the current meta or system exclusive event
};

} // namespace linlangok
