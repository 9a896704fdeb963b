#include "core/session/KaraokeSession.h"

#include "common/FilePath.h"
#include "midi/MidiFileWriter.h"

#include <algorithm>
#include <chrono>

namespace linlangok {

CKaraokeSession::CKaraokeSession(const SessionServices& services)
    : m_services(services)
    , m_remembered(m_accompanimentPath, services.programFolder, services.prompts, services.fileLocks)
    , m_texts(services.textEncodings, services.codePage, m_remembered)
    , m_lyrics(services.programFolder, m_texts.PathDisplay(), services.prompts, m_remembered)
    , m_recording(std::make_unique<CRecordingController>(services.inputDevices, services.mixers, services.mp3Encoder,
          services.programFolder, services.fileLocks, services.prompts, services.standardOutput, &services.audioOutput))
    , m_song(std::make_unique<CMidiSong>(services.codePage))
    , m_sequencer(std::make_unique<CMidiSequencer>(
          services.prompts, services.uiThread, services.midiDevices, services.timerDriver, m_song.get()))
    , m_audioPlayer(std::make_unique<CAudioPlayer>(
          services.audioOutput, services.prompts,
          [this](const std::filesystem::path& path) { return m_video.OpenAudio(path); }, services.makeAudioStretcher))
    , m_keyAndTempo(*m_audioPlayer, m_remembered)
    , m_video({services.videoSongs, services.openAudioFile, services.openMp3gSong, services.makeFft, services.prompts,
          m_texts.PathDisplay(), m_texts.TextEncoding(), services.codePage, m_remembered, *m_audioPlayer, m_melody,
          [this] { return HeardPosition(); }})
    , m_dropouts(services.audioOutput)
    , m_leveling(services.loudnessAnalyser, services.uiThread, m_remembered)
{
}

CKaraokeSession::~CKaraokeSession()
{
    m_sequencer->Stop();
}

void CKaraokeSession::Play()
{
    Stop();
    m_dropouts.Clear();
    m_kind = DetectSongKind(m_accompanimentPath);
    const std::filesystem::path songPath = Utf16ToPath(m_accompanimentPath);
    if (m_kind == ESongKind::Midi) {
        const SongLoad load = m_song->Load(songPath, m_texts.TextEncoding());
        // The view and the sequencer's players let go of the tracks a load destroyed (a file
        // refused after its header cleared the song) before a message lets the view paint again.
        m_lyrics.ShowTrack(m_song->LyricTrack());
        m_sequencer->Load(*m_song, 0);
        m_services.prompts.ShowMessages(load.messages);
        m_songLoaded = load.loaded;
        if (!m_songLoaded)
            return;
        m_lyrics.Load(songPath, m_kind);
        m_keyAndTempo.Transpose(*m_song);
        m_melodyChannel = m_song->MelodyChannel();
        ApplyMelody();
        m_sequencer->Clock().SetTempoPercent(m_keyAndTempo.TempoPercent());
        m_services.midiDevices.SetLevelingGain(m_leveling.ChooseGain(m_kind));
        m_sequencer->Start();
    } else {
        if (!m_video.ChooseHeardChannels())
            return;
        m_lyrics.Load(songPath, m_kind);
        m_audioPlayer->SetLevelingGain(m_leveling.ChooseGain(m_kind));
        m_video.Play(songPath);
    }
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
    return std::max(0.0, Position() - latency * SongSecondsPerSecond());
}

double CKaraokeSession::SongSecondsPerSecond() const
{
    if (m_kind == ESongKind::Audio)
        return m_audioPlayer->Settings().SongFramesPerFrame();
    return m_sequencer->Clock().TempoPercent() / 100.0;
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
    m_keyAndTempo.Transpose(copy);
    CMidiFileWriter(copy, m_services.prompts).Write(path, ApplicationTitle());
}

SongMemoryValues CKaraokeSession::RecallSong()
{
    SongMemoryValues values = m_remembered.RecallAnew();
    m_keyAndTempo.Recall(values);
    m_lyrics.Recall(values);
    m_melody = values.melody.value_or(true);
    m_video.Recall(values);
    m_texts.Restore(values);
    m_leveling.MeasureAhead(values);
    return values;
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

} // namespace linlangok
