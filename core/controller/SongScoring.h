#pragma once

#include "core/scoring/LiveScoring.h"
#include "core/scoring/ScoringView.h"

#include <optional>
#include <string>

namespace linlangok {

class CKaraokeSession;
class CMidiSong;

// 评分: scores the singer while a song with a reference melody plays (a MIDI song's melody channel
// as it plays, its key and tempo included), listening on the input that records. When the song
// stops, its score is kept for the score screen until the next song starts, and the song remembers
// its best. A song without a reference is not scored: while it plays the notice says
// "本歌曲无评分数据". UI thread; the session and the live scoring outlive this.
class CSongScoring final : public IScoringViewSource {
public:
    CSongScoring(CKaraokeSession& session, CLiveScoring& live);

    // On by default. Takes effect at the next song; off stops listening at once.
    bool IsOn() const { return m_on; }
    void SetOn(bool on);
    EDifficulty Difficulty() const { return m_difficulty; }
    // Takes effect at the next song.
    void SetDifficulty(EDifficulty difficulty) { m_difficulty = difficulty; }

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
    // The best score of the song playing or ended last, this run's included.
    std::optional<int> BestScore() const { return m_best; }

    std::optional<ScoringView> View() const override;
    std::u16string Notice() const override { return m_notice; }

private:
    // The reference of the song that plays now; nothing when it has none.
    std::optional<ReferenceMelody> PlayingReference() const;

    CKaraokeSession& m_session;
    CLiveScoring& m_live;
    bool m_on = true;
    EDifficulty m_difficulty = EDifficulty::Normal;
    std::u16string m_notice;
    std::optional<SongScore> m_result; // of the song that ended last, until the next starts
    std::optional<int> m_best; // of the song playing or ended last
};

// A MIDI song's reference in the lines its lyrics are shown in.
std::optional<ReferenceMelody> MidiSongMelody(const CMidiSong& song);

// The texts of the status strip after a song: "得分 87 (最高 92)".
std::u16string ScoreStatusText(int score, std::optional<int> best);

} // namespace linlangok
