#include "core/lyrics/LyricsPresenter.h"

#include "midi/MidiSong.h"
#include "midi/MidiTrack.h"

namespace linlangok {

CLyricsPresenter::CLyricsPresenter(const ICodePage& codePage, const ILyricsSongSource& source)
    : m_source(source)
    , m_lrcView(codePage)
{
}

void CLyricsPresenter::LoadLrcLyrics(const std::filesystem::path& path)
{
    m_lrcView.Load(path, m_source.TextEncoding());
}

void CLyricsPresenter::SetLyricTrack(const CMidiTrack* track)
{
    if (track)
        m_midiView.SetSource(track->Syllables(), track->HeaderLines());
    else
        m_midiView.ClearSource();
}

bool CLyricsPresenter::Tick()
{
    std::optional<LyricsSongState> song = m_source.Read();
    if (!song)
        return false;
    m_frame.playing = song->playing;
    m_frame.idle = song->idle;
    m_frame.lyricPathEmpty = song->lyricPathEmpty;
    m_length = song->length;
    m_midiFrame = UseMidiLyricView(song->kind, song->idle);
    // The nudge moves the LRC lyrics as the file's own offset tag does: later positions show
    // them earlier.
    m_frame.position = song->position + (m_midiFrame ? 0.0 : static_cast<double>(song->lrcOffsetMilliseconds) / 1000);
    if (m_midiFrame && song->songTitle != kUntitled) {
        m_title = std::move(song->songTitle);
        m_credits = std::move(song->songSubtitle);
    } else {
        m_title = std::move(song->fileTitle);
        m_credits.clear();
    }
    if (m_midiFrame)
        m_midiView.Advance(m_frame);
    else
        m_lrcView.Advance(m_frame);
    return true;
}

LyricFrame CLyricsPresenter::Frame(int clientHeight) const
{
    LyricsPaintInput input = m_frame;
    input.clientHeight = clientHeight;
    return m_midiFrame ? m_midiView.Layout(input) : m_lrcView.Layout(input);
}

StageFrame CLyricsPresenter::Stage() const
{
    StageFrame frame = ComposeStageFrame(
        m_midiFrame ? m_midiView.Stage(m_frame) : m_lrcView.Stage(m_frame), m_frame.position, m_title, m_credits);
    if (m_upNext)
        frame.upNext = ComposeUpNextLine(m_upNext(), m_frame.position, m_length, m_frame.playing);
    return frame;
}

} // namespace linlangok
