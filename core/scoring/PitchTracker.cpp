#include "core/scoring/PitchTracker.h"

#include <algorithm>

namespace linlangok {

std::vector<PitchFrame> TrackPitch(
    const PitchTrackerFactory& makeTracker, const std::vector<float>& samples, int sampleRate)
{
    const std::unique_ptr<IPitchTracker> tracker = makeTracker(sampleRate);
    std::vector<PitchFrame> frames;
    frames.reserve(samples.size() / tracker->HopFrames() + 1);
    constexpr size_t kChunk = 4096;
    for (size_t at = 0; at < samples.size(); at += kChunk)
        tracker->Push(samples.data() + at, std::min(kChunk, samples.size() - at), frames);
    return frames;
}

} // namespace linlangok
