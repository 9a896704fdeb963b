#pragma once

#include "common/CodePage.h"
#include "common/TextEncodings.h"
#include "core/catalog/SongReader.h"
#include "core/lyrics/LyricFileLookup.h"

#include <memory>

namespace linlangok {

class CMidiSong;
class CQuietPrompts;

// Reads a song file's details for the catalogue: an audio file's tags and length through TagLib
// (ID3v2, ID3v1, RIFF INFO, Vorbis comments; an MP3+G archive's from its sound member), a video's
// through the video reader, and what those leave out from the [ti:] and [ar:] tags of the LRC file
// the lyric lookup finds for it; a MIDI file's title and length through the program's own MIDI
// reader, a .kar file's from its first two @T lines (title and singer) before that; an UltraStar
// song's from its headers, its length from its sound file's, its cover's path from #COVER; its texts in
// the encoding the detector finds. Nothing for a file that none reads, and for an MP3, Ogg or FLAC
// file whose sound TagLib would search far for (not within 1 MiB of where it starts looking). The
// Lyric folder is listed once, when the reader is made. One thread at a time.
class CSongFileReader final : public ISongReader {
public:
    // The code page, the detector and the video reader outlive the reader; without a video reader
    // a video file is no song.
    CSongFileReader(const ICodePage& codePage, const ITextEncodingDetector& detector,
        const std::filesystem::path& lyricFolder, ISongReader* videoReader = nullptr);
    ~CSongFileReader() override;

    std::optional<SongDetails> Read(const std::filesystem::path& path) override;

private:
    std::optional<SongDetails> ReadMidi(const std::filesystem::path& path);
    // Its title and artist; the length of its sound, else to its last note.
    std::optional<SongDetails> ReadUltraStar(const std::filesystem::path& path);
    void TakeLyricTitles(const std::filesystem::path& path, SongDetails& details);

    const ICodePage& m_codePage;
    const ITextEncodingDetector& m_detector;
    ISongReader* m_videoReader;
    // Messages are for a song the user opens; a scan only counts the failures.
    std::unique_ptr<CQuietPrompts> m_prompts;
    CPathDisplay m_names;
    CLyricFolderIndex m_lyricFiles;
    std::unique_ptr<CMidiSong> m_song;
    std::u16string m_untitled; // the title of a song without one
};

} // namespace linlangok
