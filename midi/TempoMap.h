#pragma once

#include <cstdint>
#include <vector>

namespace linlangok {

class CMidiSong;

// One tempo of the song from its tick on: microseconds per quarter note, and the seconds at which
// the segment starts.
struct TempoSegment {
    std::int32_t tick;
    std::int32_t tempo;
    float start;
};

// A Set Tempo event waiting to be merged into the first track.
struct PendingTempo {
    std::int32_t tick;
    std::int32_t tempo;
};

// The song's tempo map: turns ticks into seconds. Built on the UI thread after loading; read on
// the UI thread.
class CTempoMap {
public:
    explicit CTempoMap(const CMidiSong& song);

    // Rebuilds the segments from the song's tempo references (one segment per Set Tempo event,
    // in the references' order, which is ascending tick order after NormalizeTempo).
    void Build();

    // Seconds at the tick: 0.0 without segments; otherwise from the segment that holds the tick,
    // or the last segment for a tick at or after it or before the first one.
    double TicksToSeconds(std::int32_t tick) const;

    const std::vector<TempoSegment>& Segments() const { return m_segments; }
    std::vector<PendingTempo>& PendingTempos() { return m_pendingTempos; }

private:
    std::vector<TempoSegment> m_segments;
    const CMidiSong& m_song;
    std::vector<PendingTempo> m_pendingTempos;
};

} // namespace linlangok
