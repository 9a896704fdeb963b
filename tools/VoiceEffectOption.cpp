#include "tools/VoiceEffectOption.h"

namespace linlangok {

CToolVoiceEffect::CToolVoiceEffect(const VoicePreset* preset)
    : m_effects(
        preset && !preset->chain.empty() ? std::make_optional<CLv2VoiceEffects>(EffectHostPath()) : std::nullopt)
    , m_choice(m_effects ? &*m_effects : nullptr)
{
    if (preset)
        m_choice.ChoosePreset(preset->name);
}

} // namespace linlangok
