#include "platform/video/VideoMelody.h"

#include "core/audio/SampleFormat.h"
#include "core/scoring/VocalMelody.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

namespace linlangok {
namespace {

constexpr size_t kChunkFrames = 4096;

} // namespace

std::optional<VideoVoices> DecodeVideoVoices(
    IVideoSongs& videos, const std::filesystem::path& path, const VocalLayout& layout, std::stop_token stop)
{
    const std::unique_ptr<IAudioFileDecoder> decoder = videos.OpenAudio(path, DecodedTracks(layout));
    const auto channels = static_cast<size_t>(decoder->Channels());
    const ChannelPick original = HeardChannels(layout, true);
    const ChannelPick backing = HeardChannels(layout, false);
    if (std::max({original.left, original.right, backing.left, backing.right}) >= channels)
        throw std::runtime_error("The video's sound has fewer channels than its layout.");
    const auto most = static_cast<size_t>(kMaximumMelodyVideoSeconds * kStreamSampleRate);
    const size_t expected = std::min<size_t>(most, decoder->LengthMilliseconds() * kStreamSampleRate / 1000 + 1);
    VideoVoices voices;
    voices.original.reserve(expected);
    voices.backing.reserve(expected);
    std::vector<float> chunk(kChunkFrames * channels);
    while (voices.original.size() < most) {
        if (stop.stop_requested())
            return std::nullopt;
        size_t frames = 0;
        try {
            frames = decoder->Read(chunk.data(), std::min(kChunkFrames, most - voices.original.size()));
        } catch (const std::runtime_error&) {
            // As the player plays a file that breaks off: up to the break.
            if (voices.original.empty())
                throw;
        }
        if (frames == 0)
            break;
        for (size_t frame = 0; frame < frames; ++frame) {
            const float* samples = chunk.data() + frame * channels;
            voices.original.push_back(0.5f * (samples[original.left] + samples[original.right]));
            voices.backing.push_back(0.5f * (samples[backing.left] + samples[backing.right]));
        }
    }
    return voices;
}

CVideoMelodyDeriver::CVideoMelodyDeriver(IVideoSongs& videos, PitchTrackerFactory makeTracker)
    : m_videos(videos)
    , m_makeTracker(std::move(makeTracker))
{
}

std::optional<VocalMelodyResult> CVideoMelodyDeriver::Derive(
    const std::filesystem::path& video, const VocalLayout& layout, std::stop_token stop)
{
    try {
        const int tracks = static_cast<int>(m_videos.Probe(video).AudioTracks().size());
        std::optional<VideoVoices> voices = DecodeVideoVoices(m_videos, video, FitVocalLayout(layout, tracks), stop);
        if (!voices)
            return std::nullopt;
        return DeriveVocalMelody(
            std::move(voices->original), voices->backing, kStreamSampleRate, m_makeTracker, std::move(stop));
    } catch (const std::exception&) {
        // No such file or sound, no memory, or no pitch tracker.
        return VocalMelodyResult {EVocalMelodyVerdict::Unreadable, {EMelodySource::Video, {}, {}}};
    }
}

VocalLayout CVideoMelodyDeriver::DefaultLayout(const std::filesystem::path& video)
{
    try {
        return DefaultVocalLayout(static_cast<int>(m_videos.Probe(video).AudioTracks().size()));
    } catch (const std::runtime_error&) {
        return DefaultVocalLayout(1);
    }
}

void CVideoMelodyDeriver::EnterBackgroundThread()
{
    // Linux takes the nice value per thread.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
}

} // namespace linlangok
