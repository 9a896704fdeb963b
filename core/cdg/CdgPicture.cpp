#include "core/cdg/CdgPicture.h"

#include <algorithm>
#include <cmath>

namespace linlangok {

CCdgPicture::CCdgPicture(std::string stream)
    : m_stream(std::move(stream))
    , m_packetCount(m_stream.size() / kCdgPacketBytes)
{
    m_snapshots.push_back(std::make_shared<const CCdgScreen::Packed>(m_screen.Pack()));
}

std::shared_ptr<const SongFrame> CCdgPicture::FrameAt(double songSeconds)
{
    if (!(songSeconds >= 0.0))
        return nullptr;
    const double packet = std::floor(songSeconds * kCdgPacketsPerSecond);
    const uint64_t shown
        = packet >= static_cast<double>(m_packetCount) ? m_packetCount : static_cast<uint64_t>(packet) + 1;
    ScreenBefore(shown);
    if (!m_frameStale)
        return m_frame;
    // The frame is drawn anew only when the picture changed; a view that still holds the last
    // one keeps it unchanged.
    auto frame = std::make_shared<SongFrame>();
    frame->width = kCdgShownWidth;
    frame->height = kCdgShownHeight;
    frame->pixels.resize(static_cast<size_t>(kCdgShownWidth * kCdgShownHeight));
    frame->displayAspect = static_cast<double>(kCdgShownWidth) / kCdgShownHeight;
    frame->pixelArt = true;
    frame->sequence = m_applied == 0 ? 0 : m_applied - 1;
    m_screen.Render(frame->pixels.data());
    m_frame = std::move(frame);
    m_frameStale = false;
    return m_frame;
}

const CCdgScreen& CCdgPicture::ScreenBefore(uint64_t packet)
{
    packet = std::min(packet, m_packetCount);
    const uint64_t nearest = std::min<uint64_t>(packet / kPacketsPerSnapshot, m_snapshots.size() - 1);
    const uint64_t nearestPacket = nearest * kPacketsPerSnapshot;
    if (packet < m_applied || nearestPacket > m_applied) {
        m_screen.Unpack(*m_snapshots[nearest]);
        m_applied = nearestPacket;
        m_changedSinceSnapshot = false;
        m_frameStale = true;
    }
    Advance(packet);
    return m_screen;
}

void CCdgPicture::Advance(uint64_t packets)
{
    while (m_applied < packets) {
        const bool changed = m_screen.Apply(reinterpret_cast<const uint8_t*>(&m_stream[m_applied * kCdgPacketBytes]));
        m_changedSinceSnapshot |= changed;
        m_frameStale |= changed;
        ++m_applied;
        if (m_applied % kPacketsPerSnapshot != 0)
            continue;
        if (m_applied / kPacketsPerSnapshot == m_snapshots.size())
            m_snapshots.push_back(m_changedSinceSnapshot ? std::make_shared<const CCdgScreen::Packed>(m_screen.Pack())
                                                         : m_snapshots.back());
        m_changedSinceSnapshot = false;
    }
}

} // namespace linlangok
