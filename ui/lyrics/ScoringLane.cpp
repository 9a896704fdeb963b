#include "ui/lyrics/ScoringLane.h"

#include "ui/lyrics/PitchLanePainting.h"
#include "ui/widgets/QtText.h"

namespace linlangok {

void CScoringLane::SetSource(const IScoringViewSource* source)
{
    m_source = source;
    m_view.reset();
    m_notice.clear();
}

bool CScoringLane::Read()
{
    const bool hadView = m_view.has_value();
    std::u16string notice = m_source ? m_source->Notice() : std::u16string();
    m_view = m_source ? m_source->View() : std::nullopt;
    if (m_view)
        m_range.Update(m_view->notes);
    const bool changed = hadView || m_view || notice != m_notice;
    m_notice = std::move(notice);
    return changed;
}

LaneSplit CScoringLane::Split(const QRect& client) const
{
    return SplitForLane(ToPixelRect(client), m_view.has_value(), m_notice.empty() ? 0 : NoticeLineHeight(client));
}

void CScoringLane::Paint(QPainter& painter, const QRect& band) const
{
    if (m_view)
        PaintPitchLane(painter, band, *m_view, m_range.Range());
    else if (!m_notice.empty())
        PaintLaneNotice(painter, band, m_notice);
}

void CScoringLane::PaintResult(QPainter& painter, const QRect& rect) const
{
    if (ShowsResult())
        PaintScoreScreen(painter, rect, *m_view);
}

QString CScoringLane::Description() const
{
    return ToQString(m_view ? ScoringSummary(*m_view) : m_notice);
}

} // namespace linlangok
