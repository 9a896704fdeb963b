#pragma once

#include "core/controller/CompanionWindow.h"

#include <filesystem>
#include <string>
#include <variant>

// The commands of the main window, as its controls, its keys, its companion windows and the
// remotes send them: one typed event each, with the value the control now holds.
namespace linlangok {

// The two path edits, each with its 浏览... button.
enum class EPathEdit { Accompaniment, Lyric };

namespace command {

struct Play { };
struct Stop { };
// A recording that cannot start (the session says why) is not shown as running, and the song it
// was to start is stopped again.
struct Record { };
// Stops the recording (and the song with 同步播放结束) and runs the voice's save-as flow. When the
// voice was saved and the song was heard meanwhile, the performance is offered, with a song that
// still plays playing on.
struct StopRecording { };
// Space plays or stops, Ctrl+R records or stops recording.
struct TogglePlay { };
struct ToggleRecord { };
// The user typed in a path edit: the text reaches the session at the next Record.
struct PathEdited {
    EPathEdit edit;
    std::u16string text;
};
struct Browse {
    EPathEdit edit;
};
// A file dropped on the window: an LRC file becomes the lyric file (as if browsed), anything else
// the accompaniment.
struct DropFile {
    std::filesystem::path path;
};
// The user changed the pitch edit: the value is parsed (a beep for what is no number), clamped and
// stored; it is remembered for the song when it is used (Play, another song, quitting).
struct PitchEdited {
    std::u16string text;
};
// The up-down moved to its position (pitch + kPitchUpDownOffset).
struct PitchStepped {
    int upDownPosition;
};
// "+" and "-": a step as the up-down does, only while the pitch can be changed.
struct StepPitch {
    int semitones;
};
// Clamped to 50..150 % (the control then shows it) and handed to the session, which applies it to
// an audio song at once and to a MIDI song at its next Play. It stays for every song until changed.
struct TempoEdited {
    int percent;
};
// The "原唱旋律" box: the guide melody on or off (a video song's original vocal or its backing), at
// once, remembered for the song.
struct SetMelody {
    bool on;
};
// F2 and the video window's switch: the box's other state, which it then shows.
struct ToggleMelody { };
// "同步播放开始" and "同步播放结束": Record and Stop-recording go by the box as it is then.
struct SetStartTogether {
    bool on;
};
struct SetStopTogether {
    bool on;
};
struct SaveAs { };
struct ToggleCompanion {
    ECompanion which;
};
// A companion window closed by the user (it only hides): its button offers to show it.
struct CompanionClosed {
    ECompanion which;
};
struct OpenHelp { };
struct OpenHelpTopics { };
struct OpenDownloadPage { };
// Every way out (退出, Esc, the close box, the menu, a termination signal): while recording, asks
// "当前正在录音,需要退出程序吗?" and on anything but No ends the take as StopRecording does (its save
// flow, then its performance), so that quitting never loses a take. The program may end when no
// recording runs afterwards.
struct Quit { };
// At start: the takes left by a program that ended without saving them are offered for saving.
struct OfferDeadTakes { };
// From a song list: picked only while neither playing nor recording. Both restore what the song
// remembers; PlayNow plays at the remembered pitch, or at 0 when none is, and the edit shows it.
struct PickSong {
    std::u16string path;
};
struct PlayNow {
    std::u16string path;
};

} // namespace command

using MainCommand = std::variant<command::Play, command::Stop, command::Record, command::StopRecording,
    command::TogglePlay, command::ToggleRecord, command::PathEdited, command::Browse, command::DropFile,
    command::PitchEdited, command::PitchStepped, command::StepPitch, command::TempoEdited, command::SetMelody,
    command::ToggleMelody, command::SetStartTogether, command::SetStopTogether, command::SaveAs,
    command::ToggleCompanion, command::CompanionClosed, command::OpenHelp, command::OpenHelpTopics,
    command::OpenDownloadPage, command::Quit, command::OfferDeadTakes, command::PickSong, command::PlayNow>;

// The main window's controller as the companion windows and the remotes reach it. UI thread.
class IMainCommands {
public:
    virtual ~IMainCommands() = default;
    virtual void Handle(const MainCommand& command) = 0;
    virtual bool IsPlaying() const = 0;
    // Whether the windows' timers may read the session now: false while a song loads.
    virtual bool TimersMayRun() const = 0;
};

} // namespace linlangok
