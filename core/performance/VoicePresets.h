#pragma once

#include "core/performance/VoiceEffect.h"

#include <span>
#include <string>
#include <string_view>

namespace linlangok {

// A control of an effect plugin, by its port symbol, and the value it is set to.
struct VoiceEffectControl {
    std::string_view symbol;
    float value;
};

// One plugin of a preset's chain, by URI, its other controls at their defaults.
struct VoiceEffectStage {
    std::string_view uri;
    std::span<const VoiceEffectControl> controls;
};

// A named sound for the voice: its plugins, the voice through each in turn. 无 has none. The name
// is the source text, shown through Tr in the context "VoicePresets".
struct VoicePreset {
    std::string_view name;
    std::span<const VoiceEffectStage> chain;
};

// 无, KTV, 录音棚, 大厅, 回声, over the Dragonfly reverbs and mda Delay.
std::span<const VoicePreset> VoicePresets();
// The preset with that name; null when there is none.
const VoicePreset* FindVoicePreset(std::string_view name);
// The preset's plugins as a chain to start.
VoiceEffectChain ChainOf(const VoicePreset& preset);
// The Debian package that brings the plugin with that URI; empty when it is not one the presets use.
std::string_view VoicePluginPackage(std::string_view uri);
// "找不到效果插件“URI”。", with "请安装软件包 PACKAGE。" when VoicePluginPackage knows it; translated.
std::string MissingVoicePluginText(std::string_view uri);

} // namespace linlangok
