#include "core/performance/VoiceEffectChoice.h"

#include "core/performance/VoicePresets.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

namespace linlangok {
namespace {

constexpr std::string_view kPluginPrefix = "lv2 ";

// The words of `text` between single spaces.
std::vector<std::string_view> Words(std::string_view text)
{
    std::vector<std::string_view> words;
    while (!text.empty()) {
        const size_t space = text.find(' ');
        if (space != 0)
            words.push_back(text.substr(0, space));
        text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
    }
    return words;
}

} // namespace

CVoiceEffectChoice::CVoiceEffectChoice(const IVoiceEffects* effects)
    : m_effects(effects)
{
}

void CVoiceEffectChoice::ChoosePreset(std::string_view name)
{
    const VoicePreset* preset = FindVoicePreset(name);
    m_name = preset ? preset->name : kDry;
    m_custom.reset();
    Changed();
}

void CVoiceEffectChoice::ChooseCustom(VoiceEffectSetting setting)
{
    if (setting.uri.empty())
        return ChoosePreset(kDry);
    m_name = kMoreEffects;
    m_custom = std::move(setting);
    Changed();
}

std::unique_ptr<IVoiceEffect> CVoiceEffectChoice::Start(std::string& why) const
{
    if (IsDry() || !m_effects)
        return nullptr;
    try {
        return m_effects->Start(m_custom ? VoiceEffectChain {*m_custom} : ChainOf(*FindVoicePreset(m_name)));
    } catch (const std::exception& failure) {
        why = failure.what();
        return nullptr;
    }
}

std::string CVoiceEffectChoice::Text() const
{
    if (!m_custom)
        return m_name;
    std::string text = std::string(kPluginPrefix) + m_custom->uri;
    for (const auto& [symbol, value] : m_custom->controls) {
        char number[32];
        const auto written = std::to_chars(number, number + sizeof number, value);
        text += ' ' + symbol + '=' + std::string(number, written.ptr);
    }
    return text;
}

void CVoiceEffectChoice::SetText(std::string_view text)
{
    if (!text.starts_with(kPluginPrefix))
        return ChoosePreset(text);
    const std::vector<std::string_view> words = Words(text.substr(kPluginPrefix.size()));
    VoiceEffectSetting setting;
    if (!words.empty())
        setting.uri = words.front();
    for (size_t i = 1; i < words.size(); ++i) {
        const size_t equals = words[i].find('=');
        float value = 0;
        const std::string_view number
            = equals == std::string_view::npos ? std::string_view() : words[i].substr(equals + 1);
        const auto read = std::from_chars(number.data(), number.data() + number.size(), value);
        if (equals == 0 || number.empty() || read.ec != std::errc() || read.ptr != number.data() + number.size()
            || !std::isfinite(value))
            return ChoosePreset(kDry);
        setting.controls.emplace_back(std::string(words[i].substr(0, equals)), value);
    }
    ChooseCustom(std::move(setting));
}

} // namespace linlangok
