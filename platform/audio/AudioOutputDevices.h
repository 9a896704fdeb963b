#pragma once

#include "engine/AudioOutput.h"
#include "platform/audio/SampleFormat.h"

#include <memory>
#include <string>

// Choosing the output device: LINLANGOK_AUDIO_OUT is "default" (PortAudio's default device), a
// PortAudio device name, "null", or "wav:PATH".
namespace linlangok {

// Opens the output that `selection` names, running in real time. A PortAudio device that does
// not exist or cannot be opened gives the null device instead; a WAV file that cannot be created
// raises std::runtime_error, since its audio would otherwise be lost unseen.
std::unique_ptr<IAudioOutput> OpenAudioOutput(const std::string& selection, size_t bufferFrames = kDefaultBufferFrames);

} // namespace linlangok
