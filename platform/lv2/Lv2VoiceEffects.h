#pragma once

#include "core/performance/VoiceEffect.h"
#include "platform/lv2/Lv2Plugins.h"

#include <filesystem>
#include <memory>

namespace linlangok {

// The effect host program: LINLANGOK_EFFECT_HOST when set, else linlangok-effect-host beside the
// running executable (a build tree), else under libexec/linlangok of its prefix (installed).
std::filesystem::path EffectHostPath();

// IVoiceEffects over the installed LV2 plugins: the lists are read in this process, when first
// asked for (reading every bundle's description takes tens of milliseconds, which the program's
// start need not wait for), the chains run in the effect host at the path given
// (CIsolatedVoiceEffect).
class CLv2VoiceEffects final : public IVoiceEffects {
public:
    explicit CLv2VoiceEffects(std::filesystem::path host);

    std::vector<VoicePluginInfo> Plugins() const override;
    std::vector<VoiceControlInfo> Controls(std::string_view uri) const override;
    std::unique_ptr<IVoiceEffect> Start(const VoiceEffectChain& chain) const override;

private:
    const CLv2Plugins& Installed() const;

    std::filesystem::path m_host;
    mutable std::unique_ptr<CLv2Plugins> m_plugins;
};

} // namespace linlangok
