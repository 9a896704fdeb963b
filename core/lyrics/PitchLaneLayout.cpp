#include "core/lyrics/PitchLaneLayout.h"

#include "common/Text.h"
#include "common/Translation.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace linlangok {
namespace {

constexpr double kMiddleC = 60.0;

std::u16string Digits(long long value)
{
    return Utf8ToUtf16(std::to_string(value));
}

// The lowest and the highest pitch of some notes.
std::pair<double, double> PitchSpan(const std::vector<MelodyNote>& notes)
{
    const auto [lowest, highest] = std::minmax_element(notes.begin(), notes.end(),
        [](const MelodyNote& left, const MelodyNote& right) { return left.pitch < right.pitch; });
    return {lowest->pitch, highest->pitch};
}

} // namespace

LaneSplit SplitForLane(PixelRect client, bool view, int noticeLineHeight)
{
    const int laneHeight = static_cast<int>(client.height * kLaneBandShare);
    const int band = view ? laneHeight : std::clamp(noticeLineHeight, 0, laneHeight);
    return {{client.left, client.top, client.width, client.height - band},
        {client.left, client.Bottom() - band, client.width, band}};
}

PitchRange FitPitchRange(const std::vector<MelodyNote>& notes)
{
    if (notes.empty())
        return {kMiddleC - kLaneMinSemitones / 2, kMiddleC + kLaneMinSemitones / 2};
    const auto [lowest, highest] = PitchSpan(notes);
    PitchRange range {lowest - kLaneMarginSemitones, highest + kLaneMarginSemitones};
    if (const double missing = kLaneMinSemitones - range.Semitones(); missing > 0) {
        range.low -= missing / 2;
        range.high += missing / 2;
    }
    return range;
}

const PitchRange& CPitchLaneRange::Update(const std::vector<MelodyNote>& notes)
{
    if (notes.empty())
        return m_range;
    const PitchRange needed = FitPitchRange(notes);
    const auto [lowest, highest] = PitchSpan(notes);
    const bool inside = lowest - 0.5 >= m_range.low + 0.5 && highest + 0.5 <= m_range.high - 0.5;
    const bool tooTall = m_range.Semitones() > needed.Semitones() + kLaneMinSemitones;
    if (!m_fitted || !inside || tooTall)
        m_range = needed;
    m_fitted = true;
    return m_range;
}

CPitchLaneLayout::CPitchLaneLayout(PixelRect box, PitchRange range, double now)
    : m_range(range)
    , m_now(now)
{
    const int strip = box.height / 5;
    m_strip = {box.left, box.top, box.width, strip};
    m_pitchBox = {box.left, box.top + strip, box.width, box.height - strip};
}

PixelRect CPitchLaneLayout::ScoreBox() const
{
    const int padding = m_strip.height / 2;
    return {m_strip.left + padding, m_strip.top, m_strip.width / 2 - padding, m_strip.height};
}

PixelRect CPitchLaneLayout::WordBox() const
{
    const int padding = m_strip.height / 2;
    return {m_strip.left + m_strip.width / 2, m_strip.top, m_strip.width - m_strip.width / 2 - padding, m_strip.height};
}

double CPitchLaneLayout::X(double seconds) const
{
    const double span = kLanePastSeconds + kLaneAheadSeconds;
    return m_pitchBox.left + m_pitchBox.width * (seconds - (m_now - kLanePastSeconds)) / span;
}

double CPitchLaneLayout::Y(double pitch) const
{
    const double share = (m_range.high - pitch) / m_range.Semitones();
    return m_pitchBox.top + m_pitchBox.height * std::clamp(share, 0.0, 1.0);
}

std::vector<NoteBar> CPitchLaneLayout::Bars(const std::vector<MelodyNote>& notes) const
{
    std::vector<NoteBar> bars;
    const double right = m_pitchBox.left + m_pitchBox.width;
    for (const MelodyNote& note : notes) {
        const double left = std::max(X(note.start), static_cast<double>(m_pitchBox.left));
        const double end = std::min(X(note.end), right);
        const double top = Y(note.pitch + 0.5);
        const double bottom = Y(note.pitch - 0.5);
        if (end > left && bottom > top)
            bars.push_back({left, top, end - left, bottom - top, note.kind});
    }
    return bars;
}

std::vector<TraceSegment> CPitchLaneLayout::Segments(const std::vector<TracePoint>& trace) const
{
    std::vector<TraceSegment> segments;
    const auto voiced = [](const TracePoint& point) { return !std::isnan(point.pitch); };
    bool joinedBefore = false; // the previous point is joined to the one before it
    for (size_t i = 0; i < trace.size(); ++i) {
        const TracePoint& point = trace[i];
        const bool joinedAfter = i + 1 < trace.size() && voiced(point) && voiced(trace[i + 1])
            && trace[i + 1].seconds - point.seconds < kTraceGapSeconds;
        const double x = X(point.seconds);
        const double y = Y(point.pitch);
        if (joinedAfter) {
            const TracePoint& next = trace[i + 1];
            const double nextX = X(next.seconds);
            const double nextY = Y(next.pitch);
            if (next.hit == point.hit) {
                segments.push_back({x, y, nextX, nextY, point.hit});
            } else {
                const double middleX = (x + nextX) / 2;
                const double middleY = (y + nextY) / 2;
                segments.push_back({x, y, middleX, middleY, point.hit});
                segments.push_back({middleX, middleY, nextX, nextY, next.hit});
            }
        } else if (voiced(point) && !joinedBefore) {
            segments.push_back({x, y, x, y, point.hit});
        }
        joinedBefore = joinedAfter;
    }
    return segments;
}

std::u16string ScoreText(const ScoringView& view)
{
    const std::u16string score = Digits(view.result ? view.result->score : view.runningScore);
    if (view.secondVoiceScore)
        return Formatted(Tr("PitchLaneLayout", "得分 %1 / %2"), {score, Digits(*view.secondVoiceScore)});
    return Formatted(Tr("PitchLaneLayout", "得分 %1"), {score});
}

std::u16string_view ShownWord(const ScoringView& view)
{
    if (!view.lastLine || view.now >= view.lastLine->line.end + kLineWordSeconds)
        return {};
    return view.lastLine->word;
}

std::u16string ScoringSummary(const ScoringView& view)
{
    const std::u16string score = ScoreText(view);
    if (view.result) {
        if (view.bestScore)
            return Formatted(Tr("PitchLaneLayout", "%1，最高分 %2"), {score, Digits(*view.bestScore)});
    } else if (const std::u16string_view word = ShownWord(view); !word.empty()) {
        return Formatted(Tr("PitchLaneLayout", "%1，%2"), {score, word});
    }
    return score;
}

std::vector<ScoreRow> ScoreRows(const SongScore& result)
{
    std::vector<ScoreRow> rows;
    for (size_t i = 0; i < result.lines.size(); ++i) {
        const LineScore& line = result.lines[i];
        rows.push_back({Formatted(Tr("PitchLaneLayout", "第 %1 句"), {Digits(static_cast<long long>(i + 1))}),
            Digits(line.score), std::u16string(line.word)});
    }
    return rows;
}

ScoreRowBoxes ScoreScreenLayout::Row(std::size_t index) const
{
    const int top = column.top + static_cast<int>(index) * rowHeight;
    const int labelWidth = column.width * 2 / 5;
    const int scoreWidth = column.width * 3 / 20;
    const int gap = rowHeight / 2;
    const int scoreLeft = column.left + labelWidth + gap;
    const int wordLeft = scoreLeft + scoreWidth + gap;
    return {{column.left, top, labelWidth, rowHeight}, {scoreLeft, top, scoreWidth, rowHeight},
        {wordLeft, top, column.left + column.width - wordLeft, rowHeight}};
}

ScoreScreenLayout LayOutScoreScreen(PixelRect box, std::size_t rows)
{
    ScoreScreenLayout layout;
    const int margin = box.height / 20;
    layout.score = {box.left, box.top + margin, box.width, box.height / 6};
    layout.best = {box.left, layout.score.Bottom(), box.width, box.height / 12};
    layout.rowHeight = std::max(box.height / 15, 1);
    // The column is wide enough for "第 99 句  100  完美" in the rows' text.
    const int columnWidth = std::min(box.width, layout.rowHeight * 10);
    const int columnTop = layout.best.Bottom() + margin;
    layout.column = {box.left + (box.width - columnWidth) / 2, columnTop, columnWidth,
        std::max(box.Bottom() - margin - columnTop, 0)};
    const auto fit = static_cast<std::size_t>(layout.column.height / layout.rowHeight);
    layout.rowsShown = rows <= fit ? rows : (fit > 0 ? fit - 1 : 0);
    layout.moreRow = rows > fit && fit > 0;
    return layout;
}

std::u16string MoreRowsText(std::size_t left)
{
    return Formatted(Tr("PitchLaneLayout", "另有 %1 句"), {Digits(static_cast<long long>(left))});
}

} // namespace linlangok
