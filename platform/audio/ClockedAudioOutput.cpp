#include "platform/audio/ClockedAudioOutput.h"

#include "platform/audio/SampleFormat.h"
#include "platform/audio/WavFileWriter.h"

#include <chrono>

namespace linlangok {

CClockedAudioOutput::CClockedAudioOutput(
    std::string name, size_t bufferFrames, std::unique_ptr<IFramePacer> pacer, Consumer consume)
    : CMixingAudioOutput(std::move(name), bufferFrames)
    , m_pacer(std::move(pacer))
    , m_consume(std::move(consume))
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
    RunPaced(*m_pacer, m_bufferFrames, [this](uint64_t firstFrame) {
        const AudioBufferTiming timing {firstFrame, std::chrono::steady_clock::now(), kStreamSampleRate};
        m_mixer.Render(m_buffer.data(), m_bufferFrames, timing);
        m_consume(m_buffer.data(), m_bufferFrames);
    });
}

std::unique_ptr<IAudioOutput> CreateNullAudioOutput(size_t bufferFrames, std::unique_ptr<IFramePacer> pacer)
{
    return std::make_unique<CClockedAudioOutput>("null", bufferFrames, std::move(pacer), [](const float*, size_t) {});
}

std::unique_ptr<IAudioOutput> CreateWavFileAudioOutput(
    const std::filesystem::path& path, size_t bufferFrames, std::unique_ptr<IFramePacer> pacer)
{
    auto writer = std::make_shared<CWavFileWriter>(path, EWavFileMode::Growing);
    return std::make_unique<CClockedAudioOutput>("wav:" + path.string(), bufferFrames, std::move(pacer),
        [writer](const float* samples, size_t frames) { writer->WriteFloat(samples, frames); });
}

} // namespace linlangok
