#include "ui/lyrics/PitchLanePainting.h"

#include "ui/lyrics/StageWindow.h"
#include "ui/widgets/QtText.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace linlangok {
namespace {

constexpr RgbColour kOctaveLine {40, 40, 56}; // at every C, to read the pitches by
constexpr double kTextShare = 0.8; // of a text box's height, the font's pixel size

QRectF ToQRectF(const NoteBar& bar)
{
    return QRectF(bar.left, bar.top, bar.width, bar.height);
}

void DrawText(QPainter& painter, const PixelRect& box, Qt::Alignment alignment, const QString& text, RgbColour colour,
    double share = kTextShare)
{
    painter.setFont(StageFont(static_cast<int>(box.height * share)));
    painter.setPen(ToQColor(colour));
    painter.drawText(ToQRect(box), alignment | Qt::TextSingleLine, text);
}

void DrawBars(QPainter& painter, const CPitchLaneLayout& layout, const std::vector<MelodyNote>& notes)
{
    for (const NoteBar& bar : layout.Bars(notes)) {
        const bool golden = bar.kind == ENoteKind::Golden || bar.kind == ENoteKind::GoldenRap;
        const bool rap = bar.kind == ENoteKind::Rap || bar.kind == ENoteKind::GoldenRap;
        const QColor colour = ToQColor(bar.kind == ENoteKind::Freestyle ? kLaneFreestyleNote
                : golden                                                ? kLaneGoldenNote
                                                                        : kLaneNote);
        const double radius = std::min(bar.height / 2, 6.0);
        painter.setPen(rap ? QPen(colour, 1.5) : Qt::NoPen);
        painter.setBrush(rap ? QBrush(colour, Qt::BDiagPattern) : QBrush(colour));
        painter.drawRoundedRect(ToQRectF(bar), radius, radius);
    }
    painter.setBrush(Qt::NoBrush);
}

void DrawOctaveLines(QPainter& painter, const CPitchLaneLayout& layout, const PitchRange& range)
{
    const PixelRect box = layout.PitchBox();
    painter.setPen(QPen(ToQColor(kOctaveLine), 1));
    for (double c = std::ceil(range.low / 12) * 12; c <= range.high; c += 12) {
        const double y = layout.Y(c);
        painter.drawLine(QPointF(box.left, y), QPointF(box.left + box.width, y));
    }
}

void DrawTrace(QPainter& painter, const CPitchLaneLayout& layout, const std::vector<TracePoint>& trace)
{
    const double width = std::max(3.0, layout.PitchBox().height / 32.0);
    for (const bool hit : {false, true}) {
        QPainterPath path;
        for (const TraceSegment& segment : layout.Segments(trace)) {
            if (segment.hit != hit)
                continue;
            path.moveTo(segment.x1, segment.y1);
            path.lineTo(segment.x2, segment.y2);
        }
        painter.strokePath(path, QPen(ToQColor(hit ? kLaneHit : kLaneMiss), width, Qt::SolidLine, Qt::RoundCap));
    }
}

} // namespace

QColor ToQColor(RgbColour colour)
{
    return QColor(colour.red, colour.green, colour.blue);
}

PixelRect ToPixelRect(const QRect& rect)
{
    return {rect.left(), rect.top(), rect.width(), rect.height()};
}

QRect ToQRect(const PixelRect& rect)
{
    return QRect(rect.left, rect.top, rect.width, rect.height);
}

int NoticeLineHeight(const QRect& client)
{
    return std::max(client.height() / 20, 16);
}

void PaintPitchLane(
    QPainter& painter, const QRect& rect, const ScoringView& view, const std::optional<PitchRange>& range)
{
    painter.save();
    painter.setClipRect(rect);
    painter.fillRect(rect, ToQColor(kLaneBackground));
    const PitchRange pitches = range.value_or(FitPitchRange(view.notes));
    const CPitchLaneLayout layout(ToPixelRect(rect), pitches, view.now);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawOctaveLines(painter, layout, pitches);
    DrawBars(painter, layout, view.notes);
    const PixelRect box = layout.PitchBox();
    painter.setPen(QPen(ToQColor(kLaneNowLine), 2));
    painter.drawLine(QPointF(layout.NowX(), box.top), QPointF(layout.NowX(), box.Bottom()));
    DrawTrace(painter, layout, view.trace);
    DrawText(painter, layout.ScoreBox(), Qt::AlignLeft | Qt::AlignVCenter, ToQString(ScoreText(view)), kLaneScore);
    DrawText(painter, layout.WordBox(), Qt::AlignRight | Qt::AlignVCenter, ToQString(ShownWord(view)), kLaneWord);
    painter.restore();
}

void PaintScoreScreen(QPainter& painter, const QRect& rect, const ScoringView& view)
{
    painter.fillRect(rect, ToQColor(kLyricBackground));
    if (!view.result)
        return;
    const std::vector<ScoreRow> rows = ScoreRows(*view.result);
    const ScoreScreenLayout layout = LayOutScoreScreen(ToPixelRect(rect), rows.size());
    DrawText(painter, layout.score, Qt::AlignCenter, ToQString(ScoreText(view)), kLaneWord);
    if (view.bestScore)
        DrawText(painter, layout.best, Qt::AlignCenter,
            QCoreApplication::translate("PitchLanePainting", "最高分 %1").arg(*view.bestScore), kLaneScore);
    constexpr double kRowShare = 0.7;
    for (size_t i = 0; i < layout.rowsShown; ++i) {
        const ScoreRowBoxes boxes = layout.Row(i);
        DrawText(painter, boxes.label, Qt::AlignRight | Qt::AlignVCenter, ToQString(rows[i].label), kLrcOtherLine,
            kRowShare);
        DrawText(
            painter, boxes.score, Qt::AlignRight | Qt::AlignVCenter, ToQString(rows[i].score), kLaneScore, kRowShare);
        DrawText(painter, boxes.word, Qt::AlignLeft | Qt::AlignVCenter, ToQString(rows[i].word), kLaneWord, kRowShare);
    }
    if (layout.moreRow) {
        const ScoreRowBoxes boxes = layout.Row(layout.rowsShown);
        const PixelRect whole {boxes.label.left, boxes.label.top, layout.column.width, layout.rowHeight};
        DrawText(painter, whole, Qt::AlignCenter, ToQString(MoreRowsText(rows.size() - layout.rowsShown)), kLaneNotice,
            kRowShare);
    }
}

void PaintLaneNotice(QPainter& painter, const QRect& rect, std::u16string_view notice)
{
    painter.fillRect(rect, ToQColor(kLyricBackground));
    DrawText(painter, ToPixelRect(rect), Qt::AlignCenter, ToQString(notice), kLaneNotice, 0.7);
}

} // namespace linlangok
