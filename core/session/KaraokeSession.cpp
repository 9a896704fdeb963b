#include "core/session/KaraokeSession.h"

#include "common/FilePath.h"
#include "core/lyrics/LyricFileLookup.h"
#include "midi/MidiFileWriter.h"

#include <algorithm>
#include <chrono>

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
    , m_remembered(m_accompanimentPath, services.programFolder, services.prompts, services.fileLocks)
    , m_texts(services.textEncodings, services.codePage, m_remembered)
    , m_lyricFolder(LyricFolder(services.programFolder))
    , m_lyricsShow(&g_noLyricsShow)
    , m_recording(std::make_unique<CRecordingController>(services.inputDevices, services.mixers, services.mp3Encoder,
          services.programFolder, services.fileLocks, services.prompts, services.standardOutput, &services.audioOutput))
    , m_song(std::make_unique<CMidiSong>(services.codePage))
    , m_sequencer(std::make_unique<CMidiSequencer>(
          services.prompts, services.uiThread, services.midiDevices, services.timerDriver, m_song.get()))
    , m_audioPlayer(std::make_unique<CAudioPlayer>(
          services.audioOutput, services.prompts,
          [this](const std::filesystem::path& path) { return m_video.OpenAudio(path); }, services.makeAudioStretcher))
    , m_video({services.videoSongs, services.openAudioFile, services.openMp3gSong, services.prompts,
          m_texts.PathDisplay(), m_remembered, *m_audioPlayer, m_melody, [this] { return HeardPosition(); }})
    , m_dropouts(services.audioOutput)
    , m_leveling(services.loudnessAnalyser, services.uiThread, m_remembered)
{
    CreateLyricFolder(m_lyricFolder);
}

CKaraokeSession::~CKaraokeSession()
{
    m_sequencer->Stop();
}

void CKaraokeSession::AttachLyrics(ILyricsShow* show, ILyricTrackView* trackView)
{
    m_lyricsShow = show ? show : &g_noLyricsShow;
    m_lyricTrackView = trackView;
}

void CKaraokeSession::SetPitch(std::int32_t pitch)
{
    m_pitch = pitch;
    m_audioPlayer->SetPitch(pitch);
}

void CKaraokeSession::SetTempoPercent(std::int32_t percent)
{
    m_tempoPercent = std::clamp(percent, kTempoMinimumPercent, kTempoMaximumPercent);
    m_audioPlayer->SetTempoPercent(m_tempoPercent);
}

void CKaraokeSession::Play()
{
    Stop();
    m_dropouts.Clear();
    m_kind = DetectSongKind(m_accompanimentPath);
    std::filesystem::path lyricPath = Utf16ToPath(m_lyricPath);
    const std::filesystem::path songPath = Utf16ToPath(m_accompanimentPath);
    if (m_kind == ESongKind::Midi) {
        const SongLoad load = m_song->Load(songPath, m_texts.TextEncoding());
        // The view and the sequencer's players let go of the tracks a load destroyed (a file
        // refused after its header cleared the song) before a message lets the view paint again.
        if (m_lyricTrackView)
            m_lyricTrackView->SetLyricTrack(m_song->LyricTrack());
        m_sequencer->Load(*m_song, 0);
        m_services.prompts.ShowMessages(load.messages);
        m_songLoaded = load.loaded;
        if (!m_songLoaded)
            return;
        m_idle = LoadSongLyrics(
            songPath, m_kind, lyricPath, *m_lyricsShow, m_lyricFolder, m_texts.PathDisplay(), m_services.prompts);
        Transpose(*m_song);
        m_melodyChannel = m_song->MelodyChannel();
        ApplyMelody();
        m_sequencer->Clock().SetTempoPercent(m_tempoPercent);
        m_services.midiDevices.SetLevelingGain(m_leveling.ChooseGain(m_kind));
        m_sequencer->Start();
    } else {
        if (!m_video.ChooseHeardChannels())
            return;
        m_idle = LoadSongLyrics(
            songPath, m_kind, lyricPath, *m_lyricsShow, m_lyricFolder, m_texts.PathDisplay(), m_services.prompts);
        m_audioPlayer->SetLevelingGain(m_leveling.ChooseGain(m_kind));
        m_video.Play(songPath);
    }
    m_lyricPath = PathToUtf16(lyricPath);
    m_dropouts.Start();
}

void CKaraokeSession::Stop()
{
    m_video.Stop();
    m_dropouts.Stop();
    if (m_kind == ESongKind::Midi)
        m_sequencer->Stop();
    else if (m_kind == ESongKind::Audio)
        m_audioPlayer->Stop();
}

double CKaraokeSession::Position() const
{
    if (m_kind == ESongKind::Midi)
        return m_songLoaded ? m_sequencer->ElapsedSeconds() : 0.0;
    if (m_kind == ESongKind::Audio)
        return m_audioPlayer->PositionSeconds();
    return 0.0;
}

double CKaraokeSession::HeardPosition() const
{
    const double latency = std::chrono::duration<double>(m_services.audioOutput.OutputLatency()).count();
    const double songPerSecond = m_kind == ESongKind::Audio ? m_audioPlayer->Settings().SongFramesPerFrame() : 1.0;
    return std::max(0.0, Position() - latency * songPerSecond);
}

std::int32_t CKaraokeSession::Length() const
{
    if (m_kind == ESongKind::Midi)
        return m_songLoaded ? static_cast<std::int32_t>(m_song->LengthSeconds()) : 0;
    if (m_kind == ESongKind::Audio)
        return m_audioPlayer->LengthSeconds();
    return 0;
}

bool CKaraokeSession::HasReachedEnd() const
{
    if (m_kind == ESongKind::Midi)
        return !m_songLoaded || m_sequencer->ElapsedSeconds() >= m_song->LengthSeconds();
    if (m_kind == ESongKind::Audio)
        return m_audioPlayer->PositionMilliseconds() >= m_audioPlayer->EndMilliseconds();
    return true;
}

void CKaraokeSession::SaveTransposed(const std::filesystem::path& path)
{
    // A file that cannot be read has been reported; writing its empty song would only replace
    // the target with a file without music.
    CMidiSong copy(m_services.codePage);
    const SongLoad load = copy.Load(Utf16ToPath(m_accompanimentPath), m_texts.TextEncoding());
    m_services.prompts.ShowMessages(load.messages);
    if (!load)
        return;
    Transpose(copy);
    CMidiFileWriter(copy, m_services.prompts).Write(path, kApplicationTitle);
}

SongMemoryValues CKaraokeSession::RecallSong()
{
    SongMemoryValues values = m_remembered.RecallAnew();
    if (values.pitch)
        m_pitch = *values.pitch;
    std::error_code error;
    if (!values.lyricPath.empty() && !std::filesystem::is_regular_file(Utf16ToPath(values.lyricPath), error))
        values.lyricPath.clear(); // moved or deleted: the lyric lookup finds what it can
    if (!values.lyricPath.empty())
        m_lyricPath = values.lyricPath;
    m_melody = values.melody.value_or(true);
    m_video.Recall(values);
    m_texts.Restore(values);
    m_leveling.MeasureAhead(values);
    return values;
}

void CKaraokeSession::RememberPitch()
{
    if (DetectSongKind(m_accompanimentPath) == ESongKind::Midi)
        m_remembered.Remember([this](SongMemoryValues& values) { values.pitch = m_pitch; });
}

void CKaraokeSession::RememberLyricPath()
{
    m_remembered.Remember([this](SongMemoryValues& values) { values.lyricPath = m_lyricPath; });
}

void CKaraokeSession::SetMelody(bool on)
{
    m_melody = on;
    ApplyMelody();
    m_remembered.Remember([on](SongMemoryValues& values) { values.melody = on; });
}

void CKaraokeSession::ApplyMelody()
{
    m_sequencer->SetMutedChannel(m_melody ? std::nullopt : m_melodyChannel);
    m_video.ApplyHeardChannels();
}

void CKaraokeSession::Transpose(CMidiSong& song) const
{
    if (m_pitch < -127 || m_pitch > 127)
        return;
    for (size_t index = 0; index < song.TrackCount(); ++index)
        song.Track(index).Transpose(m_pitch);
}

} // namespace linlangok
