#include "platform/lv2/Lv2VoiceEffects.h"

#include "common/ProgramFolder.h"
#include "platform/lv2/IsolatedVoiceEffect.h"

#include <cstdlib>
#include <stdexcept>

namespace linlangok {

std::filesystem::path EffectHostPath()
{
    if (const char* host = std::getenv("LINLANGOK_EFFECT_HOST"); host && *host)
        return host;
    const std::filesystem::path folder = ExecutableFolder();
    const std::filesystem::path beside = folder / "linlangok-effect-host";
    std::error_code error;
    if (std::filesystem::exists(beside, error))
        return beside;
    return folder.parent_path() / "libexec" / "linlangok" / "linlangok-effect-host";
}

CLv2VoiceEffects::CLv2VoiceEffects(std::filesystem::path host)
    : m_host(std::move(host))
{
}

const CLv2Plugins& CLv2VoiceEffects::Installed() const
{
    if (!m_plugins)
        m_plugins = std::make_unique<CLv2Plugins>();
    return *m_plugins;
}

std::vector<VoicePluginInfo> CLv2VoiceEffects::Plugins() const
{
    return Installed().VoiceEffectPlugins();
}

std::vector<VoiceControlInfo> CLv2VoiceEffects::Controls(std::string_view uri) const
{
    return Installed().Controls(uri);
}

std::unique_ptr<IVoiceEffect> CLv2VoiceEffects::Start(const VoiceEffectChain& chain) const
{
    if (chain.empty())
        throw std::invalid_argument("an empty chain of voice effects");
    return std::make_unique<CIsolatedVoiceEffect>(m_host, chain);
}

} // namespace linlangok
