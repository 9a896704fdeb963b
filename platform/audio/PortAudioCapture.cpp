#include "platform/audio/PortAudioCapture.h"

#include "core/audio/SampleFormat.h"
#include "platform/audio/PortAudioLibrary.h"

#include <portaudio.h>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace linlangok {
namespace {

PaStreamParameters CaptureParameters(int deviceIndex, bool lowLatency = false)
{
    PaStreamParameters parameters {};
    parameters.device = deviceIndex;
    parameters.channelCount = kStreamChannels;
    parameters.sampleFormat = paInt16;
    const PaDeviceInfo* info = Pa_GetDeviceInfo(deviceIndex);
    parameters.suggestedLatency = lowLatency ? info->defaultLowInputLatency : info->defaultHighInputLatency;
    return parameters;
}

} // namespace

CPortAudioCapture::CPortAudioCapture(int deviceIndex, std::string name, PortAudioCaptureOptions options)
    : m_deviceIndex(deviceIndex)
    , m_name(std::move(name))
    , m_options(options)
    , m_chunk(options.chunkFrames * kStreamChannels)
{
}

CPortAudioCapture::~CPortAudioCapture()
{
    Stop();
}

bool CPortAudioCapture::CapturesStreamFormat(int deviceIndex)
{
    const PaStreamParameters parameters = CaptureParameters(deviceIndex);
    return Pa_IsFormatSupported(&parameters, nullptr, kStreamSampleRate) == paFormatIsSupported;
}

bool CPortAudioCapture::Start(Consumer consume)
{
    Stop();
    if (!EnsurePortAudio())
        return false;
    const PaStreamParameters parameters = CaptureParameters(m_deviceIndex, m_options.lowLatency);
    const unsigned long chunkFrames = m_options.chunkFrames;
    PaStream* stream = nullptr;
    if (Pa_OpenStream(&stream, &parameters, nullptr, kStreamSampleRate, chunkFrames, paNoFlag, nullptr, nullptr)
        != paNoError)
        return false;
    if (Pa_StartStream(stream) != paNoError) {
        Pa_CloseStream(stream);
        return false;
    }
    m_stream = stream;
    const PaStreamInfo* info = Pa_GetStreamInfo(stream);
    if (info && m_options.reportsBufferLatency)
        m_latency = std::chrono::microseconds(std::llround(info->inputLatency * 1e6));
    m_running = true;
    m_thread = std::thread([this, chunkFrames, consume = std::move(consume)] {
        while (m_running) {
            const PaError error = Pa_ReadStream(static_cast<PaStream*>(m_stream), m_chunk.data(), chunkFrames);
            // An overflow lost earlier frames, but this chunk holds good ones.
            if (error == paInputOverflowed)
                m_dropouts.fetch_add(1, std::memory_order_relaxed);
            else if (error != paNoError)
                break;
            // The chunk's last frame came in when the frames still waiting behind it began to.
            const long waiting = std::max(Pa_GetStreamReadAvailable(static_cast<PaStream*>(m_stream)), 0L);
            const auto captured = std::chrono::steady_clock::now()
                - std::chrono::nanoseconds((waiting + long(chunkFrames)) * 1000000000LL / kStreamSampleRate);
            consume(m_chunk.data(), chunkFrames, captured);
        }
    });
    return true;
}

void CPortAudioCapture::Stop()
{
    if (!m_thread.joinable())
        return;
    m_running = false;
    m_thread.join();
    Pa_StopStream(static_cast<PaStream*>(m_stream));
    Pa_CloseStream(static_cast<PaStream*>(m_stream));
    m_stream = nullptr;
}

} // namespace linlangok
