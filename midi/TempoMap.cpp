#include "midi/TempoMap.h"

#include "midi/MidiSong.h"

#include <algorithm>

namespace linlangok {

CTempoMap::CTempoMap(const CMidiSong& song)
    : m_song(song)
{
}

void CTempoMap::Build()
{
    m_segments.clear();
    m_segments.reserve(m_song.TempoReferences().size());
    for (const TempoReference& reference : m_song.TempoReferences()) {
        const TrackEntry& entry = m_song.Track(reference.track).Entry(reference.entry);
        const CMetaMessage* meta = AsMetaMessage(entry.message);
        m_segments.push_back({entry.tick, meta ? meta->TempoOf() : 0, 0.0f});
    }
    for (size_t i = 1; i < m_segments.size(); ++i) {
        const TempoSegment& previous = m_segments[i - 1];
        m_segments[i].start = static_cast<float>(
            (double(m_segments[i].tick) - previous.tick) * previous.tempo * 0.000001 / m_song.Division()
            + previous.start);
    }
}

double CTempoMap::TicksToSeconds(std::int32_t tick) const
{
    if (m_segments.empty())
        return 0.0;
    // The segment holding the tick: the last one starting at or before it (segments ascend), or
    // the last segment for a tick before the first one.
    const auto after = std::upper_bound(m_segments.begin(), m_segments.end(), tick,
        [](std::int32_t t, const TempoSegment& segment) { return t < segment.tick; });
    const TempoSegment& segment = after == m_segments.begin() ? m_segments.back() : *(after - 1);
    return (double(tick) - segment.tick) * segment.tempo * 0.000001 / m_song.Division() + segment.start;
}

} // namespace linlangok
