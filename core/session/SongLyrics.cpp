#include "core/session/SongLyrics.h"

#include <system_error>

namespace linlangok {
namespace {

// Stands in for the lyrics window until one is attached: no lines, no syllables.
class CNoLyricsShow final : public ILyricsShow {
public:
    void LoadLrcLyrics(const std::filesystem::path&) override { }
    void ShowIdleLyrics() override { }
    int MidiLyricLineCount() const override { return 0; }
};

CNoLyricsShow g_noLyricsShow;

} // namespace

CSongLyrics::CSongLyrics(
    const std::filesystem::path& programFolder, const CPathDisplay& names, IUserPrompts& prompts, CRememberedSong& song)
    : m_folder(LyricFolder(programFolder))
    , m_names(names)
    , m_prompts(prompts)
    , m_song(song)
    , m_show(&g_noLyricsShow)
{
    CreateLyricFolder(m_folder);
}

void CSongLyrics::Attach(ILyricsShow* show, ILyricTrackView* trackView)
{
    m_show = show ? show : &g_noLyricsShow;
    m_trackView = trackView;
}

void CSongLyrics::RememberPath()
{
    m_song.Remember([this](SongMemoryValues& values) { values.lyricPath = m_path; });
}

void CSongLyrics::Recall(SongMemoryValues& values)
{
    std::error_code error;
    if (!values.lyricPath.empty() && !std::filesystem::is_regular_file(Utf16ToPath(values.lyricPath), error))
        values.lyricPath.clear(); // moved or deleted: the lyric lookup finds what it can
    if (!values.lyricPath.empty())
        m_path = values.lyricPath;
}

void CSongLyrics::Load(const std::filesystem::path& song, ESongKind kind)
{
    std::filesystem::path path = Utf16ToPath(m_path);
    m_showsIdleLyrics = LoadSongLyrics(song, kind, path, *m_show, m_folder, m_names, m_prompts);
    m_path = PathToUtf16(path);
}

void CSongLyrics::ShowTrack(const CMidiTrack* track)
{
    if (m_trackView)
        m_trackView->SetLyricTrack(track);
}

} // namespace linlangok
