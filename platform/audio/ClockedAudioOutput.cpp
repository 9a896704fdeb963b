#include "platform/audio/ClockedAudioOutput.h"

#include "core/audio/DeviceSelection.h"
#include "core/audio/SampleFormat.h"
#include "platform/audio/WavFileWriter.h"

#include <algorithm>
#include <chrono>

namespace linlangok {

CClockedAudioOutput::CClockedAudioOutput(std::string name, size_t bufferFrames, std::unique_ptr<IFramePacer> pacer,
    Consumer consume, std::chrono::microseconds latency)
    : CMixingAudioOutput(std::move(name), bufferFrames)
    , m_pacer(std::move(pacer))
    , m_consume(std::move(consume))
    , m_latency(latency)
    , m_buffer(bufferFrames * kStreamChannels)
{
    m_pacer->Begin();
    m_thread = std::thread([this] { Run(); });
}

CClockedAudioOutput::~CClockedAudioOutput()
{
    m_pacer->Stop();
    m_thread.join();
}

void CClockedAudioOutput::Run()
{
    for (std::uint64_t silence = DurationToFrames(m_latency); silence > 0;) {
        const size_t frames = std::min<std::uint64_t>(silence, m_bufferFrames);
        m_consume(m_buffer.data(), frames);
        silence -= frames;
    }
    RunPaced(*m_pacer, m_bufferFrames, [this](std::uint64_t firstFrame) {
        const AudioBufferTiming timing {
            firstFrame, std::chrono::steady_clock::now(), kStreamSampleRate, m_pacer->TimeOf(firstFrame)};
        m_mixer.Render(m_buffer.data(), m_bufferFrames, timing);
        m_consume(m_buffer.data(), m_bufferFrames);
    });
}

std::unique_ptr<IAudioOutput> CreateNullAudioOutput(
    size_t bufferFrames, std::unique_ptr<IFramePacer> pacer, std::chrono::microseconds latency)
{
    return std::make_unique<CClockedAudioOutput>(
        "null", bufferFrames, std::move(pacer), [](const float*, size_t) {}, latency);
}

std::unique_ptr<IAudioOutput> CreateWavFileAudioOutput(const std::filesystem::path& path, size_t bufferFrames,
    std::unique_ptr<IFramePacer> pacer, std::chrono::microseconds latency)
{
    auto writer = std::make_shared<CWavFileWriter>(path, EWavFileMode::Growing);
    return std::make_unique<CClockedAudioOutput>(
        "wav:" + path.string(), bufferFrames, std::move(pacer),
        [writer](const float* samples, size_t frames) { writer->WriteFloat(samples, frames); }, latency);
}

std::unique_ptr<IAudioOutput> CreateLoopbackAudioOutput(std::shared_ptr<CLoopbackLine> line,
    std::chrono::milliseconds delay, size_t bufferFrames, std::unique_ptr<IFramePacer> pacer)
{
    line->SetDelay(DurationToFrames(delay));
    return std::make_unique<CClockedAudioOutput>("loopback:" + std::to_string(delay.count()), bufferFrames,
        std::move(pacer), [line, moment = line->Now()](const float* samples, size_t frames) mutable {
            line->Write(moment, samples, frames);
            moment += frames;
        });
}

} // namespace linlangok
