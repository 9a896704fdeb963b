#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

namespace linlangok {

// The channels a song's sound may be decoded into: a stereo pair, or two (the two audio tracks
// of a video, the original vocal's and the backing's, whichever the listener hears).
inline constexpr int kMaximumSongChannels = 4;

// An audio file (WAV, MP3 ...) decoded into the stream format: 44.1 kHz interleaved float, in
// stereo pairs. Used by one thread at a time.
class IAudioFileDecoder {
public:
    virtual ~IAudioFileDecoder() = default;

    // The channels of a decoded frame: 2 (left, right) or 4 (the left and right of two tracks).
    virtual int Channels() const { return 2; }

    // The file's length in milliseconds, from its own frame count and sample rate.
    virtual std::uint64_t LengthMilliseconds() const = 0;

    // Decodes up to `frames` frames into `samples` (Channels() × frames floats). Returns the
    // frames written; 0 at the end of the file. Raises std::runtime_error when the data cannot be
    // decoded.
    virtual size_t Read(float* samples, size_t frames) = 0;
};

// Opens a file for decoding; raises std::runtime_error when it cannot be opened or is no audio.
using AudioFileOpener = std::function<std::unique_ptr<IAudioFileDecoder>(const std::filesystem::path& path)>;

} // namespace linlangok
