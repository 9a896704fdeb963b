#pragma once

#include "common/ProgramLauncher.h"
#include "common/TextCollator.h"
#include "core/catalog/SongPicker.h"
#include "core/controller/Settings.h"
#include "core/controller/SongScoring.h"
#include "core/performance/VoiceEffectChoice.h"
#include "core/phone/PhoneService.h"
#include "core/session/KaraokeSession.h"
#include "ui/desktop/MprisService.h"
#include "ui/main/MainWindow.h"

#include <QObject>

#include <filesystem>
#include <memory>

namespace linlangok {

class CCatalogService;
class CCatalogWindow;
class CLyricsShowWindow;
class CPhoneWindow;
struct PhoneServices;
class CSongPicker;
struct CatalogServices;
class CSongListWindow;
class CVideoWindow;
class CVolumeWindow;
class CEarMonitor;

// What the application is built on: the platform's services, made once by main and outliving
// the application.
struct ApplicationServices {
    SessionServices session;
    IWaveInSystem& meterInput;
    IDesktopOpener& desktop;
    IProgramLauncher& programs;
    std::filesystem::path dataFolder; // help/ and demo/
    const ITextCollator& collator; // the order of song lists and of a folder's songs
    const CatalogServices* catalog = nullptr; // null: no catalogue (点歌) this run
    const PhoneServices* phone = nullptr; // null: no 手机点歌 this run; needs the catalogue
    PitchTrackerFactory makePitchTracker = {}; // empty: no 评分 this run
    IVideoMelodyDeriver* videoMelodies = nullptr; // null: video songs are not scored
    const IVoiceEffects* voiceEffects = nullptr; // null: the voice is always dry
    CEarMonitor* earMonitor = nullptr; // null: no 耳返 this run
};

// The main window object: owns the settings, the karaoke session, the main window and its
// companion windows for the whole run, in that order of construction. The settings are loaded
// first and saved when the object is destroyed, after the windows are gone. It is also the media
// player that the desktop's media keys and panels control, and offers the performance of a saved
// recording in the performance window. UI thread.
class CKaraokeApplication final : public QObject, public IMediaPlayer, private IPerformanceOffer {
    Q_OBJECT
public:
    explicit CKaraokeApplication(const ApplicationServices& services);
    ~CKaraokeApplication() override;

    CMainWindow& MainWindow() { return *m_mainWindow; }
    CKaraokeSession& Session() { return *m_session; }
    CSettings& Settings() { return *m_settings; }
    CLyricsShowWindow& LyricsWindow() { return *m_lyricsWindow; }
    CVolumeWindow& VolumeWindow() { return *m_volumeWindow; }
    // What the voice goes through in the performance and in 耳返, as 效果 sets it.
    CVoiceEffectChoice& VoiceEffect() { return *m_voiceEffect; }
    CSongListWindow& SongListWindow() { return *m_songListWindow; }
    CVideoWindow& VideoWindow() { return *m_videoWindow; }
    // Null without the catalogue's services.
    CCatalogWindow* CatalogWindow() { return m_catalogWindow.get(); }
    // Null without the catalogue's and the phones' services.
    CPhoneWindow* PhoneWindow() { return m_phoneWindow.get(); }

    // Shows the main window and its companions docked around it, then offers the takes that a
    // program which ended without saving them left behind.
    void Show();

    bool IsPlaying() const override;
    void Play() override;
    void Stop() override;
    void PlayFile(const std::filesystem::path& path) override;
    bool CanPlayNeighbour(int step) const override;
    void PlayNeighbour(int step) override;
    MediaTrack Track() const override;
    std::int64_t PositionMicroseconds() const override;
    void Raise() override;
    void Quit() override;
    bool IsBusy() const override;
    void ShowNotice(std::u16string_view text) override;

private:
    void OfferPerformance(std::unique_ptr<CPerformanceTake> take) override;
    void AttachCatalog(const CatalogServices& catalog, IUserPrompts& prompts, const PhoneServices* phone);
    // The main window's 评分 menu: the switch and the difficulty, both remembered.
    void AddScoringMenu();
    // The main window's 视频 menu: the video window, the 原唱/伴唱 switch (F2, anywhere in the
    // program) and where the vocal is.
    void AddVideoMenu();
    // Null when nothing is scored this run.
    CSongScoring* Scoring() { return m_scoring.get(); }

signals:
    // The window has closed; the program ends with this code.
    void finished(int code);

private:
    SessionServices m_sessionServices;
    std::unique_ptr<CSettings> m_settings;
    std::unique_ptr<CKaraokeSession> m_session;
    std::unique_ptr<CVoiceEffectChoice> m_voiceEffect;
    std::unique_ptr<CLiveScoring> m_liveScoring;
    std::unique_ptr<CSongScoring> m_scoring;
    CompanionWindows m_companions;
    std::unique_ptr<CMainWindow> m_mainWindow;
    std::unique_ptr<CLyricsShowWindow> m_lyricsWindow;
    std::unique_ptr<CVolumeWindow> m_volumeWindow;
    std::unique_ptr<CSongListWindow> m_songListWindow;
    std::unique_ptr<CVideoWindow> m_videoWindow;
    std::unique_ptr<CCatalogService> m_catalogue; // the windows' and the phones' one catalogue
    std::unique_ptr<ISongStarter> m_songStarter;
    std::unique_ptr<CSongPicker> m_songPicker;
    std::unique_ptr<CCatalogWindow> m_catalogWindow;
    std::unique_ptr<IPhoneHostControls> m_phoneHost;
    std::unique_ptr<CPhoneWindow> m_phoneWindow;
};

} // namespace linlangok
