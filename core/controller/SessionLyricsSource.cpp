#include "core/controller/SessionLyricsSource.h"

#include "common/FilePath.h"
#include "core/controller/MainCommand.h"
#include "core/session/KaraokeSession.h"

namespace linlangok {

CSessionLyricsSource::CSessionLyricsSource(CKaraokeSession& session, const IMainCommands& controller)
    : m_session(session)
    , m_controller(controller)
{
}

std::optional<LyricsSongState> CSessionLyricsSource::Read() const
{
    if (!m_controller.TimersMayRun())
        return std::nullopt;
    LyricsSongState song;
    song.position = m_session.Position();
    song.playing = m_controller.IsPlaying();
    song.idle = m_session.Lyrics().ShowsIdleLyrics();
    song.kind = m_session.Kind();
    song.lyricPathEmpty = m_session.Lyrics().Path().empty();
    song.lrcOffsetMilliseconds = m_session.Texts().LrcOffsetMilliseconds();
    song.songTitle = m_session.Song().Title();
    song.songSubtitle = m_session.Song().Subtitle();
    song.fileTitle
        = m_session.Texts().PathDisplay().Text(PathToUtf16(Utf16ToPath(m_session.AccompanimentPath()).stem()));
    song.length = m_session.Length();
    return song;
}

const ITextEncodingDetector& CSessionLyricsSource::TextEncoding() const
{
    return m_session.Texts().TextEncoding();
}

} // namespace linlangok
