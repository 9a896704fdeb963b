#pragma once

#include "core/cdg/CdgScreen.h"
#include "core/picture/SongPicture.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace linlangok {

// The pictures of a CD+G stream (a .cdg file): at song time t the screen as packet ⌊t × 300⌋
// left it, packets counted from 0. A frame is 288×192, pixel art. The stream is held in memory;
// a last packet cut short is left out.
//
// A worker thread started with the picture plays the stream through once and keeps the screen
// of every second (packed, a second in which nothing changed sharing the one before), so that a
// seek replays at most a second of packets from the nearest kept screen before it. Playing on
// applies only the packets that came due since the last frame. Until the worker has passed a
// time, a seek there replays from the nearest screen kept so far (or from where the picture
// was). Everything but KeptSnapshots runs on the UI thread, like ISongPicture.
class CCdgPicture final : public ISongPicture {
public:
    static constexpr std::uint64_t kPacketsPerSnapshot = kCdgPacketsPerSecond;

    explicit CCdgPicture(std::string stream);
    // Stops the worker.
    ~CCdgPicture() override;

    CCdgPicture(const CCdgPicture&) = delete;
    CCdgPicture& operator=(const CCdgPicture&) = delete;

    // Null before 0 (and for a time that is no number); after the last packet its screen stays.
    // The frame's sequence is the packet after which it was drawn; while the picture does not
    // change the same frame is returned.
    std::shared_ptr<const SongFrame> FrameAt(double songSeconds) override;

    std::uint64_t PacketCount() const { return m_packetCount; }
    // The screen after the packets before `packet` (all of them past the end).
    const CCdgScreen& ScreenBefore(std::uint64_t packet);
    // How many of the stream's screens (one a second, and the first) the worker has kept so far,
    // and how many it keeps in all; any thread.
    size_t KeptSnapshots() const { return m_kept.load(std::memory_order_acquire); }
    size_t SnapshotCount() const { return m_snapshots.size(); }

private:
    const std::uint8_t* Packet(std::uint64_t packet) const
    {
        return reinterpret_cast<const std::uint8_t*>(m_stream.data()) + packet * kCdgPacketBytes;
    }
    void KeepSnapshots(std::stop_token stop);

    const std::string m_stream;
    const std::uint64_t m_packetCount;
    // [k]: the screen before packet k × kPacketsPerSnapshot. Sized at the start; the worker
    // writes [k] before m_kept passes k, and nothing else writes.
    std::vector<std::shared_ptr<const CCdgScreen::Packed>> m_snapshots;
    std::atomic<size_t> m_kept {1};

    CCdgScreen m_screen; // UI thread from here on
    std::uint64_t m_applied = 0; // packets m_screen shows
    std::shared_ptr<const SongFrame> m_frame;
    bool m_frameStale = true;

    std::jthread m_worker; // declared last: stopped and joined first
};

} // namespace linlangok
