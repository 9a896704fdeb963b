#pragma once

#include <cstddef>
#include <string>

namespace linlangok {

// An installed effect plugin the voice can go through.
struct VoicePluginInfo {
    std::string uri;
    std::string name;
    std::string className; // the plugin's class as its bundle names it: "Reverb Plugin", "Delay Plugin"

    bool operator==(const VoicePluginInfo&) const = default;
};

// An effect on the singer's voice at 44.1 kHz: mono or stereo frames in, stereo frames out, in
// blocks of any size. Used by one thread at a time, the audio thread's; Process neither blocks
// nor allocates.
class IVoiceEffect {
public:
    virtual ~IVoiceEffect() = default;

    // `frames` interleaved frames of `channels` (1 or 2) channels in, `frames` interleaved stereo
    // frames out; `stereoOut` may not overlap `in`. Once the effect has failed it passes its
    // input through, non-finite samples as silence.
    virtual void Process(const float* in, int channels, size_t frames, float* stereoOut) = 0;
    // The frames the output lags the input by; 0 when the effect does not say.
    virtual size_t LatencyFrames() const = 0;
    // True from the first block whose output was not finite (NaN or infinite): the caller
    // switches the effect off.
    virtual bool HasFailed() const = 0;
};

} // namespace linlangok
