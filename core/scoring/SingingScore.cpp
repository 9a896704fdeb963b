#include "core/scoring/SingingScore.h"

#include "common/Translation.h"

#include <algorithm>
#include <utility>

namespace linlangok {

PitchTolerance ToleranceOf(EDifficulty difficulty)
{
    switch (difficulty) {
    case EDifficulty::Easy:
        return {1.0, 3.0};
    case EDifficulty::Hard:
        return {0.25, 0.75};
    case EDifficulty::Normal:
        break;
    }
    return {0.5, 1.5};
}

double PitchCredit(double sung, double target, const PitchTolerance& tolerance)
{
    const double apart = std::fmod(std::abs(sung - target), 12.0);
    const double distance = std::min(apart, 12.0 - apart);
    if (distance <= tolerance.full)
        return 1.0;
    if (distance >= tolerance.none)
        return 0.0;
    return (tolerance.none - distance) / (tolerance.none - tolerance.full);
}

std::u16string LineWord(int score)
{
    if (score >= 90)
        return Tr("SingingScore", "完美");
    if (score >= 75)
        return Tr("SingingScore", "很好");
    if (score >= 50)
        return Tr("SingingScore", "不错");
    return Tr("SingingScore", "加油");
}

CSingingScorer::CSingingScorer(ReferenceMelody melody, EDifficulty difficulty)
    : m_melody(std::move(melody))
    , m_difficulty(difficulty)
    , m_tolerance(ToleranceOf(difficulty))
    , m_tallies(m_melody.notes.size())
{
    for (size_t index = 0; index < m_tallies.size(); ++index) {
        const MelodyNote& note = m_melody.notes[index];
        m_tallies[index].moments = note.kind == ENoteKind::Freestyle ? 0 : MomentCount(note);
    }
}

double CSingingScorer::Weight(ENoteKind kind)
{
    return kind == ENoteKind::Golden || kind == ENoteKind::GoldenRap ? 2.0 : 1.0;
}

size_t CSingingScorer::MomentCount(const MelodyNote& note)
{
    // A note of a few milliseconds still has its one moment; no note has more than an hour's.
    const double moments = std::clamp((note.end - note.start) / kMomentSeconds, 1.0, 360000.0);
    return static_cast<size_t>(moments);
}

void CSingingScorer::Add(const SungPitch& sung)
{
    if (m_finished || !(sung.seconds >= m_latest))
        return;
    m_latest = sung.seconds;
    m_recent.push_back(sung);
    JudgeUntil(sung.seconds - kTimeSlackSeconds);
}

void CSingingScorer::Finish()
{
    if (m_finished)
        return;
    JudgeUntil(INFINITY);
    m_recent.clear();
    m_finished = true;
}

void CSingingScorer::JudgeUntil(double until)
{
    for (; m_note < m_melody.notes.size(); ++m_note) {
        const MelodyNote& note = m_melody.notes[m_note];
        NoteTally& tally = m_tallies[m_note];
        for (; tally.judged < tally.moments; ++tally.judged) {
            const double moment = MomentTime(m_note, tally.judged);
            if (moment > until)
                break;
            DropBefore(moment - kTimeSlackSeconds);
            tally.credit += MomentCredit(note, moment);
        }
        if (tally.judged < tally.moments)
            break;
    }
    // What was sung before the next moment's reach can no longer earn anything.
    if (m_note < m_melody.notes.size())
        DropBefore(MomentTime(m_note, m_tallies[m_note].judged) - kTimeSlackSeconds);
    else
        m_recent.clear();
    CloseLines();
}

double CSingingScorer::MomentTime(size_t note, size_t moment) const
{
    const MelodyNote& span = m_melody.notes[note];
    const double step = (span.end - span.start) / double(std::max<size_t>(m_tallies[note].moments, 1));
    return span.start + (double(moment) + 0.5) * step;
}

void CSingingScorer::DropBefore(double seconds)
{
    while (!m_recent.empty() && m_recent.front().seconds < seconds)
        m_recent.pop_front();
}

double CSingingScorer::MomentCredit(const MelodyNote& note, double moment) const
{
    double best = 0;
    for (const SungPitch& sung : m_recent) {
        if (sung.seconds > moment + kTimeSlackSeconds)
            break;
        if (!sung.IsVoiced())
            continue;
        const bool rap = note.kind == ENoteKind::Rap || note.kind == ENoteKind::GoldenRap;
        best = std::max(best, rap ? 1.0 : PitchCredit(sung.pitch, note.pitch, m_tolerance));
        if (best == 1.0)
            break;
    }
    return best;
}

void CSingingScorer::CloseLines()
{
    const auto& lines = m_melody.lines;
    for (; m_line < lines.size(); ++m_line) {
        // A line closes once every note starting in it is judged.
        const bool open = m_note < m_melody.notes.size() && m_melody.notes[m_note].start < lines[m_line].end;
        if (open)
            break;
        const LineScore score = ScoreLine(m_line);
        if (score.line.end > score.line.start && !score.word.empty())
            m_finishedLines.push_back(score);
    }
}

LineScore CSingingScorer::ScoreLine(size_t line) const
{
    const MelodyLine& span = m_melody.lines[line];
    double credit = 0;
    double weight = 0;
    for (size_t index = 0; index < m_melody.notes.size(); ++index) {
        const MelodyNote& note = m_melody.notes[index];
        if (note.start < span.start || note.start >= span.end)
            continue;
        credit += m_tallies[index].credit * Weight(note.kind);
        weight += double(m_tallies[index].moments) * Weight(note.kind);
    }
    if (weight == 0)
        return {span, 0, {}};
    const int score = int(std::lround(100 * credit / weight));
    return {span, score, LineWord(score)};
}

int CSingingScorer::RunningScore() const
{
    double credit = 0;
    double weight = 0;
    for (size_t index = 0; index < m_tallies.size(); ++index) {
        credit += m_tallies[index].credit * Weight(m_melody.notes[index].kind);
        weight += double(m_tallies[index].judged) * Weight(m_melody.notes[index].kind);
    }
    return weight > 0 ? int(std::lround(100 * credit / weight)) : 0;
}

SongScore CSingingScorer::Result() const
{
    SongScore result;
    double credit = 0;
    double weight = 0;
    for (size_t index = 0; index < m_tallies.size(); ++index) {
        const NoteTally& tally = m_tallies[index];
        if (tally.moments == 0)
            continue;
        credit += tally.credit * Weight(m_melody.notes[index].kind);
        weight += double(tally.moments) * Weight(m_melody.notes[index].kind);
        ++result.notes;
        if (tally.credit * 2 >= double(tally.moments))
            ++result.notesHit;
    }
    result.score = weight > 0 ? int(std::lround(100 * credit / weight)) : 0;
    for (size_t line = 0; line < m_melody.lines.size(); ++line) {
        LineScore score = ScoreLine(line);
        if (!score.word.empty())
            result.lines.push_back(score);
    }
    return result;
}

bool CSingingScorer::Hits(const SungPitch& sung) const
{
    if (!sung.IsVoiced())
        return false;
    const auto& notes = m_melody.notes;
    const auto after = std::upper_bound(notes.begin(), notes.end(), sung.seconds,
        [](double seconds, const MelodyNote& note) { return seconds < note.start; });
    if (after == notes.begin())
        return false;
    const MelodyNote& note = *(after - 1);
    if (sung.seconds >= note.end || note.kind == ENoteKind::Freestyle)
        return false;
    const bool rap = note.kind == ENoteKind::Rap || note.kind == ENoteKind::GoldenRap;
    return rap || PitchCredit(sung.pitch, note.pitch, m_tolerance) >= 0.5;
}

} // namespace linlangok
