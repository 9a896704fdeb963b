#pragma once

#include "core/controller/MainController.h"
#include "ui/widgets/DialogTemplate.h"

#include <QDialog>
#include <QTimer>

#include <filesystem>
#include <memory>
#include <optional>

class QCheckBox;
class QLineEdit;
class QMenu;
class QMenuBar;
class QSpinBox;

namespace linlangok {

// Control identifiers of the main window (no fixed underlying type: lupdate misreads one).
enum EMainControl {
    kExitButton = 1,
    kPlayButton = 1000,
    kStopButton = 1002,
    kRecordButton = 1003,
    kStopRecordingButton = 1005,
    kAccompanimentEdit = 1007,
    kBrowseAccompanimentButton = 1008,
    kStatusDisplay = 1009,
    kLyricEdit = 1010,
    kBrowseLyricButton = 1011,
    kToggleLyricsButton = 1020,
    kToggleSongListButton = 1021,
    kToggleVolumeButton = 1022,
    kStopTogetherBox = 1052,
    kStartTogetherBox = 1056,
    kPitchEdit = 1066,
    kPitchUpDown = 1067,
    kSaveAsButton = 1068,
    kPitchLabel = 1069,
    kLevelMeter = 1070,
    kHelpButton = 1071,
    kMelodyBox = 1072,
    kTempoLabel = 1073,
    kTempoSpin = 1074,
};

// Quit codes: the identifiers of the commands that end the program.
inline constexpr int kQuitByExitButton = 1;
inline constexpr int kQuitByClose = 2;
inline constexpr int kQuitByMenu = 32787;

class CInputLevelMeterWidget;
class CKaraokeSession;
class CStatusDisplay;
class CUpDownControl;
class IWaveInSystem;

struct MainWindowParts {
    CKaraokeSession& session;
    IUserPrompts& prompts;
    IDesktopOpener& desktop;
    IWaveInSystem& meterInput;
    const CompanionWindows& companions;
    std::filesystem::path helpFolder;
    IPerformanceOffer* performanceOffer = nullptr; // null: no performance is offered
    CSongScoring* scoring = nullptr; // null: nothing is scored
};

// The main control window: a fixed-size dialog laid out in dialog units from the dialog font,
// with the menu, the status display, the level meter and the controls; every command goes to the
// controller. The parts outlive the window. UI thread.
class CMainWindow final : public QDialog, private IMainControls {
    Q_OBJECT
public:
    explicit CMainWindow(const MainWindowParts& parts, QWidget* parent = nullptr);
    ~CMainWindow() override;

    CMainController& Controller() { return *m_controller; }
    // The control with the identifier, or null.
    QWidget* Control(int id) const { return m_controls.Control(id); }
    QMenuBar* MenuBar() const { return m_menuBar; }
    // A menu of the program's other windows, before 帮助 (the menu bar owns it).
    QMenu* AddMenu(const QString& title);
    CStatusDisplay& StatusDisplay() const { return *m_statusDisplay; }
    CInputLevelMeterWidget& LevelMeter() const { return *m_levelMeter; }

    // Ends the program with the quit code once the controller lets it (CMainController::Quit: a
    // take that runs is ended and saved first): the window closes and quitRequested is emitted.
    // Asked while a command waits on a box, it is carried out when that command has ended.
    void Quit(int code);
    // The "退出(&X)" menu item.
    void QuitFromMenu() { Quit(kQuitByMenu); }
    // SIGTERM and SIGINT: nobody is there to answer, so the prompts stop asking (a take that runs
    // is kept under a dated name), then the menu item's quit.
    void Terminate();

    void ShowAbout();

signals:
    void quitRequested(int code);
    // After each 200 ms display tick that ran: none while a song loads, so what listens reads the
    // session as the window does.
    void displayTicked();
    // F11: the lyrics full screen, or back.
    void stageViewRequested();

protected:
    void reject() override; // Esc
    void closeEvent(QCloseEvent* event) override;
    // Space that no focused control took: plays or stops.
    void keyPressEvent(QKeyEvent* event) override;
    // Files dropped on the window: an LRC file becomes the lyric file, another the accompaniment.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void WriteControls(const MainControlValues& values) override;
    void WritePitchText(const std::u16string& text) override;
    void SetPitchUpDownPosition(int position) override;
    void WriteTempoPercent(int percent) override;
    void WriteMelody(bool on) override;
    void ApplyEnableStates(const MainEnableStates& states) override;
    void SetButtonText(EControlRole role, std::u16string_view text) override;
    void FocusControl(EControlRole control) override;
    void Beep() override;
    void SetRecordTickRunning(bool running) override;
    void ShowStatus(const StatusValues& values) override;

    // The control that has the role.
    int ControlId(EControlRole role) const;
    void BuildMenu();
    void Connect();
    // Ctrl+R, "+"/"-", F1 and F11, with their keys (and Space's) in the controls' tooltips. Text edits
    // keep the keys they type.
    void AddShortcuts();
    void PlaceOnScreen();

    IUserPrompts& m_prompts;
    QMenuBar* m_menuBar = nullptr;
    QMenu* m_helpMenu = nullptr;
    CStatusDisplay* m_statusDisplay = nullptr;
    CInputLevelMeterWidget* m_levelMeter = nullptr;
    QLineEdit* m_accompanimentEdit = nullptr;
    QLineEdit* m_lyricEdit = nullptr;
    QLineEdit* m_pitchEdit = nullptr;
    QCheckBox* m_startTogether = nullptr;
    QCheckBox* m_stopTogether = nullptr;
    QCheckBox* m_melody = nullptr;
    CUpDownControl* m_pitchUpDown = nullptr;
    QSpinBox* m_tempo = nullptr;
    CDialogControls m_controls;
    QTimer m_displayTick;
    QTimer m_recordTick;
    bool m_quitting = false;
    std::optional<int> m_pendingQuit; // asked while a command ran
    std::unique_ptr<CMainController> m_controller;
};

} // namespace linlangok
