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

// What OpenAudioOutput does when a PortAudio device does not exist or cannot be opened.
enum class EMissingOutput {
    PlayToNull, // gives the null device instead
    Raise, // raises std::runtime_error with the reason
};

// Opens the output that `selection` names, running in real time. A PortAudio device that does
// not exist or cannot be opened is handled as `missing` says; a WAV file that cannot be created
// raises std::runtime_error, since its audio would otherwise be lost unseen. A bad option, or a
// loopback output without the `loopback` line its input listens on, raises std::invalid_argument.
std::unique_ptr<IAudioOutput> OpenAudioOutput(const std::string& selection, size_t bufferFrames = kDefaultBufferFrames,
    std::shared_ptr<CLoopbackLine> loopback = {}, EMissingOutput missing = EMissingOutput::PlayToNull);

} // namespace linlangok
