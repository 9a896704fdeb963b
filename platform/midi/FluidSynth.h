#pragma once

#include "platform/midi/Synthesizer.h"

#include <filesystem>

struct _fluid_hashtable_t;
struct _fluid_synth_t;

namespace linlangok {

// libfluidsynth with one SoundFont.
class CFluidSynth final : public ISynthesizer {
public:
    // SoundFonts up to this size are loaded whole; larger ones load each preset's samples when a
    // channel selects it.
    static constexpr std::uintmax_t kWholeLoadLimitBytes = 64u << 20;

    // Loads the SoundFont. Raises std::runtime_error when the synthesizer cannot be created or
    // the file is not a SoundFont it can load. Silences the library's log output.
    CFluidSynth(const std::filesystem::path& soundFont, int sampleRate);
    ~CFluidSynth() override;

    // Makes CFluidSynth objects with this SoundFont.
    static SynthesizerFactory Factory(std::filesystem::path soundFont);

    CFluidSynth(const CFluidSynth&) = delete;
    CFluidSynth& operator=(const CFluidSynth&) = delete;

    void ApplyShort(std::uint32_t packedMessage) noexcept override;
    // The library understands GM/GS/XG resets and tunings and ignores the rest.
    void ApplySysEx(const std::uint8_t* bytes, size_t length) noexcept override;
    void ReleaseAllNotes() noexcept override;
    void Reset() noexcept override;
    void Render(float* interleaved, size_t frames) noexcept override;
    int ActiveVoiceCount() const noexcept override;

private:
    _fluid_hashtable_t* m_settings = nullptr;
    _fluid_synth_t* m_synth = nullptr;
};

} // namespace linlangok
