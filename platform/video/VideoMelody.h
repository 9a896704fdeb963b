#pragma once

#include "core/picture/VideoSong.h"
#include "core/scoring/PitchTracker.h"
#include "core/session/VideoMelodyQueue.h"

#include <filesystem>
#include <optional>
#include <stop_token>
#include <vector>

namespace linlangok {

// A video's sound is decoded for its melody up to this long; the melody of a longer video ends
// there. Two mono signals of 10 minutes at 44.1 kHz hold 212 MB.
inline constexpr double kMaximumMelodyVideoSeconds = 600;

// The original vocal and the backing of a video as the program plays them by `layout`: each the
// mono mixdown of its heard channels (HeardChannels), at kStreamSampleRate, from the file's start.
struct VideoVoices {
    std::vector<float> original;
    std::vector<float> backing;
};

// Decodes them through `videos`, up to kMaximumMelodyVideoSeconds; nothing when stopped.
// Raises std::runtime_error when the file cannot be opened or decoded from its start (a file
// that breaks off later is taken up to the break).
std::optional<VideoVoices> DecodeVideoVoices(
    IVideoSongs& videos, const std::filesystem::path& path, const VocalLayout& layout, std::stop_token stop);

// IVideoMelodyDeriver over a video decoder and a pitch tracker; its background thread runs at
// the lowest priority.
class CVideoMelodyDeriver final : public IVideoMelodyDeriver {
public:
    // The video songs outlive the deriver.
    CVideoMelodyDeriver(IVideoSongs& videos, PitchTrackerFactory makeTracker);

    std::optional<VocalMelodyResult> Derive(
        const std::filesystem::path& video, const VocalLayout& layout, std::stop_token stop) override;
    VocalLayout DefaultLayout(const std::filesystem::path& video) override;
    void EnterBackgroundThread() override;

private:
    IVideoSongs& m_videos;
    PitchTrackerFactory m_makeTracker;
};

} // namespace linlangok
