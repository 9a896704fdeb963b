#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

struct _fluid_hashtable_t;
struct _fluid_synth_t;

namespace linlangok {

// libfluidsynth with one SoundFont: MIDI messages in, stereo float samples out. Every call but
// construction must come from one thread at a time (the audio thread while it plays).
class CFluidSynth {
public:
    // The synthesizer renders in blocks of this many frames; a message takes effect at the start
    // of the first block rendered after it was applied.
    static constexpr size_t kBlockFrames = 64;

    // Loads the SoundFont. Raises std::runtime_error when the synthesizer cannot be created or
    // the file is not a SoundFont it can load. Silences the library's log output.
    CFluidSynth(const std::filesystem::path& soundFont, int sampleRate);
    ~CFluidSynth();

    CFluidSynth(const CFluidSynth&) = delete;
    CFluidSynth& operator=(const CFluidSynth&) = delete;

    // A packed short message: channel messages and the system reset (0xFF); others are ignored.
    void ApplyShort(uint32_t packedMessage) noexcept;
    // A system exclusive message, F0 ... F7 (the synthesizer understands GM/GS/XG resets and
    // tunings and ignores the rest).
    void ApplySysEx(const uint8_t* bytes, size_t length) noexcept;
    // Every sounding note on every channel released (it fades with its release time).
    void ReleaseAllNotes() noexcept;
    // Voices cut, controllers and programs back to their power-on values.
    void Reset() noexcept;

    // Writes (does not add) `frames` interleaved stereo frames.
    void Render(float* interleaved, size_t frames) noexcept;
    int ActiveVoiceCount() const noexcept;

private:
    _fluid_hashtable_t* m_settings = nullptr;
    _fluid_synth_t* m_synth = nullptr;
};

} // namespace linlangok
