#pragma once

#include "core/performance/VoiceEffect.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace linlangok {

// What the voice goes through, as the volume window's 效果 sets it: 无, a preset, or one plugin
// picked under 更多效果… with its controls. Kept by the caller as one line of text (Text,
// SetText). UI thread.
class CVoiceEffectChoice {
public:
    static constexpr std::string_view kDry = "无";
    static constexpr std::string_view kMoreEffects = "更多效果…";

    // `effects` outlives the choice; null where no effect can run, and every choice is then dry.
    explicit CVoiceEffectChoice(const IVoiceEffects* effects);

    const IVoiceEffects* Effects() const { return m_effects; }
    // Called after every change, SwitchOff's too; empty: none.
    void SetListener(std::function<void()> listener) { m_listener = std::move(listener); }
    // 无, a preset's name, or kMoreEffects.
    const std::string& Name() const { return m_name; }
    // The plugin picked under 更多效果…, while it is the choice.
    const std::optional<VoiceEffectSetting>& Custom() const { return m_custom; }
    bool IsDry() const { return m_name == kDry; }

    // A name that is no preset chooses 无.
    void ChoosePreset(std::string_view name);
    // An empty URI chooses 无.
    void ChooseCustom(VoiceEffectSetting setting);
    // The effect failed while it was heard: the choice becomes 无.
    void SwitchOff() { ChoosePreset(kDry); }

    // The chosen chain running (IVoiceEffects::Start); null for 无, and null with the reason in
    // `why` when it cannot start.
    std::unique_ptr<IVoiceEffect> Start(std::string& why) const;

    // A preset's name, or "lv2 URI SYMBOL=VALUE…" for a plugin.
    std::string Text() const;
    // What Text gave; anything else chooses 无.
    void SetText(std::string_view text);

private:
    void Changed() const
    {
        if (m_listener)
            m_listener();
    }

    const IVoiceEffects* m_effects;
    std::function<void()> m_listener;
    std::string m_name {kDry};
    std::optional<VoiceEffectSetting> m_custom;
};

} // namespace linlangok
