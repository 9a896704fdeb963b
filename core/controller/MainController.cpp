#include "core/controller/MainController.h"

#include "common/FilePath.h"
#include "common/Product.h"
#include "common/Text.h"
#include "core/engine/AudioStretcher.h"
#include "core/lyrics/LyricFileLookup.h"
#include "core/lyrics/LyricsLayout.h"
#include "core/session/KaraokeSession.h"

#include <limits>

namespace linlangok {
namespace {

const std::vector<FileFilter> kAccompanimentFilters {
    {std::u16string(kSongFilesDescription), std::u16string(kSongFilesPattern)},
    {u"MIDI File (*.mid;*.kar)", u"*.mid;*.kar"},
    {u"WAV  File (*.wav)", u"*.wav"},
    {u"MP3  File (*.mp3)", u"*.mp3"},
    {u"MP3+G (*.zip;*.cdg)", u"*.zip;*.cdg"},
    {u"Video File (*.mpg;*.vob;*.dat;*.mkv;*.mp4;*.avi …)",
        u"*.mpg;*.mpeg;*.vob;*.dat;*.mkv;*.mp4;*.avi;*.webm;*.ts;*.m2ts"},
    {u"All Files (*.*)", u"*.*"},
};
const std::vector<FileFilter> kLyricFilters {{u"Lyric File (*.lrc)", u"*.lrc"}, {u"All Files (*.*)", u"*.*"}};
const std::vector<FileFilter> kMidiSaveFilters {{u"MIDI File (*.mid)", u"*.mid"}, {u"All Files (*.*)", u"*.*"}};

// Five seconds of 200 ms display ticks.
constexpr int kNoticeTicks = 25;

std::u16string SignedText(int32_t value)
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

std::optional<int32_t> ParseSignedNumber(std::u16string_view text)
{
    size_t index = 0;
    while (index < text.size() && (text[index] == u' ' || text[index] == u'\t'))
        ++index;
    const bool negative = index < text.size() && text[index] == u'-';
    if (negative)
        ++index;
    if (index == text.size())
        return std::nullopt;
    int64_t value = 0;
    for (; index < text.size(); ++index) {
        if (text[index] < u'0' || text[index] > u'9')
            return std::nullopt;
        value = value * 10 + (text[index] - u'0');
        if (value > int64_t {std::numeric_limits<int32_t>::max()} + 1)
            return std::nullopt;
    }
    value = negative ? -value : value;
    if (value > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return static_cast<int32_t>(value);
}

std::u16string FileNamePart(std::u16string_view path)
{
    const size_t slash = path.rfind(u'/');
    return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

CMainController::CMainController(const MainControllerParts& parts)
    : m_parts(parts)
    , m_session(parts.session)
    , m_controls(parts.controls)
{
}

void CMainController::Initialize()
{
    CCommandScope scope(m_commandDepth);
    m_playing = false;
    m_recording = false;
    m_recordingSeconds = 0;
    m_pitch = 0;
    m_startTogether = true;
    m_stopTogether = true;
    m_session.SetTempoPercent(100);
    m_controls.WriteTempoPercent(100);
    ApplyEnableRules();
    WriteValues();
    RefreshStatus();
}

void CMainController::Play()
{
    CCommandScope scope(m_commandDepth);
    PlaySession();
    RefreshStatus();
    ApplyEnableRules();
    m_parts.levelMeter.Start();
}

void CMainController::PlaySession()
{
    {
        CCommandScope loading(m_loadDepth);
        m_session.Play();
    }
    m_playing = true;
    // An audio song plays within its own range: the edit shows the pitch it plays at.
    if (m_session.Kind() == ESongKind::Audio)
        StorePitch(m_pitch);
}

void CMainController::Stop()
{
    CCommandScope scope(m_commandDepth);
    StopCommand();
}

void CMainController::StopCommand()
{
    m_session.Stop();
    m_playing = false;
    RefreshStatus();
    ApplyEnableRules();
    StopMeterWhenIdle();
}

void CMainController::Record()
{
    CCommandScope scope(m_commandDepth);
    ReadValues();
    const bool startsSong = m_startTogether && !m_playing;
    if (m_startTogether)
        PlaySession();
    m_controls.SetRecordTickRunning(true);
    m_recordingSeconds = 0;
    // A recording that could not start is not shown as running, nor is the song it was to start
    // left playing: the session has said why.
    m_recording = m_session.StartRecording();
    if (!m_recording) {
        m_controls.SetRecordTickRunning(false);
        if (startsSong) {
            m_session.Stop();
            m_playing = false;
        }
    }
    RefreshStatus();
    ApplyEnableRules();
    if (m_playing || m_recording)
        m_parts.levelMeter.Start();
}

void CMainController::StopRecording()
{
    CCommandScope scope(m_commandDepth);
    if (m_stopTogether) {
        m_session.Stop();
        m_playing = false;
    }
    m_controls.SetRecordTickRunning(false);
    std::unique_ptr<CPerformanceTake> take = m_session.StopRecording();
    m_recording = false;
    m_recordingSeconds = 0;
    RefreshStatus();
    ApplyEnableRules();
    StopMeterWhenIdle();
    if (take && m_parts.performanceOffer)
        m_parts.performanceOffer->OfferPerformance(std::move(take));
}

void CMainController::BrowseAccompaniment()
{
    CCommandScope scope(m_commandDepth);
    FileDialogRequest request;
    request.filters = kAccompanimentFilters;
    request.defaultExtension = u"*.mid;*.wav;*.mp3";
    if (const auto path = m_parts.prompts.AskOpenPath(request))
        UseAccompaniment(*path);
}

void CMainController::BrowseLyric()
{
    CCommandScope scope(m_commandDepth);
    FileDialogRequest request;
    request.filters = kLyricFilters;
    request.defaultExtension = u"*.lrc";
    if (const auto path = m_parts.prompts.AskOpenPath(request))
        UseLyricFile(*path);
}

void CMainController::FileDropped(const std::filesystem::path& path)
{
    CCommandScope scope(m_commandDepth);
    std::u16string extension = PathToUtf16(path.extension());
    for (char16_t& character : extension)
        character = character >= u'A' && character <= u'Z' ? character - u'A' + u'a' : character;
    if (extension == u".lrc")
        UseLyricFile(path);
    else
        UseAccompaniment(path);
}

void CMainController::UseAccompaniment(const std::filesystem::path& path)
{
    m_session.SetAccompanimentPath(PathToUtf16(path));
    RecallSong();
    WriteValues();
}

void CMainController::UseLyricFile(const std::filesystem::path& path)
{
    m_session.SetLyricPath(PathToUtf16(path));
    m_session.RememberLyricPath();
    m_session.LyricsShow().LoadLrcLyrics(path);
    WriteValues();
}

void CMainController::TogglePlay()
{
    if (m_playing)
        Stop();
    else
        Play();
}

void CMainController::ToggleRecord()
{
    if (m_recording)
        StopRecording();
    else
        Record();
}

void CMainController::StepPitch(int semitones)
{
    // The edit keeps no focus here, so that the next key press is a shortcut again.
    if (m_enableStates.pitch)
        WritePitch(m_pitch + semitones);
}

void CMainController::SaveAs()
{
    CCommandScope scope(m_commandDepth);
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

void CMainController::PitchEdited()
{
    CCommandScope scope(m_commandDepth);
    ApplyPitchEdit();
    m_session.RememberPitch();
}

void CMainController::ApplyPitchEdit()
{
    CCommandScope scope(m_commandDepth);
    ReadValues();
    StorePitch(ParseSignedNumber(m_controls.ReadControls().pitch).value_or(0));
}

void CMainController::StorePitch(int32_t value)
{
    const bool audio = m_session.Kind() == ESongKind::Audio;
    const int32_t lowest = audio ? -kAudioPitchLimit : kPitchMinimum;
    const int32_t highest = audio ? kAudioPitchLimit : kPitchMaximum;
    if (value < lowest || value > highest) {
        value = value < lowest ? lowest : highest;
        m_controls.WritePitchText(SignedText(value));
    }
    m_pitch = value;
    m_controls.SetPitchUpDownPosition(value + kPitchUpDownOffset);
    m_session.SetPitch(value);
}

void CMainController::PitchStepped(int upDownPosition)
{
    WritePitch(upDownPosition - kPitchUpDownOffset);
    m_controls.FocusControl(kPitchEdit);
}

void CMainController::TempoEdited(int percent)
{
    CCommandScope scope(m_commandDepth);
    m_session.SetTempoPercent(percent);
    if (m_session.TempoPercent() != percent)
        m_controls.WriteTempoPercent(m_session.TempoPercent());
}

int32_t CMainController::TempoPercent() const
{
    return m_session.TempoPercent();
}

void CMainController::WritePitch(int32_t value)
{
    {
        CCommandScope scope(m_commandDepth);
        m_controls.WritePitchText(SignedText(value));
    }
    PitchEdited();
}

void CMainController::SetMelody(bool on)
{
    CCommandScope scope(m_commandDepth);
    m_session.SetMelody(on);
}

void CMainController::ToggleMelody()
{
    CCommandScope scope(m_commandDepth);
    m_session.SetMelody(!m_session.Melody());
    m_controls.WriteMelody(m_session.Melody());
}

CMainController::CompanionToggle CMainController::Toggle(ECompanion which) const
{
    const CompanionWindows& windows = m_parts.companions;
    switch (which) {
    case ECompanion::Lyrics:
        return {windows.lyrics, kToggleLyricsButton, u"隐藏歌词", u"显示歌词"};
    case ECompanion::SongList:
        return {windows.songList, kToggleSongListButton, u"隐藏列表", u"显示列表"};
    case ECompanion::Volume:
        break;
    }
    return {windows.volume, kToggleVolumeButton, u"隐藏控制", u"显示控制"};
}

void CMainController::ToggleCompanion(ECompanion which)
{
    const CompanionToggle toggle = Toggle(which);
    if (!toggle.window)
        return;
    const bool show = !toggle.window->IsShown();
    toggle.window->SetShown(show);
    m_controls.SetButtonText(toggle.button, show ? toggle.hideText : toggle.showText);
}

void CMainController::CompanionClosed(ECompanion which)
{
    const CompanionToggle toggle = Toggle(which);
    m_controls.SetButtonText(toggle.button, toggle.showText);
}

void CMainController::OpenHelp()
{
    m_parts.desktop.OpenDocument(m_parts.helpFolder / "Karaoke.html");
}

void CMainController::OpenHelpTopics()
{
    m_parts.desktop.OpenDocument(m_parts.helpFolder / "Help.html");
}

void CMainController::OpenDownloadPage()
{
    m_parts.desktop.OpenWebPage(kMakerDownloadAddress);
}

bool CMainController::Quit()
{
    CCommandScope scope(m_commandDepth);
    if (!m_recording)
        return true;
    MessageRequest question;
    question.caption = std::u16string(kApplicationTitle);
    question.text = u"当前正在录音,需要退出程序吗?";
    question.buttons = EMessageButtons::YesNo;
    question.icon = EMessageIcon::Question;
    // Unanswered, as when a termination signal ends the program, the take is ended and kept.
    if (m_parts.prompts.ShowMessage(question) == EPromptAnswer::No)
        return false;
    StopRecording();
    return true;
}

void CMainController::OfferDeadTakes()
{
    CCommandScope scope(m_commandDepth);
    m_session.Recording().OfferDeadTakes();
}

void CMainController::DisplayTick()
{
    if (!TimersMayRun())
        return;
    const bool commandRunning = IsCommandRunning();
    bool ended = false;
    {
        CCommandScope scope(m_commandDepth);
        m_displayPosition = TruncateToInt(m_session.Position());
        m_displayLength = m_session.Length();
        if (m_session.HasReachedEnd()) {
            // The command reads the flags again when its box closes; until then the song holds at its end.
            if (commandRunning) {
                m_displayPosition = m_displayLength;
            } else {
                ended = m_playing;
                StopCommand();
            }
        }
        if (m_noticeTicks > 0 && --m_noticeTicks == 0)
            m_notice.clear();
        m_controls.ShowStatus(Status());
    }
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

void CMainController::PickSong(const std::u16string& path)
{
    if (m_playing || m_recording)
        return;
    CCommandScope scope(m_commandDepth);
    m_session.SetAccompanimentPath(path);
    RecallSong();
    WriteValues();
    m_session.PickKind(path);
    const MainEnableStates picked = ComputeEnableStates(m_session.Kind(), false, false);
    m_enableStates.saveAs = picked.saveAs;
    m_enableStates.pitch = picked.pitch;
    m_controls.ApplyEnableStates(m_enableStates);
}

void CMainController::PlayNow(const std::u16string& path)
{
    {
        CCommandScope scope(m_commandDepth);
        m_session.SetAccompanimentPath(path);
        m_session.SetLyricPath(u"");
        // The song plays at the key that the edit then shows: its remembered one, else 0.
        m_pitch = RecallSong().value_or(0);
        m_session.SetPitch(m_pitch);
    }
    Play();
    CCommandScope scope(m_commandDepth);
    WriteValues();
}

std::optional<int32_t> CMainController::RecallSong()
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
    values.playbackDropouts = m_session.PlaybackDropouts();
    values.recordingDropouts = m_session.Recording().DropoutCount();
    return values;
}

bool CMainController::ReadValues()
{
    const MainControlValues values = m_controls.ReadControls();
    m_startTogether = values.startTogether;
    m_stopTogether = values.stopTogether;
    const CPathDisplay& names = m_session.PathDisplay();
    m_session.SetAccompanimentPath(EditedPath(values.accompaniment, m_session.AccompanimentPath(), names));
    m_session.SetLyricPath(EditedPath(values.lyric, m_session.LyricPath(), names));
    const auto pitch = ParseSignedNumber(values.pitch);
    if (!pitch) {
        m_controls.Beep();
        m_controls.FocusControl(kPitchEdit);
        return false;
    }
    m_pitch = *pitch;
    return true;
}

void CMainController::WriteValues()
{
    MainControlValues values;
    values.startTogether = m_startTogether;
    values.stopTogether = m_stopTogether;
    values.accompaniment = m_session.PathDisplay().Text(m_session.AccompanimentPath());
    values.lyric = m_session.PathDisplay().Text(m_session.LyricPath());
    values.pitch = SignedText(m_pitch);
    values.melody = m_session.Melody();
    m_controls.WriteControls(values);
    // Writing the pitch edit raises its change notification, which reads the values back; the
    // user changed no pitch, so nothing is remembered.
    ApplyPitchEdit();
}

void CMainController::ApplyEnableRules()
{
    m_enableStates = ComputeEnableStates(m_session.Kind(), m_playing, m_recording);
    m_controls.ApplyEnableStates(m_enableStates);
}

void CMainController::RefreshStatus()
{
    m_displayName = m_session.PathDisplay().Text(FileNamePart(m_session.AccompanimentPath()));
    m_controls.ShowStatus(Status());
}

void CMainController::StopMeterWhenIdle()
{
    if (!m_playing && !m_recording)
        m_parts.levelMeter.Stop();
}

} // namespace linlangok
