#pragma once

#include "core/lyrics/PitchLaneLayout.h"

#include <QRect>
#include <QString>

#include <optional>
#include <string>

class QPainter;

namespace linlangok {

// What a window shows of the scoring: the view and the notice its source gave at the last read,
// and the lane's pitch range kept from read to read. Without a source, or with neither a view
// nor a notice, it takes no room and draws nothing. The source outlives it. UI thread.
class CScoringLane {
public:
    // A window that shows a view reads the source this often, milliseconds (60 Hz).
    static constexpr int kViewReadPeriod = 16;

    // Null for none: what was read is dropped.
    void SetSource(const IScoringViewSource* source);
    // Reads the source; whether what the lane draws may have changed.
    bool Read();

    const std::optional<ScoringView>& View() const { return m_view; }
    // Whether the song's score screen stands instead of the lyrics.
    bool ShowsResult() const { return m_view && m_view->result; }
    // The client split into the lyrics above and the lane (or the notice) below.
    LaneSplit Split(const QRect& client) const;
    // The lane or the notice into the band Split gave.
    void Paint(QPainter& painter, const QRect& band) const;
    // The score screen into rect, when the view has a result.
    void PaintResult(QPainter& painter, const QRect& rect) const;
    // For assistive tools: the score and the word, the score screen's scores, or the notice.
    QString Description() const;

private:
    const IScoringViewSource* m_source = nullptr;
    std::optional<ScoringView> m_view;
    std::u16string m_notice;
    CPitchLaneRange m_range;
};

} // namespace linlangok
