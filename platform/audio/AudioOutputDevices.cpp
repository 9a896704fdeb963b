#include "platform/audio/AudioOutputDevices.h"

#include "core/audio/DeviceSelection.h"
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

std::unique_ptr<IAudioOutput> OpenAudioOutput(
    const std::string& selection, size_t bufferFrames, std::shared_ptr<CLoopbackLine> loopback, EMissingOutput missing)
{
    const DeviceSelection device = ParseDeviceSelection("LINLANGOK_AUDIO_OUT", selection);
    if (device.device == "null")
        return CreateNullAudioOutput(bufferFrames, OutputPacer(bufferFrames), device.latency);
    if (device.device.starts_with(kWavPrefix)) {
        return CreateWavFileAudioOutput(
            device.device.substr(kWavPrefix.size()), bufferFrames, OutputPacer(bufferFrames), device.latency);
    }
    if (const auto delay = LoopbackOutputDelay("LINLANGOK_AUDIO_OUT", device.device)) {
        if (!loopback)
            throw std::invalid_argument("LINLANGOK_AUDIO_OUT=" + selection + ": no loopback input here to play into");
        return CreateLoopbackAudioOutput(std::move(loopback), *delay, bufferFrames, OutputPacer(bufferFrames));
    }
    try {
        return std::make_unique<CPortAudioOutput>(selection, bufferFrames);
    } catch (const std::runtime_error&) {
        if (missing == EMissingOutput::Raise)
            throw;
        return CreateNullAudioOutput(bufferFrames, OutputPacer(bufferFrames));
    }
}

} // namespace linlangok
