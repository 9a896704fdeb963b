#include "core/session/KaraokeSession.h"

#include "common/Text.h"
#include "core/lyrics/LyricFileLookup.h"
#include "midi/MidiFileWriter.h"

#include <algorithm>

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

CKaraokeSession::CKaraokeSession(const SessionServices& services)
    : m_services(services)
    , m_lyricFolder(LyricFolder(services.programFolder))
    , m_lyricsShow(&g_noLyricsShow)
    , m_recording(std::make_unique<CRecordingController>(services.inputDevices, services.mixers, services.mp3Encoder,
          services.programFolder, services.prompts, services.standardOutput, &services.audioOutput))
    , m_song(std::make_unique<CMidiSong>(services.prompts, services.codePage, services.timerDriver))
    , m_sequencer(
          std::make_unique<CMidiSequencer>(services.prompts, services.uiThread, services.midiDevices, m_song.get()))
    , m_audioPlayer(std::make_unique<CAudioPlayer>(
          services.audioOutput, services.prompts, services.openAudioFile, services.makeAudioStretcher))
    , m_memory(services.programFolder / kSongMemoryFileName, services.prompts)
{
    CreateLyricFolder(m_lyricFolder);
}

CKaraokeSession::~CKaraokeSession()
{
    m_sequencer->Stop();
    m_song->SetLyricTrackView(nullptr);
}

void CKaraokeSession::AttachLyrics(ILyricsShow* show, ILyricTrackView* trackView)
{
    m_lyricsShow = show ? show : &g_noLyricsShow;
    m_song->SetLyricTrackView(trackView);
}

void CKaraokeSession::SetPitch(int32_t pitch)
{
    m_pitch = pitch;
    m_audioPlayer->SetPitch(pitch);
}

void CKaraokeSession::SetTempoPercent(int32_t percent)
{
    m_tempoPercent = std::clamp(percent, kTempoMinimumPercent, kTempoMaximumPercent);
    m_audioPlayer->SetTempoPercent(m_tempoPercent);
}

void CKaraokeSession::Play()
{
    Stop();
    m_kind = DetectSongKind(m_accompanimentPath);
    std::filesystem::path lyricPath = Utf16ToPath(m_lyricPath);
    const std::filesystem::path songPath = Utf16ToPath(m_accompanimentPath);
    if (m_kind == ESongKind::Midi) {
        m_songLoaded = m_song->Load(songPath, m_textEncoding);
        if (!m_songLoaded)
            return;
        m_idle = LoadSongLyrics(
            songPath, static_cast<int>(m_kind), lyricPath, *m_lyricsShow, m_lyricFolder, m_services.prompts);
        Transpose(*m_song);
        m_melodyChannel = m_song->MelodyChannel();
        ApplyMelody();
        m_song->Clock().SetTempoPercent(m_tempoPercent);
        m_sequencer->Start();
    } else {
        m_idle = LoadSongLyrics(
            songPath, static_cast<int>(m_kind), lyricPath, *m_lyricsShow, m_lyricFolder, m_services.prompts);
        m_audioPlayer->OpenAndPlay(m_accompanimentPath);
    }
    m_lyricPath = PathToUtf16(lyricPath);
}

void CKaraokeSession::Stop()
{
    if (m_kind == ESongKind::Midi)
        m_sequencer->Stop();
    else if (m_kind == ESongKind::Audio)
        m_audioPlayer->Stop();
}

bool CKaraokeSession::StartRecording()
{
    m_recording->StartRecording();
    return m_recording->IsRecording();
}

std::unique_ptr<CPerformanceTake> CKaraokeSession::StopRecording()
{
    const bool saved = m_recording->StopRecording().has_value();
    std::unique_ptr<CPerformanceTake> take = m_recording->TakePerformance();
    return saved ? std::move(take) : nullptr;
}

double CKaraokeSession::Position() const
{
    if (m_kind == ESongKind::Midi)
        return m_songLoaded ? m_song->ElapsedSeconds() : 0.0;
    if (m_kind == ESongKind::Audio)
        return m_audioPlayer->PositionSeconds();
    return 0.0;
}

int32_t CKaraokeSession::Length() const
{
    if (m_kind == ESongKind::Midi)
        return m_songLoaded ? static_cast<int32_t>(m_song->LengthSeconds()) : 0;
    if (m_kind == ESongKind::Audio)
        return m_audioPlayer->LengthSeconds();
    return 0;
}

bool CKaraokeSession::HasReachedEnd() const
{
    if (m_kind == ESongKind::Midi)
        return !m_songLoaded || m_song->ElapsedSeconds() >= m_song->LengthSeconds();
    if (m_kind == ESongKind::Audio)
        return m_audioPlayer->PositionMilliseconds() >= m_audioPlayer->EndMilliseconds();
    return true;
}

void CKaraokeSession::SaveTransposed(const std::filesystem::path& path)
{
    // A file that cannot be read has been reported; writing its empty song would only replace
    // the target with a file without music.
    CMidiSong copy(m_services.prompts, m_services.codePage, m_services.timerDriver);
    if (!copy.Load(Utf16ToPath(m_accompanimentPath), m_textEncoding))
        return;
    Transpose(copy);
    CMidiFileWriter(copy, m_services.prompts).Write(path, kApplicationTitle);
}

SongMemoryValues CKaraokeSession::RecallSong()
{
    // The file is read again: it may have changed.
    m_identifiedPath.clear();
    m_songIdentity.reset();
    const std::optional<SongIdentity>& song = AccompanimentIdentity();
    SongMemoryValues values = song ? m_memory.Recall(*song) : SongMemoryValues {};
    if (values.pitch)
        m_pitch = *values.pitch;
    std::error_code error;
    if (!values.lyricPath.empty() && !std::filesystem::is_regular_file(Utf16ToPath(values.lyricPath), error))
        values.lyricPath.clear(); // moved or deleted: the lyric lookup finds what it can
    if (!values.lyricPath.empty())
        m_lyricPath = values.lyricPath;
    m_melody = values.melody.value_or(true);
    m_encodingOverride = values.encoding;
    m_lrcOffsetMilliseconds = values.lrcOffsetMilliseconds;
    return values;
}

void CKaraokeSession::RememberPitch()
{
    if (DetectSongKind(m_accompanimentPath) == ESongKind::Midi)
        Remember([this](SongMemoryValues& values) { values.pitch = m_pitch; });
}

void CKaraokeSession::RememberLyricPath()
{
    Remember([this](SongMemoryValues& values) { values.lyricPath = m_lyricPath; });
}

void CKaraokeSession::SetMelody(bool on)
{
    m_melody = on;
    ApplyMelody();
    Remember([on](SongMemoryValues& values) { values.melody = on; });
}

void CKaraokeSession::SetEncodingOverride(std::string name)
{
    m_encodingOverride = std::move(name);
    Remember([this](SongMemoryValues& values) { values.encoding = m_encodingOverride; });
}

void CKaraokeSession::SetLrcOffsetMilliseconds(int32_t milliseconds)
{
    m_lrcOffsetMilliseconds = std::clamp(milliseconds, -kMaximumLrcOffsetMilliseconds, kMaximumLrcOffsetMilliseconds);
    Remember([this](SongMemoryValues& values) { values.lrcOffsetMilliseconds = m_lrcOffsetMilliseconds; });
}

void CKaraokeSession::ApplyMelody()
{
    m_sequencer->SetMutedChannel(m_melody ? std::nullopt : m_melodyChannel);
}

template <typename Change> void CKaraokeSession::Remember(Change change)
{
    const std::optional<SongIdentity>& song = AccompanimentIdentity();
    if (!song)
        return;
    SongMemoryValues values = m_memory.Recall(*song);
    change(values);
    m_memory.Remember(*song, values);
}

const std::optional<SongIdentity>& CKaraokeSession::AccompanimentIdentity()
{
    if (m_identifiedPath != m_accompanimentPath) {
        m_identifiedPath = m_accompanimentPath;
        m_songIdentity = IdentifySong(Utf16ToPath(m_accompanimentPath));
    }
    return m_songIdentity;
}

void CKaraokeSession::Transpose(CMidiSong& song) const
{
    if (m_pitch < -127 || m_pitch > 127)
        return;
    for (size_t index = 0; index < song.TrackCount(); ++index)
        if (song.Track(index).Transpose(m_pitch))
            song.Track(index).UpdateNotation();
}

} // namespace linlangok
