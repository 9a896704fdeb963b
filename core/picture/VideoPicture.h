#pragma once

#include "core/picture/SongPicture.h"
#include "core/picture/VideoSong.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace linlangok {

// The pictures of a video song, following the song's clock: a worker thread decodes a few
// pictures ahead of the time last asked for, and FrameAt hands out the one due. The clock is
// whoever asks (the song time heard): a picture already over when it is decoded is never
// converted, so a slow machine drops pictures rather than drift. A time before the picture shown
// (by more than a picture's length), or well past what is decoded, seeks.
class CVideoPicture final : public ISongPicture {
public:
    // Pictures decoded ahead of the one shown.
    static constexpr size_t kAheadPictures = 4;
    // A time this far past the last decoded picture seeks instead of decoding up to it.
    static constexpr double kSeekAheadSeconds = 2.0;

    // Starts the worker, which decodes from the song's start.
    explicit CVideoPicture(std::unique_ptr<IVideoFrameDecoder> decoder);
    ~CVideoPicture() override;

    CVideoPicture(const CVideoPicture&) = delete;
    CVideoPicture& operator=(const CVideoPicture&) = delete;

    std::shared_ptr<const SongFrame> FrameAt(double songSeconds) override;
    // As FrameAt, once the picture due at `songSeconds` is decoded (or the stream has ended, or
    // `timeout` has passed): for renders and tools, never the UI thread.
    std::shared_ptr<const SongFrame> WaitForFrameAt(double songSeconds, std::chrono::milliseconds timeout);

private:
    struct Picture {
        double seconds = 0.0;
        std::shared_ptr<SongFrame> frame;
    };

    // Under m_lock: takes `songSeconds` as the clock, asks for a seek when it lies outside what is
    // decoded and moves to the picture due.
    void Advance(double songSeconds);
    bool HasDecodedPast(double songSeconds) const;
    // Under m_lock: a frame to decode into, reusing the memory of one given back (the pictures are
    // large) once nobody else holds it.
    std::shared_ptr<SongFrame> TakeSpare();
    void Recycle(std::shared_ptr<SongFrame> frame);
    void Work();

    std::unique_ptr<IVideoFrameDecoder> m_decoder; // the worker's
    const double m_frameSeconds;

    std::mutex m_lock;
    std::condition_variable m_wake; // the worker waits for room, a seek or the stop
    std::condition_variable m_decoded; // WaitForFrameAt waits for pictures
    double m_clock = 0.0; // the song time asked for last
    Picture m_current; // the picture FrameAt hands out; no frame before the first
    std::deque<Picture> m_ahead; // decoded, in time order
    std::vector<std::shared_ptr<SongFrame>> m_spare;
    std::optional<double> m_seekTo; // asked for, not yet taken by the worker
    std::optional<double> m_seekTarget; // of the last seek asked for
    bool m_seeking = false; // from the ask until the worker has decoded past the target
    std::uint64_t m_generation = 0; // counts the seeks, so the worker drops a picture decoded before one
    std::optional<double> m_lastDecoded; // the time of the last picture decoded since the last seek
    bool m_ended = false;
    bool m_stop = false;
    std::thread m_worker; // last: started once everything it uses is made
};

} // namespace linlangok
