#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace linlangok {

// The cable between the loopback output and the loopback input, in process: the output writes
// what is heard at each moment, the input hears it `Delay` frames later. Moments are frames of
// the line's clock; where nothing was played, the input hears silence. Device threads.
class CLoopbackLine {
public:
    // The line's clock: the current moment, in frames.
    using Clock = std::function<std::uint64_t()>;

    // Frames that the line remembers, more than the longest delay.
    static constexpr size_t kCapacityFrames = size_t {1} << 18;

    // Real time: frames of the steady clock since the line was made.
    CLoopbackLine();
    explicit CLoopbackLine(Clock clock);

    std::uint64_t Now() const { return m_clock(); }

    // The output, when it opens: how much later the input hears what is played. The line's memory
    // is taken then, so a line nobody plays into costs nothing.
    void SetDelay(std::uint64_t frames);

    // The output, after SetDelay: `frames` interleaved stereo frames heard from moment `moment` on.
    void Write(std::uint64_t moment, const float* samples, size_t frames);
    // The input: what it hears from moment `moment` on, as 16-bit stereo.
    void Read(std::uint64_t moment, std::int16_t* samples, size_t frames) const;

private:
    Clock m_clock;
    mutable std::mutex m_lock;
    std::vector<float> m_ring;
    std::uint64_t m_written = 0; // the ring holds the moments before this one
    std::uint64_t m_delay = 0;
};

} // namespace linlangok
