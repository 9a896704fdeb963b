#include "mixer/Mixer.h"

#include <mutex>

namespace linlangok {
namespace {

// The machine without a mixer: nothing to open.
class CNoMixerSystem final : public IMixerSystem {
public:
    std::uint32_t MixerCount() override { return 0; }
    std::unique_ptr<IMixer> Open(std::uint32_t, IMixerListener*) override { return nullptr; }
    std::unique_ptr<IMixer> OpenForWaveInput(std::uint32_t, IMixerListener*) override { return nullptr; }
};

std::mutex g_systemLock;
std::shared_ptr<IMixerSystem> g_system;

} // namespace

void SetMixerSystem(std::shared_ptr<IMixerSystem> system)
{
    std::lock_guard lock(g_systemLock);
    g_system = std::move(system);
}

IMixerSystem& MixerSystem()
{
    static CNoMixerSystem noMixers;
    std::lock_guard lock(g_systemLock);
    return g_system ? *g_system : noMixers;
}

} // namespace linlangok
