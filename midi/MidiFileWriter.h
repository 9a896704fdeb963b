#pragma once

#include <filesystem>
#include <iosfwd>
#include <string_view>

namespace linlangok {

class CMidiSong;
class IUserPrompts;

// Writes a song as a Standard MIDI File: the header with the song's format, track count and
// division, then one track chunk per track with running status. Made for one save on the UI thread;
// the file is put together in memory and saved in one piece.
class CMidiFileWriter {
public:
    CMidiFileWriter(const CMidiSong& song, IUserPrompts& prompts);

    // Saves the song at the path through SaveFile, so a failed save never replaces a good file.
    // On any failure (the file cannot be created or may not be written, a write fails, the song
    // does not fit the format) shows "写Mid文件时出错!" with the caption, leaves no file behind
    // and returns false.
    bool Write(const std::filesystem::path& path, std::u16string_view caption);

    // Appends the song in Standard MIDI File form to the stream. Throws std::length_error for a
    // song that does not fit the format, std::invalid_argument for a delta beyond a variable-length
    // quantity, and what the stream throws; shows nothing.
    void WriteSong(std::ostream& out) const;

private:
    const CMidiSong& m_song;
    IUserPrompts& m_prompts;
};

} // namespace linlangok
