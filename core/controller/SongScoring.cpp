#include "core/controller/SongScoring.h"

#include "common/FilePath.h"
#include "common/Text.h"
#include "common/Translation.h"
#include "core/lyrics/MidiLyricView.h"
#include "core/scoring/MidiMelody.h"
#include "core/session/KaraokeSession.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <set>
#include <stdexcept>
#include <utility>

namespace linlangok {

namespace {

// A melody ready in the middle of a song is scored from a little after the moment it arrives.
constexpr double kLateStartSeconds = 0.3;

} // namespace

// The catalogue's video songs, each offered once a run, from the index published last.
class CSongScoring::CCatalogueVideos final : public ICatalogListener {
public:
    explicit CCatalogueVideos(CVideoMelodyQueue& queue)
        : m_queue(queue)
    {
    }

    void IndexChanged(const std::shared_ptr<const CCatalogIndex>& index) override
    {
        {
            std::lock_guard lock(m_lock);
            m_published = index;
        }
        m_queue.CatalogueChanged();
    }

    // The queue's thread alone.
    std::optional<CataloguedVideo> Next()
    {
        {
            std::lock_guard lock(m_lock);
            if (m_published != m_walked) {
                m_walked = m_published;
                m_next = 0;
            }
        }
        if (!m_walked)
            return std::nullopt;
        const std::vector<CatalogSong>& songs = m_walked->Songs();
        while (m_next < songs.size()) {
            const CatalogSong& song = songs[m_next++];
            if (IsVideoFileName(PathToUtf16(song.path))
                && m_offered.emplace(song.identity.size, song.identity.hash).second)
                return CataloguedVideo {song.path, song.identity};
        }
        return std::nullopt;
    }

private:
    CVideoMelodyQueue& m_queue;
    std::mutex m_lock;
    std::shared_ptr<const CCatalogIndex> m_published;
    std::shared_ptr<const CCatalogIndex> m_walked;
    size_t m_next = 0; // in m_walked's songs
    std::set<std::pair<std::uint64_t, std::uint64_t>> m_offered;
};

CSongScoring::CSongScoring(const SongScoringParts& parts)
    : m_session(parts.session)
    , m_live(parts.live)
    , m_store(parts.programFolder / kMelodyFolderName)
{
    if (parts.videoMelodies && parts.uiThread) {
        m_videoMelodies = std::make_unique<CVideoMelodyQueue>(*parts.videoMelodies, m_store, *parts.uiThread,
            [this](const SongIdentity& song, const VocalMelodyResult& result) {
                if (m_waitingFor == song)
                    UseVideoMelody(result);
            });
    }
}

CSongScoring::~CSongScoring() = default;

void CSongScoring::DeriveCatalogue(CCatalogService& catalogue)
{
    if (!m_videoMelodies || m_catalogueVideos)
        return;
    m_catalogueVideos = std::make_unique<CCatalogueVideos>(*m_videoMelodies);
    catalogue.AddListener(*m_catalogueVideos);
    m_catalogueVideos->IndexChanged(catalogue.Index());
    m_videoMelodies->DeriveCatalogue([walk = m_catalogueVideos.get()] { return walk->Next(); });
}

void CSongScoring::SetOn(bool on)
{
    m_on = on;
    if (!on) {
        m_live.Stop();
        m_notice.clear();
        m_result.reset();
    }
}

void CSongScoring::SongStarted()
{
    m_live.Stop();
    m_result.reset();
    m_notice.clear();
    m_waitingFor.reset();
    if (!m_on)
        return;
    // The song was identified when it was picked and played: its memory needs no second hash.
    CRememberedSong& remembered = m_session.Remembered();
    const std::optional<SongIdentity>& identity = remembered.Identity();
    m_best = identity ? remembered.Memory().Recall(*identity).bestScore : std::nullopt;
    m_venueBest.reset();
    if (const std::shared_ptr<const CCatalogIndex> index = m_venue ? m_venue->Index() : nullptr; index && identity)
        if (const CatalogSong* song = index->FindByIdentity(*identity); song && index->BestScore(song->id) > 0)
            m_venueBest = index->BestScore(song->id);
    std::optional<ReferenceMelody> melody;
    std::optional<ReferenceMelody> secondVoice;
    if (m_session.Kind() == ESongKind::Midi && m_session.Sequencer().IsPlaying()) {
        melody = MidiSongMelody(m_session.Song());
    } else if (const UltraStarSong* notes = m_session.Video().UltraStar(); notes && m_session.AudioPlayer().IsOpen()) {
        const double key = m_session.KeyAndTempo().Pitch();
        melody = TransposedMelody(UltraStarMelody(*notes, 0), key);
        if (notes->voices == 2)
            secondVoice = TransposedMelody(UltraStarMelody(*notes, 1), key);
    } else if (m_session.Kind() == ESongKind::Audio && m_session.Video().Info() && m_videoMelodies) {
        return FindVideoMelody();
    }
    if (!melody) {
        m_notice = Tr("CSongScoring", "本歌曲无评分数据");
        return;
    }
    Listen(std::move(*melody), std::move(secondVoice));
}

void CSongScoring::Listen(ReferenceMelody melody, std::optional<ReferenceMelody> secondVoice)
{
    m_notice.clear();
    const CRecordingController& recording = m_session.Recording();
    const CWaveRecorder* recorder = recording.SelectedRecorder();
    CLiveScoring::Song song {std::move(melody), m_difficulty, m_session.SongSecondsPerSecond(),
        recording.CalibratedCorrectionMs() / 1000, std::move(secondVoice)};
    if (!m_live.Start(recorder ? recorder->DeviceNumber() : kWaveMapper, std::move(song)))
        m_notice = Tr("CSongScoring", "麦克风无法打开, 本歌曲不评分");
}

void CSongScoring::FindVideoMelody()
{
    const std::optional<SongIdentity>& song = m_session.Remembered().Identity();
    if (!song) {
        m_notice = Tr("CSongScoring", "本歌曲无评分数据");
        return;
    }
    const VocalLayout& layout = m_session.Video().SongVocalLayout();
    const std::optional<KeptMelody> kept = m_store.Recall(*song);
    if (kept && kept->layout == layout)
        return UseVideoMelody(kept->result);
    m_waitingFor = *song;
    m_notice = Tr("CSongScoring", "正在分析原唱旋律…");
    m_videoMelodies->Request(Utf16ToPath(m_session.AccompanimentPath()), *song, layout);
}

void CSongScoring::UseVideoMelody(const VocalMelodyResult& result)
{
    m_waitingFor.reset();
    if (result.verdict != EVocalMelodyVerdict::Melody) {
        m_notice = VocalMelodyVerdictText(result.verdict);
        return;
    }
    const double from = m_session.HeardPosition() + kLateStartSeconds;
    ReferenceMelody melody = MelodyFrom(TransposedMelody(result.melody, m_session.KeyAndTempo().Pitch()), from);
    if (melody.notes.empty()) {
        m_notice = Tr("CSongScoring", "本歌曲无评分数据");
        return;
    }
    Listen(std::move(melody));
}

void CSongScoring::SongStopped()
{
    m_waitingFor.reset();
    Tick();
    std::optional<SongScore> result = m_live.Stop();
    if (!result || result->notes == 0)
        return;
    if (!m_best || result->score > *m_best) {
        m_best = result->score;
        m_session.Remembered().Remember([this](SongMemoryValues& values) { values.bestScore = m_best; });
    }
    if (const std::optional<SongIdentity>& song = m_session.Remembered().Identity(); song && m_venue)
        ShareScore(*song, result->score);
    m_result = std::move(result);
}

void CSongScoring::ShareBestScores(CCatalogService& catalogue, ICatalogStore& store)
{
    m_venue = &catalogue;
    m_venueStore = &store;
}

void CSongScoring::ShareScore(const SongIdentity& song, int score)
{
    if (m_venueBest && score <= *m_venueBest)
        return;
    const std::shared_ptr<const CCatalogIndex> index = m_venue->Index();
    const CatalogSong* found = index ? index->FindByIdentity(song) : nullptr;
    if (!found)
        return;
    m_venueBest = score;
    m_venue->KeepBestScore(found->id, score);
    try {
        m_venueStore->KeepBestScore(found->id, score);
    } catch (const std::runtime_error& error) {
        m_notice = Utf8ToUtf16(error.what());
    }
}

std::optional<int> CSongScoring::BestScore() const
{
    if (m_best && m_venueBest)
        return std::max(*m_best, *m_venueBest);
    return m_best ? m_best : m_venueBest;
}

void CSongScoring::Tick()
{
    if (m_live.IsListening())
        m_live.Update(m_session.HeardPosition(), std::chrono::steady_clock::now());
}

std::optional<int> CSongScoring::TakeScore() const
{
    if (m_live.IsListening())
        return m_live.RunningScore();
    if (m_result)
        return m_result->score;
    return std::nullopt;
}

std::optional<ScoringView> CSongScoring::View() const
{
    if (m_live.IsListening()) {
        m_live.Update(m_session.HeardPosition(), std::chrono::steady_clock::now());
        ScoringView view = m_live.ViewAt(m_session.HeardPosition());
        view.bestScore = BestScore();
        return view;
    }
    if (!m_result)
        return std::nullopt;
    ScoringView view;
    view.result = m_result;
    view.bestScore = BestScore();
    view.runningScore = m_result->score;
    if (m_live.SecondVoiceResult())
        view.secondVoiceScore = m_live.SecondVoiceResult()->score;
    return view;
}

std::optional<ReferenceMelody> MidiSongMelody(const CMidiSong& song)
{
    const CMidiTrack* lyrics = song.LyricTrack();
    return MidiReferenceMelody(song, lyrics ? SungLineStarts(*lyrics) : std::vector<double> {});
}

std::u16string ScoreStatusText(int score, std::optional<int> best)
{
    const std::u16string scored = Utf8ToUtf16(std::to_string(score));
    if (best)
        return Formatted(Tr("SongScoring", "得分 %1 (最高 %2)"), {scored, Utf8ToUtf16(std::to_string(*best))});
    return Formatted(Tr("SongScoring", "得分 %1"), {scored});
}

} // namespace linlangok
