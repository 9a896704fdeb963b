#pragma once

#include "core/performance/VoiceEffect.h"

#include <memory>
#include <string_view>
#include <vector>

namespace linlangok {

class CLv2Effect;
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
    // The plugin with that URI running at 44.1 kHz, its controls at their defaults. Raises
    // std::runtime_error saying why when there is no such plugin, it has ports other than 1 or 2
    // audio inputs and outputs, controls and event sequences, it needs a feature this host does
    // not give, or it fails to start.
    std::unique_ptr<CLv2Effect> Instantiate(std::string_view uri) const;

private:
    std::shared_ptr<Lv2World> m_world;
};

} // namespace linlangok
