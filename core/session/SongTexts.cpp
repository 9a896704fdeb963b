#include "core/session/SongTexts.h"

#include <algorithm>
#include <utility>

namespace linlangok {

CSongTexts::CSongTexts(const ITextEncodings& encodings, const ICodePage& codePage, CRememberedSong& song)
    : m_encodings(encodings)
    , m_song(song)
    , m_pathDisplay(codePage, encodings)
{
}

void CSongTexts::SetEncodingOverride(std::string name)
{
    m_encodingOverride = std::move(name);
    m_song.Remember([this](SongMemoryValues& values) { values.encoding = m_encodingOverride; });
}

void CSongTexts::SetLrcOffsetMilliseconds(std::int32_t milliseconds)
{
    m_lrcOffsetMilliseconds = std::clamp(milliseconds, -kMaximumLrcOffsetMilliseconds, kMaximumLrcOffsetMilliseconds);
    m_song.Remember([this](SongMemoryValues& values) { values.lrcOffsetMilliseconds = m_lrcOffsetMilliseconds; });
}

void CSongTexts::Restore(const SongMemoryValues& values)
{
    m_encodingOverride = values.encoding;
    m_lrcOffsetMilliseconds = values.lrcOffsetMilliseconds;
}

} // namespace linlangok
