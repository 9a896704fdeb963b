#pragma once

#include "core/mixer/Mixer.h"

#include <string>

// The mixers of ALSA's simple mixer interface, mapped to lines and controls as AlsaElementMap.h
// describes. Change notifications come through the mixer's poll descriptors. alsa-lib's own error
// printing is silenced, so a machine without a sound card just has no mixers.
namespace linlangok {

class CAlsaMixerSystem final : public IMixerSystem {
public:
    CAlsaMixerSystem();

    // Mixer 0 is ALSA's "default" mixer when it can be loaded, the others are the sound cards
    // ("hw:0", "hw:1", …) in card order.
    std::uint32_t MixerCount() override;
    std::unique_ptr<IMixer> Open(std::uint32_t mixer, IMixerListener* listener) override;
    // Every wave-input device records through the default device, so its mixer is the default one.
    std::unique_ptr<IMixer> OpenForWaveInput(std::uint32_t device, IMixerListener* listener) override;

private:
    std::vector<std::string> MixerNames() const;
};

} // namespace linlangok
