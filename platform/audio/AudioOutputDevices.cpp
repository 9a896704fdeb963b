#include "platform/audio/AudioOutputDevices.h"

#include "platform/audio/ClockedAudioOutput.h"
#include "platform/audio/PortAudioOutput.h"

#include <stdexcept>

namespace linlangok {
namespace {

constexpr std::string_view kWavPrefix = "wav:";

std::unique_ptr<IFramePacer> OutputPacer(size_t bufferFrames)
{
    return std::make_unique<CRealTimePacer>(kStreamSampleRate, bufferFrames);
}

} // namespace

std::unique_ptr<IAudioOutput> OpenAudioOutput(const std::string& selection, size_t bufferFrames)
{
    if (selection == "null")
        return CreateNullAudioOutput(bufferFrames, OutputPacer(bufferFrames));
    if (selection.starts_with(kWavPrefix)) {
        return CreateWavFileAudioOutput(selection.substr(kWavPrefix.size()), bufferFrames, OutputPacer(bufferFrames));
    }
    try {
        return std::make_unique<CPortAudioOutput>(selection, bufferFrames);
    } catch (const std::runtime_error&) {
        return CreateNullAudioOutput(bufferFrames, OutputPacer(bufferFrames));
    }
}

} // namespace linlangok
