#include "platform/audio/PortAudioOutput.h"

#include "core/audio/SampleFormat.h"
#include "platform/audio/PortAudioLibrary.h"

#include <portaudio.h>

#include <chrono>
#include <cmath>
#include <stdexcept>

namespace linlangok {

CPortAudioOutput::CPortAudioOutput(const std::string& selection, size_t bufferFrames)
    : CMixingAudioOutput(selection, bufferFrames)
{
    const auto device = FindPortAudioDevice(selection, false);
    if (!device)
        throw std::runtime_error("No audio output device " + selection + ".");
    m_name = device->name;
    PaStreamParameters parameters {};
    parameters.device = device->index;
    parameters.channelCount = kStreamChannels;
    parameters.sampleFormat = paFloat32;
    parameters.suggestedLatency = Pa_GetDeviceInfo(device->index)->defaultLowOutputLatency;
    PaStream* stream = nullptr;
    PaError error = Pa_OpenStream(
        &stream, nullptr, &parameters, kStreamSampleRate, bufferFrames, paNoFlag, &CPortAudioOutput::Callback, this);
    if (error == paNoError) {
        // Known before the callback first runs, which reads it.
        if (const PaStreamInfo* info = Pa_GetStreamInfo(stream))
            m_latency = std::chrono::microseconds(std::llround(info->outputLatency * 1e6));
        error = Pa_StartStream(stream);
        if (error != paNoError)
            Pa_CloseStream(stream);
    }
    if (error != paNoError)
        throw std::runtime_error("Can't open audio output device " + m_name + ": " + Pa_GetErrorText(error));
    m_stream = stream;
}

CPortAudioOutput::~CPortAudioOutput()
{
    Pa_StopStream(static_cast<PaStream*>(m_stream));
    Pa_CloseStream(static_cast<PaStream*>(m_stream));
}

int CPortAudioOutput::Callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo* time,
    unsigned long statusFlags, void* self)
{
    auto& device = *static_cast<CPortAudioOutput*>(self);
    if (statusFlags & (paOutputUnderflow | paOutputOverflow))
        device.m_dropouts.fetch_add(1, std::memory_order_relaxed);
    const auto now = std::chrono::steady_clock::now();
    // PortAudio's moment for the first frame at the converter includes the latency it reports;
    // a host that gives no moments leaves it 0.
    auto playTime = now;
    if (time && time->outputBufferDacTime > time->currentTime && time->currentTime > 0)
        playTime += std::chrono::nanoseconds(std::llround((time->outputBufferDacTime - time->currentTime) * 1e9))
            - device.m_latency;
    const AudioBufferTiming timing {device.m_framesRendered, now, kStreamSampleRate, playTime};
    device.m_mixer.Render(static_cast<float*>(output), frames, timing);
    device.m_framesRendered += frames;
    return paContinue;
}

} // namespace linlangok
