#pragma once

#include "common/CodePage.h"
#include "common/FilePath.h"
#include "common/TextEncodings.h"
#include "core/session/RememberedSong.h"

#include <cstdint>
#include <string>

namespace linlangok {

// How the song's texts are read and shown: the encoding of its MIDI meta texts and LRC file, the
// file names, and the offset of its LRC lyrics. The override and the offset belong to the song and
// are remembered for it. UI thread.
class CSongTexts {
public:
    // The encodings, the code page and the song outlive the texts.
    CSongTexts(const ITextEncodings& encodings, const ICodePage& codePage, CRememberedSong& song);

    CSongTexts(const CSongTexts&) = delete;
    CSongTexts& operator=(const CSongTexts&) = delete;

    // The encodings the song's texts can be read in.
    const ITextEncodings& TextEncodings() const { return m_encodings; }
    // The name of the encoding that the song's texts (MIDI meta texts, an LRC file without a
    // byte-order mark) are read in instead of the detected one; empty for none. A name that
    // TextEncodings does not find counts as none. Play reads the song with it. Setting it
    // remembers it for the song.
    const std::string& EncodingOverride() const { return m_encodingOverride; }
    void SetEncodingOverride(std::string name);
    // The encoding of the song's texts as the override and detection choose it.
    const ITextEncodingDetector& TextEncoding() const { return m_textEncoding; }
    // File names as they are shown, in the legacy code page or the encoding detected for them.
    const CPathDisplay& PathDisplay() const { return m_pathDisplay; }
    // Milliseconds added to every time of the song's LRC lyrics, within
    // ±kMaximumLrcOffsetMilliseconds (clamped). Setting it remembers it for the song.
    std::int32_t LrcOffsetMilliseconds() const { return m_lrcOffsetMilliseconds; }
    void SetLrcOffsetMilliseconds(std::int32_t milliseconds);

    // Takes the override and the offset remembered for a song just recalled (none and 0 when
    // nothing is), without remembering them again.
    void Restore(const SongMemoryValues& values);

private:
    const ITextEncodings& m_encodings;
    CRememberedSong& m_song;
    std::string m_encodingOverride;
    CEncodingOverride m_textEncoding {m_encodings, m_encodingOverride};
    CPathDisplay m_pathDisplay;
    std::int32_t m_lrcOffsetMilliseconds = 0;
};

} // namespace linlangok
