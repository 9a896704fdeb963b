#pragma once

#include "common/SongKind.h"
#include "common/UserPrompts.h"
#include "core/controller/DesktopOpener.h"
#include "core/controller/MainCommand.h"
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
class CSongScoring;

// The main window's controls that the controller names; the window maps each to its control.
enum class EControlRole { PitchEdit, LyricsButton, SongListButton, VolumeButton };

inline constexpr int kPitchMinimum = -127; // MIDI songs; audio songs -12..12 (kAudioPitchLimit)
inline constexpr int kPitchMaximum = 127;
inline constexpr int kPitchUpDownOffset = 128; // up-down position = pitch + 128, range 0..255
inline constexpr int kPitchUpDownMaximum = 255;
inline constexpr int kTempoStepPercent = 5; // the tempo spin box's step; its range is 50..150 %

// What the editable controls hold.
struct MainControlValues {
    bool startTogether = true; // "同步播放开始"
    bool stopTogether = true; // "同步播放结束"
    std::u16string accompaniment; // the path as CPathDisplay shows it, or as the user typed it
    std::u16string lyric; // the same
    std::u16string pitch;
    bool melody = true; // "原唱旋律"
};

// Which controls are enabled.
struct MainEnableStates {
    bool lyricControls = true; // the lyric edit and its 浏览...
    bool record = true;
    bool stopRecording = false;
    bool play = true;
    bool stop = false;
    bool saveAs = false;
    bool pitch = false; // the edit, its up-down and the tempo, which follows the pitch's rule

    bool operator==(const MainEnableStates&) const = default;
};

MainEnableStates ComputeEnableStates(ESongKind kind, bool playing, bool recording);

// The dialog's side: its controls, as the controller writes them (what the user does comes as
// MainCommand events). UI thread.
class IMainControls {
public:
    virtual ~IMainControls() = default;

    // Writes every value without raising the controls' change notifications.
    virtual void WriteControls(const MainControlValues& values) = 0;
    virtual void WritePitchText(const std::u16string& text) = 0;
    virtual void SetPitchUpDownPosition(int position) = 0;
    // Writes the tempo without raising the control's change notification.
    virtual void WriteTempoPercent(int percent) = 0;
    // Ticks or unticks the "原唱旋律" box, as the session's guide melody is.
    virtual void WriteMelody(bool on) = 0;
    virtual void ApplyEnableStates(const MainEnableStates& states) = 0;
    virtual void SetButtonText(EControlRole button, std::u16string_view text) = 0;
    virtual void FocusControl(EControlRole control) = 0;
    virtual void Beep() = 0;
    // Starts or stops the 1,000 ms record tick.
    virtual void SetRecordTickRunning(bool running) = 0;
    // The status display shows these values (repainted without flicker).
    virtual void ShowStatus(const StatusValues& values) = 0;
};

// The input level meter on the main window: runs while playing or recording.
class ILevelMeterControl {
public:
    virtual ~ILevelMeterControl() = default;
    // Start does nothing while the meter runs.
    virtual void Start() = 0;
    virtual void Stop() = 0;
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
    CSongScoring* scoring = nullptr; // null: nothing is scored
};

// Every operation runs on the UI thread. The parts outlive the controller.
class CMainController final : public IMainCommands {
public:
    explicit CMainController(const MainControllerParts& parts);

    // The dialog's initialisation: flags and pitch reset, enable rules applied, values written.
    void Initialize();

    // Every command passes here, and counts as running (IsCommandRunning) until it is done, the
    // boxes that it raises included.
    void Handle(const MainCommand& command) override;

    // The 200 ms display tick: position and length from the session, the singer's pitches for
    // the score, the song-end rule, the repaint. Skipped while a song loads. Under a box that a command raised (a modal
    // box runs a nested event loop) the song is shown as it plays on, and its end waits until the command is done.
    void DisplayTick();
    // The 1,000 ms record tick.
    void RecordTick();

    // Called after the display tick has stopped a song that reached its end by itself.
    void SetSongEndHandler(std::function<void()> ended) { m_songEnded = std::move(ended); }

    // False while a song loads, when a box raised meanwhile would find it half loaded.
    bool TimersMayRun() const override { return m_loadDepth == 0; }
    // Whether a command is half done: a box it raised runs the event loop meanwhile.
    bool IsCommandRunning() const { return m_commandDepth > 0; }
    // Shows a message in the status display, in the song's place, for a few seconds: for what
    // must block nothing, such as the failure of a command from outside the window.
    void ShowNotice(std::u16string text);

    bool IsPlaying() const override { return m_playing; }
    bool IsRecording() const { return m_recording; }
    std::int32_t TempoPercent() const;
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
        EControlRole button;
        std::u16string hideText;
        std::u16string showText;
    };

    // The commands, each run by Handle.
    void Run(const command::Play&);
    void Run(const command::Stop&);
    void Run(const command::Record&);
    void Run(const command::StopRecording&);
    void Run(const command::TogglePlay&);
    void Run(const command::ToggleRecord&);
    void Run(const command::PathEdited& edited);
    void Run(const command::Browse& browse);
    void Run(const command::DropFile& dropped);
    void Run(const command::PitchEdited& edited);
    void Run(const command::PitchStepped& stepped);
    void Run(const command::StepPitch& step);
    void Run(const command::TempoEdited& edited);
    void Run(const command::SetMelody& melody);
    void Run(const command::ToggleMelody&);
    void Run(const command::SetStartTogether& box);
    void Run(const command::SetStopTogether& box);
    void Run(const command::SaveAs&);
    void Run(const command::ToggleCompanion& toggle);
    void Run(const command::CompanionClosed& closed);
    void Run(const command::OpenHelp&);
    void Run(const command::OpenHelpTopics&);
    void Run(const command::OpenDownloadPage&);
    void Run(const command::Quit&);
    void Run(const command::OfferDeadTakes&);
    void Run(const command::PickSong& pick);
    void Run(const command::PlayNow& play);

    CompanionToggle Toggle(ECompanion which) const;
    // Writes the value into the pitch edit and takes it as the user's edit (which clamps it).
    void WritePitch(std::int32_t value);
    // Clamps the value to the song kind's range (the edit then shows it), moves the up-down and
    // stores it as the session's pitch.
    void StorePitch(std::int32_t value);
    // Remembers the pitch that the user set for the song, once it is used.
    void RememberEditedPitch();
    // Plays the session's song and shows it playing; Play takes the edits' paths before it.
    void PlayCommand();
    void PlaySession();
    void UsePath(EPathEdit edit, const std::filesystem::path& path);
    // Hands the typed paths to the session and takes the pitch edit's number; what is no number
    // beeps and focuses the edit.
    void ApplyEditedValues();
    void WriteValues();
    // The pitch edit's value stored, without remembering it for the song.
    void ApplyPitchEdit();
    // Restores what the accompaniment file remembers; its pitch, if any.
    std::optional<std::int32_t> RecallSong();
    void StopCommand();
    // Stops the session's song, and judges it when it was scored.
    void StopSession();
    void ApplyEnableRules();
    void RefreshStatus();
    void StopMeterWhenIdle();

    MainControllerParts m_parts;
    CKaraokeSession& m_session;
    IMainControls& m_controls;
    MainControlValues m_values; // as the controls show them
    bool m_playing = false;
    bool m_recording = false;
    bool m_pitchEdited = false; // by the user, since it was last remembered
    std::int32_t m_pitch = 0;
    std::int32_t m_recordingSeconds = 0;
    std::int32_t m_displayPosition = 0;
    std::int32_t m_displayLength = 0;
    std::u16string m_displayName;
    MainEnableStates m_enableStates;
    int m_commandDepth = 0;
    int m_loadDepth = 0;
    std::u16string m_notice;
    int m_noticeTicks = 0; // display ticks until the notice goes
    std::function<void()> m_songEnded;
};

} // namespace linlangok
