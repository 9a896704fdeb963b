#pragma once

#include "core/performance/VoiceEffectChoice.h"
#include "core/performance/VoicePresets.h"
#include "platform/lv2/Lv2VoiceEffects.h"

#include <optional>

namespace linlangok {

// The voice's effect that a command's --effect PRESET names: the installed plugins, read only
// when the preset has any, and the choice of the preset over them (无 without one).
class CToolVoiceEffect {
public:
    explicit CToolVoiceEffect(const VoicePreset* preset);

    CVoiceEffectChoice& Choice() { return m_choice; }

private:
    std::optional<CLv2VoiceEffects> m_effects;
    CVoiceEffectChoice m_choice;
};

} // namespace linlangok
