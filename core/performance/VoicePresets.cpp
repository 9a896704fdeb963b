#include "core/performance/VoicePresets.h"

#include "common/Text.h"
#include "common/Translation.h"

#include <algorithm>

namespace linlangok {
namespace {

constexpr const char* kRoom = "urn:dragonfly:room";
constexpr const char* kHall = "https://github.com/michaelwillis/dragonfly-reverb";
constexpr const char* kDelay = "http://drobilla.net/plugins/mda/Delay";

constexpr VoiceEffectControl kKtvRoom[]
    = {{"dry_level", 80}, {"early_level", 15}, {"late_level", 25}, {"size", 16}, {"predelay", 10}, {"decay", 2.2f}};
// mda Delay's time goes with the square of its control: 0.4 is 119 ms, 0.635 is 300 ms.
constexpr VoiceEffectControl kKtvEcho[] = {{"l_delay", 0.4f}, {"r_delay", 0.4f}, {"feedback", 0.2f}, {"fx_mix", 0.15f}};
constexpr VoiceEffectControl kStudioRoom[]
    = {{"dry_level", 80}, {"early_level", 15}, {"late_level", 15}, {"size", 8}, {"predelay", 4}, {"decay", 0.4f}};
constexpr VoiceEffectControl kHallControls[]
    = {{"dry_level", 80}, {"early_level", 10}, {"late_level", 30}, {"size", 30}, {"delay", 20}, {"decay", 2.4f}};
constexpr VoiceEffectControl kEchoControls[]
    = {{"l_delay", 0.635f}, {"r_delay", 0.635f}, {"feedback", 0.45f}, {"fx_mix", 0.35f}};

constexpr VoiceEffectStage kKtv[] = {{kRoom, kKtvRoom}, {kDelay, kKtvEcho}};
constexpr VoiceEffectStage kStudio[] = {{kRoom, kStudioRoom}};
constexpr VoiceEffectStage kHallChain[] = {{kHall, kHallControls}};
constexpr VoiceEffectStage kEcho[] = {{kDelay, kEchoControls}};

constexpr VoicePreset kPresets[] = {
    {LINLANGOK_TR_NOOP("VoicePresets", "无"), {}},
    {LINLANGOK_TR_NOOP("VoicePresets", "KTV"), kKtv},
    {LINLANGOK_TR_NOOP("VoicePresets", "录音棚"), kStudio},
    {LINLANGOK_TR_NOOP("VoicePresets", "大厅"), kHallChain},
    {LINLANGOK_TR_NOOP("VoicePresets", "回声"), kEcho},
};

} // namespace

std::span<const VoicePreset> VoicePresets()
{
    return kPresets;
}

const VoicePreset* FindVoicePreset(std::string_view name)
{
    const auto found = std::find_if(
        std::begin(kPresets), std::end(kPresets), [name](const VoicePreset& preset) { return preset.name == name; });
    return found == std::end(kPresets) ? nullptr : found;
}

VoiceEffectChain ChainOf(const VoicePreset& preset)
{
    VoiceEffectChain chain;
    for (const VoiceEffectStage& stage : preset.chain) {
        VoiceEffectSetting& setting = chain.emplace_back();
        setting.uri = stage.uri;
        for (const VoiceEffectControl& control : stage.controls)
            setting.controls.emplace_back(std::string(control.symbol), control.value);
    }
    return chain;
}

std::string_view VoicePluginPackage(std::string_view uri)
{
    if (uri.starts_with("urn:dragonfly:") || uri.starts_with(kHall))
        return "dragonfly-reverb-lv2";
    if (uri.starts_with("http://drobilla.net/plugins/mda/"))
        return "mda-lv2";
    return {};
}

std::string MissingVoicePluginText(std::string_view uri)
{
    if (const std::string_view package = VoicePluginPackage(uri); !package.empty()) {
        return Utf16ToUtf8(Formatted(
            Tr("VoicePresets", "找不到效果插件“%1”。请安装软件包 %2。"), {Utf8ToUtf16(uri), Utf8ToUtf16(package)}));
    }
    return Utf16ToUtf8(Formatted(Tr("VoicePresets", "找不到效果插件“%1”。"), {Utf8ToUtf16(uri)}));
}

} // namespace linlangok
