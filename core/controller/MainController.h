#pragma once

#include "common/SongKind.h"
#include "common/UserPrompts.h"
#include "core/controller/PerformanceController.h"
#include "core/controller/StatusText.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// The main control window's state machine without the window: the playing and recording flags,
// the check boxes' flags, the pitch, the two window timers' work, the enable rules and every
// command. The dialog binds its widgets to it through IMainControls.
namespace linlangok {

class CKaraokeSession;

// Control identifiers of the main window.
enum EMainControl : int {
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

inline constexpr int kPitchMinimum = -127; // MIDI songs; audio songs -12..12 (kAudioPitchLimit)
inline constexpr int kPitchMaximum = 127;
inline constexpr int kPitchUpDownOffset = 128; // up-down position = pitch + 128, range 0..255
inline constexpr int kPitchUpDownMaximum = 255;
inline constexpr int kTempoStepPercent = 5; // the tempo spin box's step; its range is 50..150 %

// What the editable controls hold.
struct MainControlValues {
    bool startTogether = true; // 1056 "同步播放开始"
    bool stopTogether = true; // 1052 "同步播放结束"
    std::u16string accompaniment; // 1007: the path as CPathDisplay shows it
    std::u16string lyric; // 1010: the same
    std::u16string pitch; // 1066
    bool melody = true; // 1072 "原唱旋律"
};

// Which controls are enabled.
struct MainEnableStates {
    bool lyricControls = true; // 1010, 1011
    bool record = true; // 1003
    bool stopRecording = false; // 1005
    bool play = true; // 1000
    bool stop = false; // 1002
    bool saveAs = false; // 1068
    bool pitch = false; // 1066, 1067 and the tempo, 1074, which follows the pitch's rule

    bool operator==(const MainEnableStates&) const = default;
};

MainEnableStates ComputeEnableStates(ESongKind kind, bool playing, bool recording);

// A signed decimal number as an edit reads it: optional blanks, an optional "-", then digits only.
// Nothing for anything else, or a value outside the 32-bit range.
std::optional<int32_t> ParseSignedNumber(std::u16string_view text);

// The file-name part of a path: the text after its last "/" (the whole path without one).
std::u16string FileNamePart(std::u16string_view path);

// The dialog's side: its controls, as the controller reads and writes them. UI thread.
class IMainControls {
public:
    virtual ~IMainControls() = default;

    virtual MainControlValues ReadControls() const = 0;
    // Writes every value without raising the controls' change notifications.
    virtual void WriteControls(const MainControlValues& values) = 0;
    virtual void WritePitchText(const std::u16string& text) = 0;
    virtual void SetPitchUpDownPosition(int position) = 0;
    // Writes the tempo without raising the control's change notification.
    virtual void WriteTempoPercent(int percent) = 0;
    // Ticks or unticks the "原唱旋律" box, as the session's guide melody is.
    virtual void WriteMelody(bool on) = 0;
    virtual void ApplyEnableStates(const MainEnableStates& states) = 0;
    virtual void SetButtonText(int control, std::u16string_view text) = 0;
    virtual void FocusControl(int control) = 0;
    virtual void Beep() = 0;
    // Starts or stops the 1,000 ms record tick.
    virtual void SetRecordTickRunning(bool running) = 0;
    // The status display shows these values (repainted without flicker).
    virtual void ShowStatus(const StatusValues& values) = 0;
};

// A companion window as the main window shows and hides it.
class ICompanionWindow {
public:
    virtual ~ICompanionWindow() = default;
    virtual bool IsShown() const = 0;
    virtual void SetShown(bool shown) = 0;
};

// The input level meter on the main window: runs while playing or recording.
class ILevelMeterControl {
public:
    virtual ~ILevelMeterControl() = default;
    // Start does nothing while the meter runs.
    virtual void Start() = 0;
    virtual void Stop() = 0;
};

// Documents and web pages, opened by the desktop.
class IDesktopOpener {
public:
    virtual ~IDesktopOpener() = default;
    virtual void OpenDocument(const std::filesystem::path& path) = 0;
    virtual void OpenWebPage(std::u16string_view address) = 0;
};

enum class ECompanion { Lyrics, SongList, Volume };

// The companion windows, once they exist (they are made after the main window); null before.
struct CompanionWindows {
    ICompanionWindow* lyrics = nullptr;
    ICompanionWindow* songList = nullptr;
    ICompanionWindow* volume = nullptr;
};

struct MainControllerParts {
    CKaraokeSession& session;
    IMainControls& controls;
    IUserPrompts& prompts;
    ILevelMeterControl& levelMeter;
    IDesktopOpener& desktop;
    const CompanionWindows& companions;
    std::filesystem::path helpFolder; // Karaoke.html and Help.html
    IPerformanceOffer* performanceOffer = nullptr; // null: no performance is offered
};

// Every operation runs on the UI thread. The parts outlive the controller.
class CMainController {
public:
    explicit CMainController(const MainControllerParts& parts);

    // The dialog's initialisation: flags and pitch reset, enable rules applied, values written.
    void Initialize();

    void Play();
    void Stop();
    // A recording that cannot start (the session says why) is not shown as running, and the song
    // it was to start is stopped again.
    void Record();
    // Stops the recording (and the song with stop-together as the box is now) and runs the voice's
    // save-as flow. When the voice was saved and the song was heard meanwhile, the performance is
    // offered, with a song that still plays playing on.
    void StopRecording();
    void BrowseAccompaniment();
    void BrowseLyric();
    // A file dropped on the window: an LRC file becomes the lyric file (as if browsed), anything
    // else the accompaniment.
    void FileDropped(const std::filesystem::path& path);
    // The keyboard's shortcuts: Space plays or stops, Ctrl+R records or stops recording, "+" and
    // "-" step the pitch as the up-down does (only while the pitch can be changed).
    void TogglePlay();
    void ToggleRecord();
    void StepPitch(int semitones);
    void SaveAs();
    // The user changed the pitch edit: the value is read, clamped, stored and remembered for the
    // song.
    void PitchEdited();
    void PitchStepped(int upDownPosition);
    // The user changed the tempo: clamped to 50..150 % (the control then shows it) and handed to
    // the session, which applies it to an audio song at once and to a MIDI song at its next Play.
    // It stays for every song until changed.
    void TempoEdited(int percent);
    // The "原唱旋律" check box: the guide melody on or off (a video song's original vocal or its
    // backing), at once, remembered for the song.
    void SetMelody(bool on);
    // F2 and the video window's switch: the box's other state, which it then shows.
    void ToggleMelody();
    // The user ticked or unticked "同步播放开始" or "同步播放结束": Record and Stop-recording go by
    // the box as it is then, and writing the controls keeps what the user set.
    void SetStartTogether(bool on) { m_startTogether = on; }
    void SetStopTogether(bool on) { m_stopTogether = on; }
    void ToggleCompanion(ECompanion which);
    // A companion window closed by the user (it only hides): its button offers to show it.
    void CompanionClosed(ECompanion which);
    void OpenHelp();
    void OpenHelpTopics();
    void OpenDownloadPage();
    // Every way out (退出, Esc, the close box, the menu, a termination signal): while recording,
    // asks "当前正在录音,需要退出程序吗?" and on anything but No ends the take as StopRecording
    // does (its save flow, then its performance), so that quitting never loses a take. False to
    // stay.
    bool Quit();
    // At start: the takes left by a program that ended without saving them are offered for saving.
    void OfferDeadTakes();

    // The 200 ms display tick: position and length from the session, the song-end rule, the
    // repaint. Skipped while a song loads. Under a box that a command raised (a modal box runs a
    // nested event loop) the song is shown as it plays on, and its end waits until the command is
    // done.
    void DisplayTick();
    // The 1,000 ms record tick.
    void RecordTick();

    // For the song list window. PickSong works only while neither playing nor recording. Both,
    // and browsing, restore what the song remembers (CKaraokeSession::RecallSong); PlayNow plays
    // at the remembered pitch, or at 0 when none is, and the edit shows it.
    void PickSong(const std::u16string& path);
    void PlayNow(const std::u16string& path);

    // Called after the display tick has stopped a song that reached its end by itself.
    void SetSongEndHandler(std::function<void()> ended) { m_songEnded = std::move(ended); }

    // Whether the windows' timers may read the session now: false while a song loads, when a box
    // raised meanwhile would find it half loaded.
    bool TimersMayRun() const { return m_loadDepth == 0; }
    // Whether a command is half done: a box it raised runs the event loop meanwhile.
    bool IsCommandRunning() const { return m_commandDepth > 0; }
    // Shows a message in the status display, in the song's place, for a few seconds: for what
    // must block nothing, such as the failure of a command from outside the window.
    void ShowNotice(std::u16string text);

    bool IsPlaying() const { return m_playing; }
    bool IsRecording() const { return m_recording; }
    int32_t TempoPercent() const;
    StatusValues Status() const;

private:
    // Counts a running command, or a song's load.
    class CCommandScope {
    public:
        explicit CCommandScope(int& depth)
            : m_depth(depth)
        {
            ++m_depth;
        }
        ~CCommandScope() { --m_depth; }

    private:
        int& m_depth;
    };

    struct CompanionToggle {
        ICompanionWindow* window;
        int button;
        std::u16string_view hideText;
        std::u16string_view showText;
    };

    CompanionToggle Toggle(ECompanion which) const;
    // Writes the value into the pitch edit and runs Pitch edited on it (which clamps it).
    void WritePitch(int32_t value);
    // Clamps the value to the song kind's range (the edit then shows it), moves the up-down and
    // stores it as the session's pitch.
    void StorePitch(int32_t value);
    void PlaySession();
    void UseAccompaniment(const std::filesystem::path& path);
    void UseLyricFile(const std::filesystem::path& path);
    bool ReadValues();
    void WriteValues();
    // Pitch edited, without remembering the pitch for the song.
    void ApplyPitchEdit();
    // Restores what the accompaniment file remembers; its pitch, if any.
    std::optional<int32_t> RecallSong();
    void StopCommand();
    void ApplyEnableRules();
    void RefreshStatus();
    void StopMeterWhenIdle();

    MainControllerParts m_parts;
    CKaraokeSession& m_session;
    IMainControls& m_controls;
    bool m_playing = false;
    bool m_recording = false;
    bool m_startTogether = true;
    bool m_stopTogether = true;
    int32_t m_pitch = 0;
    int32_t m_recordingSeconds = 0;
    int32_t m_displayPosition = 0;
    int32_t m_displayLength = 0;
    std::u16string m_displayName;
    MainEnableStates m_enableStates;
    int m_commandDepth = 0;
    int m_loadDepth = 0;
    std::u16string m_notice;
    int m_noticeTicks = 0; // display ticks until the notice goes
    std::function<void()> m_songEnded;
};

} // namespace linlangok
