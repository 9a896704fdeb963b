#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace linlangok {

// A software synthesizer: MIDI messages in, stereo float samples out. Every call must come from
// one thread at a time (the audio thread while it plays); none blocks, allocates or throws.
class ISynthesizer {
public:
    // Rendering goes in blocks of this many frames; a message takes effect at the start of the
    // first block rendered after it was applied.
    static constexpr size_t kBlockFrames = 64;

    virtual ~ISynthesizer() = default;

    // A packed short message: channel messages and the system reset (0xFF); others are ignored.
    virtual void ApplyShort(std::uint32_t packedMessage) noexcept = 0;
    // A system exclusive message, F0 ... F7.
    virtual void ApplySysEx(const std::uint8_t* bytes, size_t length) noexcept = 0;
    // Every sounding note on every channel released (it fades with its release time).
    virtual void ReleaseAllNotes() noexcept = 0;
    // Voices cut, controllers and programs back to their power-on values.
    virtual void Reset() noexcept = 0;

    // Writes (does not add) `frames` interleaved stereo frames.
    virtual void Render(float* interleaved, size_t frames) noexcept = 0;
    virtual int ActiveVoiceCount() const noexcept = 0;
};

// Makes a synthesizer for a stream at `sampleRate` Hz; raises std::runtime_error when it cannot.
using SynthesizerFactory = std::function<std::unique_ptr<ISynthesizer>(int sampleRate)>;

} // namespace linlangok
