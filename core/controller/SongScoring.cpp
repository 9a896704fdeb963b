#include "core/controller/SongScoring.h"

#include "common/Text.h"
#include "core/lyrics/MidiLyricView.h"
#include "core/scoring/MidiMelody.h"
#include "core/session/KaraokeSession.h"

#include <algorithm>
#include <chrono>

namespace linlangok {

CSongScoring::CSongScoring(CKaraokeSession& session, CLiveScoring& live)
    : m_session(session)
    , m_live(live)
{
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

std::optional<ReferenceMelody> CSongScoring::PlayingReference() const
{
    if (m_session.Kind() == ESongKind::Midi && m_session.Sequencer().IsPlaying())
        return MidiSongMelody(m_session.Song());
    return std::nullopt;
}

void CSongScoring::SongStarted()
{
    m_live.Stop();
    m_result.reset();
    m_notice.clear();
    if (!m_on)
        return;
    std::optional<ReferenceMelody> melody = PlayingReference();
    if (!melody) {
        m_notice = u"本歌曲无评分数据";
        return;
    }
    m_best = m_session.Remembered().RecallAnew().bestScore;
    const CRecordingController& recording = m_session.Recording();
    const CWaveRecorder* recorder = recording.SelectedRecorder();
    CLiveScoring::Song song {
        std::move(*melody), m_difficulty, m_session.SongSecondsPerSecond(), recording.CalibratedCorrectionMs() / 1000};
    if (!m_live.Start(recorder ? recorder->DeviceNumber() : kWaveMapper, std::move(song)))
        m_notice = u"麦克风无法打开, 本歌曲不评分";
}

void CSongScoring::SongStopped()
{
    Tick();
    std::optional<SongScore> result = m_live.Stop();
    if (!result || result->notes == 0)
        return;
    if (!m_best || result->score > *m_best) {
        m_best = result->score;
        m_session.Remembered().Remember([this](SongMemoryValues& values) { values.bestScore = m_best; });
    }
    m_result = std::move(result);
}

void CSongScoring::Tick()
{
    if (m_live.IsListening())
        m_live.Update(m_session.HeardPosition(), std::chrono::steady_clock::now());
}

std::optional<int> CSongScoring::TakeScore() const
{
    if (m_live.IsListening())
        return m_live.ViewAt(m_session.HeardPosition()).runningScore;
    if (m_result)
        return m_result->score;
    return std::nullopt;
}

std::optional<ScoringView> CSongScoring::View() const
{
    if (m_live.IsListening()) {
        m_live.Update(m_session.HeardPosition(), std::chrono::steady_clock::now());
        ScoringView view = m_live.ViewAt(m_session.HeardPosition());
        view.bestScore = m_best;
        return view;
    }
    if (!m_result)
        return std::nullopt;
    ScoringView view;
    view.result = m_result;
    view.bestScore = m_best;
    view.runningScore = m_result->score;
    return view;
}

std::optional<ReferenceMelody> MidiSongMelody(const CMidiSong& song)
{
    const CMidiTrack* lyrics = song.LyricTrack();
    return MidiReferenceMelody(song, lyrics ? SungLineStarts(*lyrics) : std::vector<double> {});
}

std::u16string ScoreStatusText(int score, std::optional<int> best)
{
    std::u16string text = u"得分 " + Utf8ToUtf16(std::to_string(score));
    if (best)
        text += u" (最高 " + Utf8ToUtf16(std::to_string(*best)) + u")";
    return text;
}

} // namespace linlangok
