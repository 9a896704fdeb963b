#pragma once

#include "core/cdg/CdgScreen.h"
#include "core/engine/SongPicture.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace linlangok {

// The pictures of a CD+G stream (a .cdg file): at song time t the screen as packet ⌊t × 300⌋
// left it, packets counted from 0. A frame is 288×192, pixel art.
//
// The screen is kept every second (every 300 packets, packed) as the stream is played, so a
// seek replays at most a second of packets from the nearest kept screen before it; playing on
// applies only the packets that came due since the last frame. The stream is held in memory;
// a last packet cut short is left out. UI thread, like ISongPicture.
class CCdgPicture final : public ISongPicture {
public:
    static constexpr uint64_t kPacketsPerSnapshot = kCdgPacketsPerSecond;

    explicit CCdgPicture(std::string stream);

    // Null before 0 (and for a time that is no number); after the last packet its screen stays.
    // The frame's sequence is the packet after which it was drawn; while the picture does not
    // change the same frame is returned.
    std::shared_ptr<const SongFrame> FrameAt(double songSeconds) override;

    uint64_t PacketCount() const { return m_packetCount; }
    // The screen after the packets before `packet` (all of them past the end).
    const CCdgScreen& ScreenBefore(uint64_t packet);

private:
    void Advance(uint64_t packets);

    std::string m_stream;
    uint64_t m_packetCount = 0;
    CCdgScreen m_screen;
    uint64_t m_applied = 0; // packets the screen shows
    // [k]: the screen before packet k × kPacketsPerSnapshot; a second in which nothing changed
    // shares the one before it.
    std::vector<std::shared_ptr<const CCdgScreen::Packed>> m_snapshots;
    bool m_changedSinceSnapshot = false;
    std::shared_ptr<const SongFrame> m_frame;
    bool m_frameStale = true;
};

} // namespace linlangok
