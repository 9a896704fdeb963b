#pragma once

#include "common/UiThreadPoster.h"
#include "core/catalog/CatalogService.h"
#include "core/scoring/LiveScoring.h"
#include "core/scoring/ScoringView.h"
#include "core/session/VideoMelodyQueue.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace linlangok {

class CKaraokeSession;
class CMidiSong;

// What the song scoring is built on; everything outlives it.
struct SongScoringParts {
    CKaraokeSession& session;
    CLiveScoring& live;
    // Video songs' melodies from their original vocal and backing; null: videos are not scored.
    IVideoMelodyDeriver* videoMelodies = nullptr;
    IUiThreadPoster* uiThread = nullptr; // with videoMelodies
    std::filesystem::path programFolder; // where the derived melodies are kept
};

// 评分: scores the singer while a song with a reference melody plays, listening on the input that
// records: a MIDI song's melody channel as it plays, or a video's melody derived from its 原唱 and
// 伴唱 (kept for the song by content, derived in the background the first time it plays and scored
// from the moment it is ready), each at the song's key and tempo. When the song stops, its score
// is kept for the score screen until the next song starts, and the song remembers its best. A song
// without a reference is not scored: while it plays the notice says "本歌曲无评分数据", or why a
// video cannot be scored. An UltraStar duet's voices are scored apart (CLiveScoring); the first
// voice's score is the song's. UI thread.
class CSongScoring final : public IScoringViewSource {
public:
    explicit CSongScoring(const SongScoringParts& parts);
    ~CSongScoring() override;

    // On by default. Takes effect at the next song; off stops listening at once.
    bool IsOn() const { return m_on; }
    void SetOn(bool on);
    EDifficulty Difficulty() const { return m_difficulty; }
    // Takes effect at the next song.
    void SetDifficulty(EDifficulty difficulty) { m_difficulty = difficulty; }

    // Derives the melodies of the catalogue's videos in the background while no song asks for
    // one. The catalogue goes before the scoring.
    void DeriveCatalogue(CCatalogService& catalogue);
    // In a venue: a song's best is the best of every room's, as the catalogue's index has it, and
    // each score made is sent to the store (the UI thread's, which keeps it while the server is
    // away). Both outlive the scoring.
    void ShareBestScores(CCatalogService& catalogue, ICatalogStore& store);

    // The session has just started its song.
    void SongStarted();
    // The session is about to stop its song: takes the last pitches, judges the song and remembers
    // its best score.
    void SongStopped();
    // Takes what the singer sang since the last tick.
    void Tick();

    // The score a take that ends now keeps: the running score while listening, else the score of
    // the song that just ended; nothing when neither.
    std::optional<int> TakeScore() const;
    const std::optional<SongScore>& LastResult() const { return m_result; }
    // Of a duet that ended last, its second voice's score.
    const std::optional<SongScore>& LastSecondVoiceResult() const { return m_live.SecondVoiceResult(); }
    // The best score of the song playing or ended last, this run's included; in a venue, the
    // best of every room's.
    std::optional<int> BestScore() const;

    std::optional<ScoringView> View() const override;
    std::u16string Notice() const override { return m_notice; }

private:
    class CCatalogueVideos;

    // Scores the song from now on against the melody (and a duet's second voice).
    void Listen(ReferenceMelody melody, std::optional<ReferenceMelody> secondVoice = std::nullopt);
    // A video's melody: the one kept for it, else asked for.
    void FindVideoMelody();
    void UseVideoMelody(const VocalMelodyResult& result);
    // Sends the score to the venue's catalogue, when the song is one of its songs.
    void ShareScore(const SongIdentity& song, int score);

    CKaraokeSession& m_session;
    CLiveScoring& m_live;
    CMelodyStore m_store;
    std::unique_ptr<CCatalogueVideos> m_catalogueVideos; // walked by m_videoMelodies' thread
    std::unique_ptr<CVideoMelodyQueue> m_videoMelodies;
    std::optional<SongIdentity> m_waitingFor; // the video whose melody is being derived while it plays
    bool m_on = true;
    EDifficulty m_difficulty = EDifficulty::Normal;
    std::u16string m_notice;
    std::optional<SongScore> m_result; // of the song that ended last, until the next starts
    std::optional<int> m_best; // of the song playing or ended last, in this room
    std::optional<int> m_venueBest; // of the song playing or ended last, in the venue
    CCatalogService* m_venue = nullptr;
    ICatalogStore* m_venueStore = nullptr;
};

// A MIDI song's reference in the lines its lyrics are shown in.
std::optional<ReferenceMelody> MidiSongMelody(const CMidiSong& song);

// The texts of the status strip after a song: "得分 87 (最高 92)".
std::u16string ScoreStatusText(int score, std::optional<int> best);

} // namespace linlangok
