#pragma once

#include "common/CodePage.h"
#include "common/TextEncodings.h"
#include "core/catalog/SongReader.h"

#include <memory>

namespace linlangok {

class CMidiSong;
class CManualTimerDriver;

// Reads a song file's details for the catalogue: an audio file's tags and length through TagLib
// (ID3v2, ID3v1, RIFF INFO), a MIDI or .kar file's title and length through the program's own
// MIDI reader, its texts in the encoding the detector finds, a video through the video reader.
// Nothing for a file that none reads. One thread at a time.
class CSongFileReader final : public ISongReader {
public:
    // The code page, the detector and the video reader outlive the reader; without a video reader
    // a video file is no song.
    CSongFileReader(
        const ICodePage& codePage, const ITextEncodingDetector& detector, ISongReader* videoReader = nullptr);
    ~CSongFileReader() override;

    std::optional<SongDetails> Read(const std::filesystem::path& path) override;

private:
    class CQuietPrompts;

    std::optional<SongDetails> ReadAudio(const std::filesystem::path& path);
    std::optional<SongDetails> ReadMidi(const std::filesystem::path& path);

    const ITextEncodingDetector& m_detector;
    ISongReader* m_videoReader;
    std::unique_ptr<CQuietPrompts> m_prompts;
    std::unique_ptr<CManualTimerDriver> m_timerDriver;
    std::unique_ptr<CMidiSong> m_song;
    std::u16string m_untitled; // the title of a song without one
};

} // namespace linlangok
