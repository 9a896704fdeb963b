#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace linlangok {

// One hop of a voice's pitch: the seconds from the stream's first sample to the middle of the
// window it was heard in, and the pitch as a MIDI note number (fractional), NaN where the window
// holds no voiced sound (silence, noise, a consonant).
struct PitchFrame {
    double seconds = 0;
    float pitch = 0;
};

// Tracks the pitch of a mono voice stream in hops. One thread at a time; Push allocates nothing
// once `frames` has room for a call's hops.
class IPitchTracker {
public:
    virtual ~IPitchTracker() = default;
    virtual int SampleRate() const = 0;
    // Samples per hop: one pitch each.
    virtual size_t HopFrames() const = 0;
    // Takes the next `count` samples (-1..1) and appends a pitch for every hop they complete.
    virtual void Push(const float* samples, size_t count, std::vector<PitchFrame>& frames) = 0;
};

// Makes a tracker for a stream of this sample rate; raises std::runtime_error when it cannot.
using PitchTrackerFactory = std::function<std::unique_ptr<IPitchTracker>(int sampleRate)>;

// Every pitch of a whole mono recording, through a tracker from `makeTracker`.
std::vector<PitchFrame> TrackPitch(
    const PitchTrackerFactory& makeTracker, const std::vector<float>& samples, int sampleRate);

} // namespace linlangok
