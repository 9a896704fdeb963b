#include "core/picture/VideoPicture.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <utility>

namespace linlangok {

std::vector<MediaStream> VideoSongInfo::AudioTracks() const
{
    std::vector<MediaStream> tracks;
    std::copy_if(streams.begin(), streams.end(), std::back_inserter(tracks),
        [](const MediaStream& stream) { return stream.type == MediaStream::EType::Audio; });
    return tracks;
}

bool VideoSongInfo::HasPicture() const
{
    return std::any_of(streams.begin(), streams.end(),
        [](const MediaStream& stream) { return stream.type == MediaStream::EType::Video; });
}

CVideoPicture::CVideoPicture(std::unique_ptr<IVideoFrameDecoder> decoder)
    : m_decoder(std::move(decoder))
    , m_frameSeconds(m_decoder->FrameSeconds())
    , m_worker([this] { Work(); })
{
}

CVideoPicture::~CVideoPicture()
{
    {
        std::lock_guard lock(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    m_worker.join();
}

std::shared_ptr<const SongFrame> CVideoPicture::FrameAt(double songSeconds)
{
    std::lock_guard lock(m_lock);
    Advance(songSeconds);
    return m_current.frame;
}

std::shared_ptr<const SongFrame> CVideoPicture::WaitForFrameAt(double songSeconds, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_lock);
    m_decoded.wait_for(lock, timeout, [this, songSeconds] {
        Advance(songSeconds);
        return HasDecodedPast(songSeconds);
    });
    return m_current.frame;
}

void CVideoPicture::Advance(double songSeconds)
{
    m_clock = songSeconds;
    bool wake = false;
    const bool before = m_current.frame && songSeconds < m_current.seconds - m_frameSeconds;
    const double reach
        = !m_ahead.empty() ? m_ahead.back().seconds : m_lastDecoded.value_or(m_current.frame ? m_current.seconds : 0.0);
    bool seek = before || (!m_ended && songSeconds > reach + kSeekAheadSeconds);
    // While a seek runs, only a time well away from its target asks for another.
    if (m_seeking)
        seek = songSeconds < *m_seekTarget - m_frameSeconds || songSeconds > *m_seekTarget + kSeekAheadSeconds;
    if (seek) {
        m_seekTo = songSeconds;
        m_seekTarget = songSeconds;
        m_seeking = true;
        ++m_generation;
        for (Picture& picture : m_ahead)
            Recycle(std::move(picture.frame));
        m_ahead.clear();
        // A picture from later in the song is not shown while the earlier ones are decoded.
        if (before)
            Recycle(std::exchange(m_current, {}).frame);
        m_lastDecoded.reset();
        m_ended = false;
        wake = true;
    }
    while (!m_ahead.empty() && m_ahead.front().seconds <= songSeconds) {
        Recycle(std::exchange(m_current, std::move(m_ahead.front())).frame);
        m_ahead.pop_front();
        wake = true;
    }
    if (wake)
        m_wake.notify_one();
}

bool CVideoPicture::HasDecodedPast(double songSeconds) const
{
    return m_ended || (!m_seeking && m_lastDecoded && *m_lastDecoded > songSeconds);
}

std::shared_ptr<SongFrame> CVideoPicture::TakeSpare()
{
    // A view may still hold a picture handed out before, until it paints the next one; nobody
    // takes another copy of a spare one, so once the view lets go it is ours alone.
    const auto free = std::find_if(
        m_spare.begin(), m_spare.end(), [](const std::shared_ptr<SongFrame>& frame) { return frame.use_count() == 1; });
    if (free == m_spare.end())
        return std::make_shared<SongFrame>();
    std::shared_ptr<SongFrame> frame = std::move(*free);
    m_spare.erase(free);
    return frame;
}

void CVideoPicture::Recycle(std::shared_ptr<SongFrame> frame)
{
    if (frame && m_spare.size() < kAheadPictures + 2)
        m_spare.push_back(std::move(frame));
}

void CVideoPicture::Work()
{
    std::unique_lock lock(m_lock);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || m_seekTo || (!m_ended && m_ahead.size() < kAheadPictures); });
        if (m_stop)
            return;
        const std::optional<double> seek = std::exchange(m_seekTo, std::nullopt);
        const double keepFrom = m_clock;
        const std::uint64_t generation = m_generation;
        std::shared_ptr<SongFrame> frame = TakeSpare();
        lock.unlock();
        std::optional<DecodedPicture> picture;
        bool failed = false;
        try {
            if (seek)
                m_decoder->Seek(*seek);
            picture = m_decoder->DecodeNext(*frame, keepFrom);
        } catch (const std::exception&) {
            // Undecodable data ends the pictures; the last one stays.
            failed = true;
        }
        lock.lock();
        if (generation != m_generation) {
            Recycle(std::move(frame)); // a seek came meanwhile
            continue;
        }
        if (failed || !picture) {
            m_ended = true;
            m_seeking = false;
            Recycle(std::move(frame));
        } else {
            m_lastDecoded = picture->seconds;
            if (picture->converted) {
                frame->sequence = m_frameSeconds > 0
                    ? static_cast<std::uint64_t>(std::llround(std::max(picture->seconds, 0.0) / m_frameSeconds))
                    : 0;
                m_ahead.push_back({picture->seconds, std::move(frame)});
                m_seeking = false;
            } else {
                Recycle(std::move(frame));
            }
        }
        m_decoded.notify_all();
    }
}

} // namespace linlangok
