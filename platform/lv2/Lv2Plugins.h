#pragma once

#include "core/performance/VoiceEffect.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

typedef struct LilvPluginImpl LilvPlugin;

namespace linlangok {

class CLv2Effect;
class CVoiceEffectChain;
struct Lv2World;

// The LV2 plugins installed on the system (LV2_PATH, else the standard folders), read once when
// made. The effects it makes may outlive it. One thread at a time.
class CLv2Plugins {
public:
    CLv2Plugins();
    ~CLv2Plugins();

    CLv2Plugins(const CLv2Plugins&) = delete;
    CLv2Plugins& operator=(const CLv2Plugins&) = delete;

    // The reverbs and delays (their classes and every class under them), sorted by name.
    std::vector<VoicePluginInfo> VoiceEffectPlugins() const;
    // The control inputs of the plugin with that URI, in port order; empty when it is not
    // installed. A bound the plugin does not give is infinite; a missing default is the lower
    // bound, or 0.
    std::vector<VoiceControlInfo> Controls(std::string_view uri) const;
    // The plugin with that URI running at 44.1 kHz, its controls at their defaults. Raises
    // std::runtime_error saying why when there is no such plugin (the user's message, naming the
    // package that brings it: MissingVoicePluginText), it has ports other than 1 or 2
    // audio inputs and outputs, controls and event sequences, it needs a feature this host does
    // not give, or it fails to start.
    std::unique_ptr<CLv2Effect> Instantiate(std::string_view uri) const;
    // The name the plugin with that URI gives itself; the URI when it gives none or is not installed.
    std::string Name(std::string_view uri) const;
    // The chain's plugins running in this process, in turn, their controls set (a control a
    // plugin does not have is left out). Raises as Instantiate does, and std::invalid_argument
    // when the chain is empty.
    std::unique_ptr<CVoiceEffectChain> StartChain(const VoiceEffectChain& chain) const;

private:
    const LilvPlugin* Find(std::string_view uri) const;

    std::shared_ptr<Lv2World> m_world;
};

} // namespace linlangok
