#include "app/KaraokeApplication.h"

#include "app/Docking.h"
#include "common/Text.h"
#include "lyrics/LyricsShowWindow.h"

#include <QWidget>

namespace linlangok {

// Stands in for a companion window until the real one is built: an empty window that shows and
// hides.
class CCompanionPlaceholder final : public QWidget, public ICompanionWindow {
public:
    explicit CCompanionPlaceholder(const QString& title)
    {
        setWindowTitle(title);
        resize(240, 180);
    }

    bool IsShown() const override { return isVisible(); }
    void SetShown(bool shown) override { setVisible(shown); }
};

CKaraokeApplication::CKaraokeApplication(const ApplicationServices& services)
    : m_settings(std::make_unique<CSettings>(services.session.programFolder, services.session.codePage))
    , m_session(std::make_unique<CKaraokeSession>(services.session))
{
    m_settings->Load();
    // The volume window's device list selects the first input device for recording.
    if (const auto names = m_session->Recording().DeviceNames(); !names.empty()) {
        try {
            m_session->Recording().SelectDevice(names.front());
        } catch (const std::exception&) {
        }
    }
    const std::filesystem::path demoSong = services.dataFolder / "demo" / "jasmine.mid";
    if (std::filesystem::is_regular_file(demoSong))
        m_session->SetAccompanimentPath(PathToUtf16(demoSong));
    m_mainWindow = std::make_unique<CMainWindow>(MainWindowParts {*m_session, services.session.prompts,
        services.desktop, services.meterInput, m_companions, services.dataFolder / "help"});
    connect(m_mainWindow.get(), &CMainWindow::quitRequested, this, &CKaraokeApplication::finished);

    m_lyricsWindow = std::make_unique<CLyricsShowWindow>(
        LyricsShowParts {*m_session, m_mainWindow->Controller(), services.session.prompts, services.desktop,
            services.session.codePage},
        m_mainWindow.get());
    m_volumeWindow = std::make_unique<CCompanionPlaceholder>(QStringLiteral("音量控制"));
    m_songListWindow = std::make_unique<CCompanionPlaceholder>(QStringLiteral("播放列表"));
    m_companions = CompanionWindows {m_lyricsWindow.get(), m_songListWindow.get(), m_volumeWindow.get()};
    m_session->AttachLyrics(m_lyricsWindow.get(), m_lyricsWindow.get());
}

CKaraokeApplication::~CKaraokeApplication()
{
    m_session->AttachLyrics(nullptr, nullptr);
    m_companions = CompanionWindows {};
    m_songListWindow.reset();
    m_volumeWindow.reset();
    m_lyricsWindow.reset();
    m_mainWindow.reset();
}

void CKaraokeApplication::Show()
{
    m_mainWindow->show();
    const CompanionPlacement placement
        = DockCompanions(m_mainWindow->frameGeometry(), m_volumeWindow->frameGeometry().size());
    PlaceWindow(*m_lyricsWindow, placement.lyrics);
    PlaceWindow(*m_volumeWindow, placement.volume);
    PlaceWindow(*m_songListWindow, placement.songList);
    m_lyricsWindow->show();
    m_volumeWindow->show();
    m_songListWindow->show();
}

} // namespace linlangok
