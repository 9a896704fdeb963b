#pragma once

#include "core/picture/SongPicture.h"
#include "core/playback/AudioFileDecoder.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace linlangok {

// One stream of a video file, as the file describes it.
struct MediaStream {
    enum class EType { Audio, Video, Other };

    int index = 0; // in the file
    EType type = EType::Other;
    std::string codec; // "h264", "mpeg2video", "mp2" …
    std::string language; // the stream's language tag; empty when it has none
    int channels = 0; // audio
    int sampleRate = 0; // audio
    int width = 0; // video, in pixels
    int height = 0;
    double framesPerSecond = 0.0; // video; 0 when unknown
};

// What a video file holds.
struct VideoSongInfo {
    std::string container; // "matroska,webm", "mpeg" …
    std::vector<MediaStream> streams;
    std::int64_t lengthMilliseconds = 0; // 0 when the file does not say

    // The audio streams in file order, "音轨 1" first.
    std::vector<MediaStream> AudioTracks() const;
    bool HasPicture() const;
};

// A picture decoded and its place in the song.
struct DecodedPicture {
    double seconds = 0.0; // song time at which it is due
    bool converted = false; // written into the frame given; false for one already over
};

// Whether a picture due at `seconds` is over at song time `keepFrom`: the one after it (one
// `frameSeconds` on) is due by then, with half a picture's margin, so the picture before the one
// due is always kept, whatever the rounding of the times or a stream whose times wander.
inline bool IsPictureOver(double seconds, double frameSeconds, double keepFrom)
{
    return seconds + 1.5 * frameSeconds <= keepFrom;
}

// The pictures of one video file in order, worked by one thread at a time.
class IVideoFrameDecoder {
public:
    virtual ~IVideoFrameDecoder() = default;

    // Seconds one picture stays, from the stream's frame rate.
    virtual double FrameSeconds() const = 0;
    // Decodes the next picture. One that is over at `keepFrom` (song seconds; IsPictureOver) is
    // only decoded; any other is converted into `frame`, whose pixels' memory is reused. Nothing at the end of the
    // stream. Raises std::runtime_error when the data cannot be decoded.
    virtual std::optional<DecodedPicture> DecodeNext(SongFrame& frame, double keepFrom) = 0;
    // Moves so that the pictures decoded next lead up to `seconds`: the first one is due at or
    // before it (the stream's start at the latest). Raises std::runtime_error when it cannot.
    virtual void Seek(double seconds) = 0;
};

// Video songs (KTV videos): what they hold, their sound and their pictures. Song time 0 is the
// file's start; a stream that starts later begins with silence or its first picture. Any thread;
// each object opened is used by one thread at a time.
class IVideoSongs {
public:
    virtual ~IVideoSongs() = default;

    // Raises std::runtime_error with the reason when the file is no regular file or no media file.
    virtual VideoSongInfo Probe(const std::filesystem::path& path) = 0;
    // The sound of the audio tracks (indexes into VideoSongInfo::AudioTracks, one or two), each as
    // a stereo pair of channels in that order. Raises std::runtime_error when the file cannot be
    // opened or has no such track.
    virtual std::unique_ptr<IAudioFileDecoder> OpenAudio(
        const std::filesystem::path& path, const std::vector<int>& tracks)
        = 0;
    // The pictures of its first video stream. Raises std::runtime_error when there is none.
    virtual std::unique_ptr<IVideoFrameDecoder> OpenPictures(const std::filesystem::path& path) = 0;
};

} // namespace linlangok
