#pragma once

#include "core/performance/VoiceEffect.h"
#include "platform/lv2/Lv2Plugins.h"

#include <filesystem>

namespace linlangok {

// The effect host program: LINLANGOK_EFFECT_HOST when set, else linlangok-effect-host beside the
// running executable (a build tree), else under libexec/linlangok of its prefix (installed).
std::filesystem::path EffectHostPath();

// IVoiceEffects over the installed LV2 plugins: the lists are read in this process, the chains
// run in the effect host at the path given (CIsolatedVoiceEffect).
class CLv2VoiceEffects final : public IVoiceEffects {
public:
    explicit CLv2VoiceEffects(std::filesystem::path host);

    std::vector<VoicePluginInfo> Plugins() const override;
    std::vector<VoiceControlInfo> Controls(std::string_view uri) const override;
    std::unique_ptr<IVoiceEffect> Start(const VoiceEffectChain& chain) const override;

private:
    std::filesystem::path m_host;
    CLv2Plugins m_plugins;
};

} // namespace linlangok
