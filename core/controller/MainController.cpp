#include "core/controller/MainController.h"

#include "common/EditText.h"
#include "common/FilePath.h"
#include "common/Product.h"
#include "common/Text.h"
#include "common/Translation.h"
#include "core/controller/SongScoring.h"
#include "core/lyrics/LyricFileLookup.h"
#include "core/lyrics/LyricsLayout.h"
#include "core/playback/AudioStretcher.h"
#include "core/session/KaraokeSession.h"

#include <utility>

namespace linlangok {
namespace {

const std::vector<FileFilter> kAccompanimentFilters {
    {std::u16string(kSongFilesDescription), SongFilePatterns(u';')},
    {u"MIDI File (*.mid;*.kar)", u"*.mid;*.midi;*.jp;*.kar"},
    {u"WAV  File (*.wav)", u"*.wav"},
    {u"MP3  File (*.mp3)", u"*.mp3"},
    {u"MP3+G (*.zip;*.cdg)", u"*.zip;*.cdg"},
    {u"UltraStar (*.txt)", u"*.txt"},
    {u"Video File (*.mpg;*.vob;*.dat;*.mkv;*.mp4;*.avi …)", VideoFilePatterns(u';')},
    {u"All Files (*.*)", u"*.*"},
};
const std::vector<FileFilter> kLyricFilters {{u"Lyric File (*.lrc)", u"*.lrc"}, {u"All Files (*.*)", u"*.*"}};
const std::vector<FileFilter> kMidiSaveFilters {{u"MIDI File (*.mid)", u"*.mid"}, {u"All Files (*.*)", u"*.*"}};

// Five seconds of 200 ms display ticks.
constexpr int kNoticeTicks = 25;

std::u16string SignedText(std::int32_t value)
{
    return Utf8ToUtf16(std::to_string(value));
}

// The path a path edit holds: an edit shows its path as names show it, so the text it was given
// stands for that path until the user changes it.
std::u16string EditedPath(const std::u16string& text, const std::u16string& shownPath, const CPathDisplay& names)
{
    return text == names.Text(shownPath) ? shownPath : text;
}

} // namespace

MainEnableStates ComputeEnableStates(ESongKind kind, bool playing, bool recording)
{
    const bool midi = kind == ESongKind::Midi;
    MainEnableStates states;
    states.lyricControls = !midi;
    states.record = !recording;
    states.stopRecording = recording;
    states.play = !playing;
    states.stop = playing;
    states.saveAs = midi;
    // An audio song changes key and tempo while it plays; a MIDI song takes them at the next Play.
    states.pitch = midi ? !playing : kind == ESongKind::Audio;
    return states;
}

CMainController::CMainController(const MainControllerParts& parts)
    : m_parts(parts)
    , m_session(parts.session)
    , m_controls(parts.controls)
{
}

void CMainController::Initialize()
{
    m_playing = false;
    m_recording = false;
    m_recordingSeconds = 0;
    m_pitch = 0;
    m_values.startTogether = true;
    m_values.stopTogether = true;
    m_session.KeyAndTempo().SetTempoPercent(100);
    m_controls.WriteTempoPercent(100);
    ApplyEnableRules();
    WriteValues();
    RefreshStatus();
}

void CMainController::Handle(const MainCommand& command)
{
    CCommandScope scope(m_commandDepth);
    std::visit([this](const auto& alternative) { Run(alternative); }, command);
}

void CMainController::Run(const command::Play&)
{
    // The song shown plays: a path typed or set into an edit since it was written is taken first.
    RememberEditedPitch();
    ApplyEditedValues();
    PlayCommand();
}

void CMainController::PlayCommand()
{
    PlaySession();
    RefreshStatus();
    ApplyEnableRules();
    m_parts.levelMeter.Start();
}

void CMainController::PlaySession()
{
    RememberEditedPitch();
    {
        CCommandScope loading(m_loadDepth);
        m_session.Play();
    }
    m_playing = true;
    if (m_parts.scoring)
        m_parts.scoring->SongStarted();
    // An audio song plays within its own range: the edit shows the pitch it plays at.
    if (m_session.Kind() == ESongKind::Audio)
        StorePitch(m_pitch);
}

void CMainController::Run(const command::Stop&)
{
    StopCommand();
}

void CMainController::StopCommand()
{
    StopSession();
    RefreshStatus();
    ApplyEnableRules();
    StopMeterWhenIdle();
}

void CMainController::StopSession()
{
    const bool scored = m_parts.scoring && m_playing;
    if (scored)
        m_parts.scoring->SongStopped();
    m_session.Stop();
    m_playing = false;
    if (scored && m_parts.scoring->LastResult())
        ShowNotice(ScoreStatusText(m_parts.scoring->LastResult()->score, m_parts.scoring->BestScore()));
}

void CMainController::Run(const command::Record&)
{
    RememberEditedPitch();
    ApplyEditedValues();
    const bool startsSong = m_values.startTogether && !m_playing;
    if (m_values.startTogether)
        PlaySession();
    m_controls.SetRecordTickRunning(true);
    m_recordingSeconds = 0;
    // A recording that could not start is not shown as running, nor is the song it was to start
    // left playing: the recording has said why.
    m_session.Recording().StartRecording();
    m_recording = m_session.Recording().IsRecording();
    if (!m_recording) {
        m_controls.SetRecordTickRunning(false);
        if (startsSong)
            StopSession();
    }
    RefreshStatus();
    ApplyEnableRules();
    if (m_playing || m_recording)
        m_parts.levelMeter.Start();
}

void CMainController::Run(const command::StopRecording&)
{
    if (m_values.stopTogether)
        StopSession();
    m_controls.SetRecordTickRunning(false);
    // The take is offered when the user saved the voice and the accompaniment was heard during it;
    // otherwise it is dropped.
    const bool saved = m_session.Recording().StopRecording().fate == ETakeFate::Saved;
    std::unique_ptr<CPerformanceTake> take = m_session.Recording().TakePerformance();
    if (take && m_parts.scoring)
        take->SetScore(m_parts.scoring->TakeScore());
    m_recording = false;
    m_recordingSeconds = 0;
    RefreshStatus();
    ApplyEnableRules();
    StopMeterWhenIdle();
    if (saved && take && m_parts.performanceOffer)
        m_parts.performanceOffer->OfferPerformance(std::move(take));
}

void CMainController::Run(const command::TogglePlay&)
{
    if (m_playing)
        Run(command::Stop {});
    else
        Run(command::Play {});
}

void CMainController::Run(const command::ToggleRecord&)
{
    if (m_recording)
        Run(command::StopRecording {});
    else
        Run(command::Record {});
}

void CMainController::Run(const command::PathEdited& edited)
{
    (edited.edit == EPathEdit::Lyric ? m_values.lyric : m_values.accompaniment) = edited.text;
}

void CMainController::Run(const command::Browse& browse)
{
    const bool lyric = browse.edit == EPathEdit::Lyric;
    FileDialogRequest request;
    request.filters = lyric ? kLyricFilters : kAccompanimentFilters;
    request.defaultExtension = lyric ? u"*.lrc" : u"*.mid;*.wav;*.mp3";
    if (const auto path = m_parts.prompts.AskOpenPath(request))
        UsePath(browse.edit, *path);
}

void CMainController::Run(const command::DropFile& dropped)
{
    std::u16string extension = PathToUtf16(dropped.path.extension());
    for (char16_t& character : extension)
        character = character >= u'A' && character <= u'Z' ? character - u'A' + u'a' : character;
    UsePath(extension == u".lrc" ? EPathEdit::Lyric : EPathEdit::Accompaniment, dropped.path);
}

void CMainController::UsePath(EPathEdit edit, const std::filesystem::path& path)
{
    if (edit == EPathEdit::Lyric) {
        m_session.Lyrics().SetPath(PathToUtf16(path));
        m_session.Lyrics().RememberPath();
        m_session.Lyrics().Show().LoadLrcLyrics(path);
    } else {
        RememberEditedPitch();
        m_session.SetAccompanimentPath(PathToUtf16(path));
        RecallSong();
    }
    WriteValues();
}

void CMainController::Run(const command::StepPitch& step)
{
    // The edit keeps no focus here, so that the next key press is a shortcut again.
    if (m_enableStates.pitch)
        WritePitch(m_pitch + step.semitones);
}

void CMainController::Run(const command::SaveAs&)
{
    const std::u16string& accompaniment = m_session.AccompanimentPath();
    const size_t dot = accompaniment.rfind(u'.');
    FileDialogRequest request;
    request.filters = kMidiSaveFilters;
    request.defaultExtension = u"mid"; // a bare name is a MIDI file, not taken for audio later
    request.askBeforeOverwrite = true;
    request.initialPath = Utf16ToPath(dot == std::u16string::npos ? u"" : accompaniment.substr(0, dot));
    if (const auto path = m_parts.prompts.AskSavePath(request))
        m_session.SaveTransposed(*path);
}

void CMainController::Run(const command::PitchEdited& edited)
{
    m_values.pitch = edited.text;
    ApplyPitchEdit();
    m_pitchEdited = true;
}

void CMainController::ApplyPitchEdit()
{
    ApplyEditedValues();
    StorePitch(ParseSignedNumber(m_values.pitch).value_or(0));
}

void CMainController::StorePitch(std::int32_t value)
{
    const bool audio = m_session.Kind() == ESongKind::Audio;
    const std::int32_t lowest = audio ? -kAudioPitchLimit : kPitchMinimum;
    const std::int32_t highest = audio ? kAudioPitchLimit : kPitchMaximum;
    if (value < lowest || value > highest) {
        value = value < lowest ? lowest : highest;
        m_values.pitch = SignedText(value);
        m_controls.WritePitchText(m_values.pitch);
    }
    m_pitch = value;
    m_controls.SetPitchUpDownPosition(value + kPitchUpDownOffset);
    m_session.KeyAndTempo().SetPitch(value);
}

void CMainController::RememberEditedPitch()
{
    if (std::exchange(m_pitchEdited, false))
        m_session.KeyAndTempo().RememberPitch();
}

void CMainController::Run(const command::PitchStepped& stepped)
{
    WritePitch(stepped.upDownPosition - kPitchUpDownOffset);
    m_controls.FocusControl(EControlRole::PitchEdit);
}

void CMainController::Run(const command::TempoEdited& edited)
{
    m_session.KeyAndTempo().SetTempoPercent(edited.percent);
    if (m_session.KeyAndTempo().TempoPercent() != edited.percent)
        m_controls.WriteTempoPercent(m_session.KeyAndTempo().TempoPercent());
}

std::int32_t CMainController::TempoPercent() const
{
    return m_session.KeyAndTempo().TempoPercent();
}

void CMainController::WritePitch(std::int32_t value)
{
    const std::u16string text = SignedText(value);
    m_controls.WritePitchText(text);
    Run(command::PitchEdited {text});
}

void CMainController::Run(const command::SetMelody& melody)
{
    m_session.SetMelody(melody.on);
}

void CMainController::Run(const command::ToggleMelody&)
{
    m_session.SetMelody(!m_session.Melody());
    m_controls.WriteMelody(m_session.Melody());
}

void CMainController::Run(const command::SetStartTogether& box)
{
    m_values.startTogether = box.on;
}

void CMainController::Run(const command::SetStopTogether& box)
{
    m_values.stopTogether = box.on;
}

CMainController::CompanionToggle CMainController::Toggle(ECompanion which) const
{
    const CompanionWindows& windows = m_parts.companions;
    switch (which) {
    case ECompanion::Lyrics:
        return {windows.lyrics, EControlRole::LyricsButton, Tr("CMainController", "隐藏歌词"),
            Tr("CMainController", "显示歌词")};
    case ECompanion::SongList:
        return {windows.songList, EControlRole::SongListButton, Tr("CMainController", "隐藏列表"),
            Tr("CMainController", "显示列表")};
    case ECompanion::Volume:
        break;
    }
    return {windows.volume, EControlRole::VolumeButton, Tr("CMainController", "隐藏控制"),
        Tr("CMainController", "显示控制")};
}

void CMainController::Run(const command::ToggleCompanion& toggled)
{
    const CompanionToggle toggle = Toggle(toggled.which);
    if (!toggle.window)
        return;
    const bool show = !toggle.window->IsShown();
    toggle.window->SetShown(show);
    m_controls.SetButtonText(toggle.button, show ? toggle.hideText : toggle.showText);
}

void CMainController::Run(const command::CompanionClosed& closed)
{
    const CompanionToggle toggle = Toggle(closed.which);
    m_controls.SetButtonText(toggle.button, toggle.showText);
}

void CMainController::Run(const command::OpenHelp&)
{
    m_parts.desktop.OpenDocument(m_parts.helpFolder / "Karaoke.html");
}

void CMainController::Run(const command::OpenHelpTopics&)
{
    m_parts.desktop.OpenDocument(m_parts.helpFolder / "Help.html");
}

void CMainController::Run(const command::OpenDownloadPage&)
{
    m_parts.desktop.OpenWebPage(kMakerDownloadAddress);
}

void CMainController::Run(const command::Quit&)
{
    RememberEditedPitch();
    if (!m_recording)
        return;
    MessageRequest question;
    question.caption = ApplicationTitle();
    question.text = Tr("CMainController", "当前正在录音,需要退出程序吗?");
    question.buttons = EMessageButtons::YesNo;
    question.icon = EMessageIcon::Question;
    // Unanswered, as when a termination signal ends the program, the take is ended and kept.
    if (m_parts.prompts.ShowMessage(question) != EPromptAnswer::No)
        Run(command::StopRecording {});
}

void CMainController::Run(const command::OfferDeadTakes&)
{
    m_session.Recording().OfferDeadTakes();
}

void CMainController::DisplayTick()
{
    if (!TimersMayRun())
        return;
    const bool commandRunning = IsCommandRunning();
    bool ended = false;
    if (m_parts.scoring)
        m_parts.scoring->Tick();
    m_displayPosition = TruncateToInt(m_session.Position());
    m_displayLength = m_session.Length();
    if (m_session.HasReachedEnd()) {
        // The command reads the flags again when its box closes; until then the song holds at its end.
        if (commandRunning) {
            m_displayPosition = m_displayLength;
        } else {
            ended = m_playing;
            Handle(command::Stop {});
        }
    }
    if (m_noticeTicks > 0 && --m_noticeTicks == 0)
        m_notice.clear();
    m_controls.ShowStatus(Status());
    if (ended && m_songEnded)
        m_songEnded();
}

void CMainController::ShowNotice(std::u16string text)
{
    m_notice = std::move(text);
    m_noticeTicks = kNoticeTicks;
    m_controls.ShowStatus(Status());
}

void CMainController::RecordTick()
{
    ++m_recordingSeconds;
}

void CMainController::Run(const command::PickSong& pick)
{
    if (m_playing || m_recording)
        return;
    RememberEditedPitch();
    m_session.SetAccompanimentPath(pick.path);
    RecallSong();
    WriteValues();
    m_session.PickKind(pick.path);
    const MainEnableStates picked = ComputeEnableStates(m_session.Kind(), false, false);
    m_enableStates.saveAs = picked.saveAs;
    m_enableStates.pitch = picked.pitch;
    m_controls.ApplyEnableStates(m_enableStates);
}

void CMainController::Run(const command::PlayNow& play)
{
    RememberEditedPitch();
    m_session.SetAccompanimentPath(play.path);
    m_session.Lyrics().SetPath(u"");
    // The song plays at the key that the edit then shows: its remembered one, else 0.
    m_pitch = RecallSong().value_or(0);
    m_session.KeyAndTempo().SetPitch(m_pitch);
    PlayCommand();
    WriteValues();
}

std::optional<std::int32_t> CMainController::RecallSong()
{
    const SongMemoryValues values = m_session.RecallSong();
    if (values.pitch)
        m_pitch = *values.pitch;
    return values.pitch;
}

StatusValues CMainController::Status() const
{
    StatusValues values;
    values.name = m_displayName;
    values.positionSeconds = m_displayPosition;
    values.lengthSeconds = m_displayLength;
    values.recordingSeconds = m_recordingSeconds;
    values.playing = m_playing;
    values.recording = m_recording;
    values.notice = m_notice;
    values.playbackDropouts = m_session.Dropouts().Count();
    values.recordingDropouts = m_session.Recording().DropoutCount();
    return values;
}

void CMainController::ApplyEditedValues()
{
    const CPathDisplay& names = m_session.Texts().PathDisplay();
    m_session.SetAccompanimentPath(EditedPath(m_values.accompaniment, m_session.AccompanimentPath(), names));
    m_session.Lyrics().SetPath(EditedPath(m_values.lyric, m_session.Lyrics().Path(), names));
    const auto pitch = ParseSignedNumber(m_values.pitch);
    if (!pitch) {
        m_controls.Beep();
        m_controls.FocusControl(EControlRole::PitchEdit);
        return;
    }
    m_pitch = *pitch;
}

void CMainController::WriteValues()
{
    m_values.accompaniment = m_session.Texts().PathDisplay().Text(m_session.AccompanimentPath());
    m_values.lyric = m_session.Texts().PathDisplay().Text(m_session.Lyrics().Path());
    m_values.pitch = SignedText(m_pitch);
    m_values.melody = m_session.Melody();
    m_controls.WriteControls(m_values);
    // The pitch written is taken as the edit's value; the user changed no pitch, so nothing is
    // remembered.
    ApplyPitchEdit();
}

void CMainController::ApplyEnableRules()
{
    m_enableStates = ComputeEnableStates(m_session.Kind(), m_playing, m_recording);
    m_controls.ApplyEnableStates(m_enableStates);
}

void CMainController::RefreshStatus()
{
    m_displayName = m_session.Texts().PathDisplay().Text(FileNamePart(m_session.AccompanimentPath()));
    m_controls.ShowStatus(Status());
}

void CMainController::StopMeterWhenIdle()
{
    if (!m_playing && !m_recording)
        m_parts.levelMeter.Stop();
}

} // namespace linlangok
