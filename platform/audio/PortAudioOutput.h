#pragma once

#include "platform/audio/AudioOutput.h"
#include "platform/audio/AudioSourceMixer.h"

#include <cstdint>
#include <string>

struct PaStreamCallbackTimeInfo;

namespace linlangok {

// The output stream on a PortAudio device: 44.1 kHz stereo float, one callback per buffer of the
// configured size, in which the sources are mixed.
class CPortAudioOutput final : public IAudioOutput {
public:
    // Opens and starts the device that `selection` names ("default" or a PortAudio device name).
    // Raises std::runtime_error when there is no such device or it cannot be opened.
    CPortAudioOutput(const std::string& selection, size_t bufferFrames);
    ~CPortAudioOutput() override;

    CPortAudioOutput(const CPortAudioOutput&) = delete;
    CPortAudioOutput& operator=(const CPortAudioOutput&) = delete;

    std::string Name() const override { return m_name; }
    int SampleRate() const override;
    size_t BufferFrames() const override { return m_bufferFrames; }
    void AddSource(IAudioSource& source) override { m_mixer.AddSource(source); }
    void RemoveSource(IAudioSource& source) override { m_mixer.RemoveSource(source); }

private:
    static int Callback(const void* input, void* output, unsigned long frames, const PaStreamCallbackTimeInfo* time,
        unsigned long statusFlags, void* self);

    std::string m_name;
    size_t m_bufferFrames;
    void* m_stream = nullptr; // PaStream*
    CAudioSourceMixer m_mixer;
    uint64_t m_framesRendered = 0; // callback thread only
};

} // namespace linlangok
