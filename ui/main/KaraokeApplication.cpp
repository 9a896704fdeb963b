#include "ui/main/KaraokeApplication.h"

#include "common/FilePath.h"
#include "common/Text.h"
#include "common/Translation.h"
#include "ui/catalog/CatalogWindow.h"
#include "ui/lyrics/LyricsShowWindow.h"
#include "ui/main/Docking.h"
#include "ui/main/PerformanceWindow.h"
#include "ui/mixer/VolumeWindow.h"
#include "ui/phone/PhoneWindow.h"
#include "ui/songlist/SongListWindow.h"
#include "ui/video/VideoWindow.h"
#include "ui/widgets/ProgramSettings.h"
#include "ui/widgets/ResizableWindow.h"

#include <QTimer>

#include <algorithm>

#include <QAction>
#include <QActionGroup>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>

namespace linlangok {
namespace {

// The help pages in the program's language: help/LANGUAGE where they are, else the source's own.
std::filesystem::path HelpFolder(const std::filesystem::path& dataFolder)
{
    const std::filesystem::path translated = dataFolder / "help" / CurrentLanguage();
    return std::filesystem::is_directory(translated) ? translated : dataFolder / "help";
}

} // namespace

CKaraokeApplication::CKaraokeApplication(const ApplicationServices& services)
    : m_sessionServices(services.session)
    , m_settings(std::make_unique<CSettings>(services.session.programFolder, services.session.codePage))
    , m_session(std::make_unique<CKaraokeSession>(services.session))
    , m_voiceEffect(std::make_unique<CVoiceEffectChoice>(services.voiceEffects))
{
    m_settings->Load();
    if (services.makePitchTracker) {
        m_liveScoring = std::make_unique<CLiveScoring>(services.meterInput, services.makePitchTracker);
        m_scoring = std::make_unique<CSongScoring>(SongScoringParts {*m_session, *m_liveScoring, services.videoMelodies,
            &services.session.uiThread, services.session.programFolder});
    }
    const std::filesystem::path demoSong = services.dataFolder / "demo" / "jasmine.mid";
    const std::filesystem::path helpFolder = HelpFolder(services.dataFolder);
    if (std::filesystem::is_regular_file(demoSong))
        m_session->SetAccompanimentPath(PathToUtf16(demoSong));
    m_mainWindow = std::make_unique<CMainWindow>(MainWindowParts {*m_session, services.session.prompts,
        services.desktop, services.meterInput, m_companions, helpFolder, this, m_scoring.get()});
    connect(m_mainWindow.get(), &CMainWindow::quitRequested, this, &CKaraokeApplication::finished);

    m_lyricsWindow = std::make_unique<CLyricsShowWindow>(
        LyricsShowParts {*m_session, m_mainWindow->Controller(), services.session.prompts, services.desktop,
            services.session.codePage},
        m_mainWindow.get());
    m_volumeWindow = std::make_unique<CVolumeWindow>(
        VolumeWindowParts {m_session->Recording(), services.session.mixers, services.session.prompts, services.desktop,
            services.programs, m_mainWindow->Controller(), helpFolder, services.session.audioOutput,
            services.meterInput, services.session.programFolder, *m_session, *m_voiceEffect, services.earMonitor});
    m_songListWindow = std::make_unique<CSongListWindow>(SongListWindowParts {m_mainWindow->Controller(),
        services.session.prompts, services.desktop, services.session.codePage, m_session->Texts().PathDisplay(),
        services.collator, services.session.programFolder, helpFolder, demoSong});
    m_companions = CompanionWindows {m_lyricsWindow.get(), m_songListWindow.get(), m_volumeWindow.get()};
    m_session->Lyrics().Attach(&m_lyricsWindow->Presenter(), &m_lyricsWindow->Presenter());
    connect(m_mainWindow.get(), &CMainWindow::stageViewRequested, m_lyricsWindow.get(),
        &CLyricsShowWindow::ToggleStageView);
    m_videoWindow
        = std::make_unique<CVideoWindow>(VideoWindowParts {*m_session, m_mainWindow->Controller()}, m_mainWindow.get());
    connect(m_videoWindow.get(), &CVideoWindow::stageViewRequested, m_lyricsWindow.get(),
        &CLyricsShowWindow::ToggleStageView);
    AddVideoMenu();
    if (m_scoring) {
        m_lyricsWindow->SetScoringSource(m_scoring.get());
        m_lyricsWindow->StageWindow().SetScoringSource(m_scoring.get());
        AddScoringMenu();
    }
    if (services.catalog)
        AttachCatalog(*services.catalog, services.session.prompts, services.phone);
}

namespace {

// How often the queue file is looked at for what other processes changed.
constexpr int kQueueWatchMilliseconds = 1000;

// Queued songs start as a song list's double-click does.
class CControllerSongStarter final : public ISongStarter {
public:
    explicit CControllerSongStarter(CMainController& controller)
        : m_controller(controller)
    {
    }
    void StartSong(const std::filesystem::path& path) override
    {
        m_controller.Handle(command::PlayNow {PathToUtf16(path)});
    }

private:
    CMainController& m_controller;
};

// The phones' host controls are the main window's commands.
class CControllerPhoneHost final : public IPhoneHostControls {
public:
    explicit CControllerPhoneHost(CMainController& controller)
        : m_controller(controller)
    {
    }
    bool IsPlaying() const override { return m_controller.IsPlaying(); }
    void TogglePlay() override { m_controller.Handle(command::TogglePlay {}); }
    void StepPitch(int semitones) override { m_controller.Handle(command::StepPitch {semitones}); }

private:
    CMainController& m_controller;
};

} // namespace

void CKaraokeApplication::AttachCatalog(
    const CatalogServices& catalog, IUserPrompts& prompts, const PhoneServices* phone)
{
    CMainController& controller = m_mainWindow->Controller();
    const auto nothingPlays = [&controller] { return !controller.IsPlaying() && !controller.IsRecording(); };
    m_catalogue = std::make_unique<CCatalogService>(CatalogueParts(catalog, m_sessionServices.uiThread));
    if (m_scoring) {
        m_scoring->DeriveCatalogue(*m_catalogue);
        if (catalog.shared.connect)
            m_scoring->ShareBestScores(*m_catalogue, catalog.store);
    }
    m_songStarter = std::make_unique<CControllerSongStarter>(controller);
    m_songPicker = std::make_unique<CSongPicker>(
        catalog.store, *m_songStarter, prompts, m_sessionServices.fileLocks, catalog.queueFile);
    m_songPicker->SetSungHandler([this](std::int64_t id) { m_catalogue->CountSung(id); });
    m_catalogWindow = std::make_unique<CCatalogWindow>(
        CatalogWindowParts {*m_songPicker, *m_catalogue, catalog, prompts, nothingPlays}, m_mainWindow.get());
    // The tool and serve change the queue file too.
    auto* queueWatch = new QTimer(m_catalogWindow.get());
    connect(queueWatch, &QTimer::timeout, m_catalogWindow.get(), [this] { m_songPicker->Refresh(); });
    queueWatch->start(kQueueWatchMilliseconds);
    controller.SetSongEndHandler([this] { m_songPicker->SongEnded(); });
    m_lyricsWindow->Presenter().SetUpNextSource([this]() -> std::optional<StageUpNext> {
        const std::optional<QueueEntry> next = m_songPicker->UpNext();
        if (!next)
            return std::nullopt;
        return StageUpNext {next->title, next->singer, next->performer};
    });
    QMenu* menu = m_mainWindow->AddMenu(tr("点歌(&S)"));
    QAction* show = menu->addAction(tr("点歌和已点歌曲(&S)"), m_catalogWindow.get(), [this] {
        m_catalogWindow->show();
        m_catalogWindow->raise();
        m_catalogWindow->activateWindow();
        m_catalogWindow->SearchBox()->setFocus();
    });
    show->setShortcut(QKeySequence(Qt::Key_F3));
    QAction* skip = menu->addAction(tr("切歌(&N)"), m_catalogWindow.get(), [this] { m_songPicker->Skip(); });
    skip->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Right));
    for (QAction* action : {show, skip}) {
        action->setShortcutContext(Qt::ApplicationShortcut);
        m_mainWindow->addAction(action);
    }
    m_catalogWindow->Refresh(false);
    if (!phone)
        return;
    m_phoneHost = std::make_unique<CControllerPhoneHost>(controller);
    m_phoneWindow = std::make_unique<CPhoneWindow>(
        PhoneWindowParts {*phone, *m_songPicker, *m_phoneHost, nothingPlays, *m_catalogue,
            [this](const QImage& code) { m_lyricsWindow->StageWindow().SetCornerCode(code); }},
        m_mainWindow.get());
    menu->addSeparator();
    menu->addAction(tr("手机点歌(&P)..."), m_phoneWindow.get(), [this] {
        m_phoneWindow->Start();
        m_phoneWindow->show();
        m_phoneWindow->raise();
        m_phoneWindow->activateWindow();
    });
}

void CKaraokeApplication::AddVideoMenu()
{
    QMenu* menu = m_mainWindow->AddMenu(tr("视频(&V)"));
    QAction* window = menu->addAction(tr("视频窗口(&W)"), m_videoWindow.get(), [this](bool shown) {
        m_videoWindow->setVisible(shown);
        if (shown)
            m_videoWindow->raise();
    });
    window->setCheckable(true);
    QAction* original = menu->addAction(tr("原唱/伴唱(&O)"), m_videoWindow.get(),
        [this] { m_mainWindow->Controller().Handle(command::ToggleMelody {}); });
    original->setShortcut(QKeySequence(Qt::Key_F2));
    original->setShortcutContext(Qt::ApplicationShortcut);
    m_mainWindow->addAction(original);
    QMenu* places = menu->addMenu(tr("原唱位置(&L)"));
    connect(places, &QMenu::aboutToShow, this, [this, places] {
        places->clear();
        m_videoWindow->AddVocalLayoutItems(*places);
    });
    connect(menu, &QMenu::aboutToShow, this, [this, window] { window->setChecked(m_videoWindow->isVisible()); });
}

namespace {

const QString kScoringApplication = QStringLiteral("Scoring");
const QString kScoringOnKey = QStringLiteral("On");
const QString kDifficultyKey = QStringLiteral("Difficulty");

} // namespace

void CKaraokeApplication::AddScoringMenu()
{
    QSettings settings(kSettingsOrganisation, kScoringApplication);
    m_scoring->SetOn(settings.value(kScoringOnKey, true).toBool());
    const int difficulty = std::clamp(settings.value(kDifficultyKey, 1).toInt(), 0, 2);
    m_scoring->SetDifficulty(static_cast<EDifficulty>(difficulty));
    QMenu* menu = m_mainWindow->AddMenu(tr("评分(&G)"));
    QAction* on = menu->addAction(tr("评分(&S)"));
    on->setCheckable(true);
    on->setChecked(m_scoring->IsOn());
    connect(on, &QAction::toggled, this, [this](bool checked) {
        m_scoring->SetOn(checked);
        QSettings(kSettingsOrganisation, kScoringApplication).setValue(kScoringOnKey, checked);
    });
    menu->addSeparator();
    auto* levels = new QActionGroup(menu);
    const std::pair<EDifficulty, QString> choices[] = {{EDifficulty::Easy, tr("简单(&E)")},
        {EDifficulty::Normal, tr("普通(&N)")}, {EDifficulty::Hard, tr("困难(&H)")}};
    for (const auto& [level, text] : choices) {
        QAction* choice = menu->addAction(text);
        choice->setCheckable(true);
        choice->setChecked(level == m_scoring->Difficulty());
        levels->addAction(choice);
        connect(choice, &QAction::triggered, this, [this, level] {
            m_scoring->SetDifficulty(level);
            QSettings(kSettingsOrganisation, kScoringApplication).setValue(kDifficultyKey, static_cast<int>(level));
        });
    }
}

CKaraokeApplication::~CKaraokeApplication()
{
    m_session->Lyrics().Attach(nullptr, nullptr);
    m_companions = CompanionWindows {};
    if (m_catalogWindow) {
        m_mainWindow->Controller().SetSongEndHandler({});
        m_lyricsWindow->Presenter().SetUpNextSource({});
    }
    m_phoneWindow.reset();
    m_catalogWindow.reset();
    m_songPicker.reset();
    m_catalogue.reset();
    m_videoWindow.reset();
    m_songListWindow.reset();
    m_volumeWindow.reset();
    m_lyricsWindow.reset();
    m_mainWindow.reset();
    m_scoring.reset();
    m_liveScoring.reset();
}

void CKaraokeApplication::Show()
{
    m_mainWindow->show();
    // The companions are not shown yet: their frames are taken to be the main window's.
    const QMargins frame = FrameMargins(*m_mainWindow);
    const CompanionPlacement placement
        = DockCompanions(m_mainWindow->frameGeometry(), m_volumeWindow->size().grownBy(frame));
    // Docking places the resizable ones; the sizes they had at the last exit size them.
    const auto withStoredSize = [](QRect docked, const CResizableWindow& resizer) {
        if (const std::optional<QSize> stored = resizer.StoredSize())
            docked.setSize(*stored);
        return docked;
    };
    PlaceWindow(*m_lyricsWindow, withStoredSize(placement.lyrics, m_lyricsWindow->Resizer()), frame);
    PlaceWindow(*m_volumeWindow, placement.volume, frame);
    PlaceWindow(*m_songListWindow, withStoredSize(placement.songList, m_songListWindow->Resizer()), frame);
    PlaceWindow(*m_videoWindow, withStoredSize(placement.video, m_videoWindow->Resizer()), frame);
    m_lyricsWindow->show();
    m_volumeWindow->show();
    m_songListWindow->show();
    m_videoWindow->show();
    // The keys go to the main window at start, not to the companion shown last.
    m_mainWindow->activateWindow();
    // From the event loop, so that a quit asked meanwhile can end it.
    QTimer::singleShot(
        0, m_mainWindow.get(), [this] { m_mainWindow->Controller().Handle(command::OfferDeadTakes {}); });
}

bool CKaraokeApplication::IsPlaying() const
{
    return m_mainWindow->Controller().IsPlaying();
}

void CKaraokeApplication::Play()
{
    m_mainWindow->Controller().Handle(command::Play {});
}

void CKaraokeApplication::Stop()
{
    m_mainWindow->Controller().Handle(command::Stop {});
}

void CKaraokeApplication::PlayFile(const std::filesystem::path& path)
{
    m_mainWindow->Controller().Handle(command::PlayNow {PathToUtf16(path)});
}

bool CKaraokeApplication::CanPlayNeighbour(int step) const
{
    return m_songListWindow->Presenter().HasNeighbour(step);
}

void CKaraokeApplication::PlayNeighbour(int step)
{
    m_songListWindow->PlayNeighbour(step);
}

MediaTrack CKaraokeApplication::Track() const
{
    MediaTrack track;
    track.path = Utf16ToPath(m_session->AccompanimentPath());
    if (track.path.empty())
        return track;
    // A playing MIDI song has its own title; anything else is known by its file name.
    const bool playing = IsPlaying();
    const std::u16string& songTitle = m_session->Song().Title();
    const bool titled = playing && m_session->Kind() == ESongKind::Midi && !songTitle.empty() && songTitle != kUntitled;
    track.title = titled ? songTitle : m_session->Texts().PathDisplay().Text(PathToUtf16(track.path.stem()));
    if (playing)
        track.lengthMicroseconds = std::int64_t {m_session->Length()} * 1'000'000;
    return track;
}

std::int64_t CKaraokeApplication::PositionMicroseconds() const
{
    return IsPlaying() ? static_cast<std::int64_t>(m_session->Position() * 1e6) : 0;
}

void CKaraokeApplication::OfferPerformance(std::unique_ptr<CPerformanceTake> take)
{
    RunPerformanceWindow(std::move(take), m_sessionServices, m_voiceEffect.get(), m_mainWindow.get());
}

void CKaraokeApplication::Raise()
{
    m_mainWindow->setWindowState(m_mainWindow->windowState() & ~Qt::WindowMinimized);
    m_mainWindow->show();
    m_mainWindow->raise();
    m_mainWindow->activateWindow();
}

void CKaraokeApplication::Quit()
{
    m_mainWindow->QuitFromMenu();
}

bool CKaraokeApplication::IsBusy() const
{
    return m_mainWindow->Controller().IsCommandRunning();
}

void CKaraokeApplication::ShowNotice(std::u16string_view text)
{
    m_mainWindow->Controller().ShowNotice(std::u16string(text));
}

} // namespace linlangok
