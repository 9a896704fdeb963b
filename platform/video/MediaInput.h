#pragma once

#include "common/RegularFile.h"
#include "core/picture/VideoSong.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

struct AVFormatContext;
struct AVIOContext;
struct AVStream;

namespace linlangok {

// A media file opened with libavformat, read through a CRegularFile (never a FIFO or a device),
// its streams' parameters read. Song time 0 is the file's start time. FFmpeg's own log is
// silenced from the first opening on. One thread at a time.
class CMediaInput {
public:
    // Raises std::runtime_error with the reason when the file is no regular file or no media file
    // libavformat knows.
    explicit CMediaInput(const std::filesystem::path& path);
    ~CMediaInput();

    CMediaInput(const CMediaInput&) = delete;
    CMediaInput& operator=(const CMediaInput&) = delete;

    AVFormatContext* Context() const { return m_context; }
    // The stream's timestamp in song seconds.
    double Seconds(const AVStream& stream, std::int64_t timestamp) const;
    // Song seconds as a timestamp of the stream.
    std::int64_t Timestamp(const AVStream& stream, double seconds) const;

    VideoSongInfo Info() const;
    // The song's length: the container's duration, else the longest its streams say, else where
    // its last packet ends (read from a second opening of the file, past its last 16 MiB); a
    // duration of NaN, below zero or beyond a day counts for none. 0 when none is known.
    std::int64_t LengthMilliseconds() const;
    // The file's audio streams in file order, and its first video stream (-1 for none): a cover
    // picture attached to the sound is no video.
    std::vector<int> AudioStreams() const;
    int VideoStream() const;

private:
    // The end in song seconds of the last audio or video packet among the file's last 16 MiB;
    // reads this opening's packets to the end.
    std::optional<double> EndOfLastPacket();
    static int Read(void* input, std::uint8_t* buffer, int size);
    static std::int64_t Seek(void* input, std::int64_t offset, int whence);

    std::filesystem::path m_path;
    CRegularFile m_file;
    std::int64_t m_position = 0; // of the next byte read
    AVIOContext* m_io = nullptr;
    AVFormatContext* m_context = nullptr;
    double m_startSeconds = 0.0;
};

// The text of a libav* error code.
std::string MediaErrorText(int error);

} // namespace linlangok
