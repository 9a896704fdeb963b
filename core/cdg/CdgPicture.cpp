#include "core/cdg/CdgPicture.h"

#include <algorithm>
#include <cmath>

namespace linlangok {

CCdgPicture::CCdgPicture(std::string stream)
    : m_stream(std::move(stream))
    , m_packetCount(m_stream.size() / kCdgPacketBytes)
    , m_snapshots(m_packetCount / kPacketsPerSnapshot + 1)
{
    m_snapshots[0] = std::make_shared<const CCdgScreen::Packed>(m_screen.Pack());
    if (m_snapshots.size() > 1)
        m_worker = std::jthread([this](std::stop_token stop) { KeepSnapshots(stop); });
}

CCdgPicture::~CCdgPicture() = default;

void CCdgPicture::KeepSnapshots(std::stop_token stop)
{
    CCdgScreen screen;
    for (size_t second = 1; second < m_snapshots.size() && !stop.stop_requested(); ++second) {
        bool changed = false;
        for (std::uint64_t packet = (second - 1) * kPacketsPerSnapshot; packet < second * kPacketsPerSnapshot; ++packet)
            changed |= screen.Apply(Packet(packet));
        m_snapshots[second]
            = changed ? std::make_shared<const CCdgScreen::Packed>(screen.Pack()) : m_snapshots[second - 1];
        m_kept.store(second + 1, std::memory_order_release);
    }
}

std::shared_ptr<const SongFrame> CCdgPicture::FrameAt(double songSeconds)
{
    if (!(songSeconds >= 0.0))
        return nullptr;
    const double packet = std::floor(songSeconds * kCdgPacketsPerSecond);
    const std::uint64_t shown
        = packet >= static_cast<double>(m_packetCount) ? m_packetCount : static_cast<std::uint64_t>(packet) + 1;
    ScreenBefore(shown);
    if (!m_frameStale)
        return m_frame;
    // A new frame each time the picture changed: a view may still hold the last one.
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

const CCdgScreen& CCdgPicture::ScreenBefore(std::uint64_t packet)
{
    packet = std::min(packet, m_packetCount);
    const std::uint64_t nearest = std::min<std::uint64_t>(packet / kPacketsPerSnapshot, KeptSnapshots() - 1);
    const std::uint64_t nearestPacket = nearest * kPacketsPerSnapshot;
    if (packet < m_applied || nearestPacket > m_applied) {
        m_screen.Unpack(*m_snapshots[nearest]);
        m_applied = nearestPacket;
        m_frameStale = true;
    }
    for (; m_applied < packet; ++m_applied)
        m_frameStale |= m_screen.Apply(Packet(m_applied));
    return m_screen;
}

} // namespace linlangok
