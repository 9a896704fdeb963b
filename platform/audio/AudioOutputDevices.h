#pragma once

#include "core/audio/LoopbackLine.h"
#include "core/audio/SampleFormat.h"
#include "core/playback/AudioOutput.h"

#include <memory>
#include <string>

// Choosing the output device: LINLANGOK_AUDIO_OUT is "default" (PortAudio's default device), a
// PortAudio device name, "null" or "wav:PATH" (either with ",latency=MS" to simulate a latency),
// or "loopback:MS", which plays into the loopback input MS milliseconds later.
namespace linlangok {

// Opens the output that `selection` names, running in real time. A PortAudio device that does
// not exist or cannot be opened gives the null device instead; a WAV file that cannot be created
// raises std::runtime_error, since its audio would otherwise be lost unseen. A bad option, or a
// loopback output without the `loopback` line its input listens on, raises std::invalid_argument.
std::unique_ptr<IAudioOutput> OpenAudioOutput(const std::string& selection, size_t bufferFrames = kDefaultBufferFrames,
    std::shared_ptr<CLoopbackLine> loopback = {});

} // namespace linlangok
