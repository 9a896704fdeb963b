#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace linlangok {

// One picture of a song: 0xAARRGGBB pixels, row by row.
struct SongFrame {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    // Width over height of the picture as shown (a DVD's 720×576 may be shown at 16:9).
    double displayAspect = 0.0;
    // Drawn in whole pixels (CD+G graphics): scaled by whole multiples, nearest neighbour, never smoothed.
    bool pixelArt = false;
    // Position of the frame in its stream, counted from 0.
    std::uint64_t sequence = 0;
};

// The pictures of a video or CD+G song, drawn from the song's clock.
class ISongPicture {
public:
    virtual ~ISongPicture() = default;

    // The frame due at song time `songSeconds`, or null before the first one. Called on the UI thread;
    // returns at once, never waiting for a decoder.
    virtual std::shared_ptr<const SongFrame> FrameAt(double songSeconds) = 0;
};

// A song's pictures `delay` seconds late against its sound (early when negative): a video whose
// sound starts elsewhere than the song's.
class CDelayedPicture final : public ISongPicture {
public:
    CDelayedPicture(std::unique_ptr<ISongPicture> picture, double delay)
        : m_picture(std::move(picture))
        , m_delay(delay)
    {
    }

    std::shared_ptr<const SongFrame> FrameAt(double songSeconds) override
    {
        return m_picture->FrameAt(songSeconds - m_delay);
    }

private:
    std::unique_ptr<ISongPicture> m_picture;
    double m_delay;
};

} // namespace linlangok
