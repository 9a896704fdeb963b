#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace linlangok {

// An installed effect plugin the voice can go through.
struct VoicePluginInfo {
    std::string uri;
    std::string name;
    std::string className; // the plugin's class as its bundle names it: "Reverb Plugin", "Delay Plugin"

    bool operator==(const VoicePluginInfo&) const = default;
};

// A control a plugin offers, as 更多效果… shows it.
struct VoiceControlInfo {
    std::string symbol;
    std::string name;
    float minimum = 0;
    float maximum = 1;
    float defaultValue = 0;
    bool toggled = false; // an on/off switch
    bool integer = false; // whole steps only

    bool operator==(const VoiceControlInfo&) const = default;
};

// One plugin of a chain as a preset or the user sets it: its URI and the controls given a
// value, by port symbol; the others keep their defaults.
struct VoiceEffectSetting {
    std::string uri;
    std::vector<std::pair<std::string, float>> controls;

    bool operator==(const VoiceEffectSetting&) const = default;
};

// The plugins the voice goes through, in turn. Empty: the voice stays dry.
using VoiceEffectChain = std::vector<VoiceEffectSetting>;

// An effect on the singer's voice at 44.1 kHz: mono or stereo frames in, stereo frames out, in
// blocks of any size. Used by one thread at a time, never the audio callback's; Process does not
// allocate and returns within a bounded time (an effect that runs elsewhere waits for it so long).
class IVoiceEffect {
public:
    virtual ~IVoiceEffect() = default;

    // `frames` interleaved frames of `channels` (1 or 2) channels in, `frames` interleaved stereo
    // frames out; `stereoOut` may not overlap `in`. Once the effect has failed it passes its
    // input through, non-finite samples as silence.
    virtual void Process(const float* in, int channels, size_t frames, float* stereoOut) = 0;
    // The frames the output lags the input by; 0 when the effect does not say.
    virtual size_t LatencyFrames() const = 0;
    // True from the first block the effect failed in: its output was not finite (NaN or
    // infinite), or the plugin crashed or did not answer in time. The caller switches it off.
    virtual bool HasFailed() const = 0;
    // Why it failed, for the user (UTF-8); empty while it works.
    virtual std::string FailureReason() const = 0;
};

// The effect plugins installed on this machine: lists them and starts chains of them. UI thread.
class IVoiceEffects {
public:
    virtual ~IVoiceEffects() = default;

    // The reverbs and delays, sorted by name.
    virtual std::vector<VoicePluginInfo> Plugins() const = 0;
    // The controls of the plugin with that URI, in port order; empty when there is none.
    virtual std::vector<VoiceControlInfo> Controls(std::string_view uri) const = 0;
    // The chain running, apart from the program: a plugin that crashes or hangs fails the effect
    // (HasFailed) and the voice goes on dry. Raises std::runtime_error with the user's message
    // when a plugin is not installed (naming the package that brings it, VoicePluginPackage) or
    // cannot start. An empty chain raises std::invalid_argument.
    virtual std::unique_ptr<IVoiceEffect> Start(const VoiceEffectChain& chain) const = 0;
};

} // namespace linlangok
