#pragma once

#include "core/audio/SampleFormat.h"
#include "core/playback/AudioOutput.h"
#include "core/playback/AudioSourceMixer.h"

#include <string>

namespace linlangok {

// What every output device shares: its name, its buffer size and the sources it mixes.
class CMixingAudioOutput : public IAudioOutput {
public:
    std::string Name() const override { return m_name; }
    int SampleRate() const override { return kStreamSampleRate; }
    size_t BufferFrames() const override { return m_bufferFrames; }
    void AddSource(IAudioSource& source) override { m_mixer.AddSource(source); }
    void RemoveSource(IAudioSource& source) override { m_mixer.RemoveSource(source); }
    bool AddTap(IAudioTap& tap) override
    {
        m_mixer.AddTap(tap);
        return true;
    }
    void RemoveTap(IAudioTap& tap) override { m_mixer.RemoveTap(tap); }

protected:
    CMixingAudioOutput(std::string name, size_t bufferFrames)
        : m_name(std::move(name))
        , m_bufferFrames(bufferFrames)
    {
    }

    std::string m_name;
    size_t m_bufferFrames;
    CAudioSourceMixer m_mixer;
};

} // namespace linlangok
