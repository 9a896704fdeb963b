#include "platform/audio/ClockedCapture.h"

#include "core/audio/DeviceSelection.h"
#include "core/audio/SampleFormat.h"
#include "platform/audio/SndFileDecoder.h"

#include <algorithm>
#include <stdexcept>

namespace linlangok {
namespace {

constexpr size_t kChunkFrames = 441; // 10 ms

} // namespace

CClockedCapture::CClockedCapture(std::string name, std::shared_ptr<IFramePacer> pacer,
    std::function<Producer()> openProducer, std::chrono::microseconds latency)
    : m_name(std::move(name))
    , m_pacer(std::move(pacer))
    , m_openProducer(std::move(openProducer))
    , m_latency(latency)
    , m_chunk(kChunkFrames * kStreamChannels)
{
}

CClockedCapture::~CClockedCapture()
{
    Stop();
}

bool CClockedCapture::Start(Consumer consume)
{
    Stop();
    Producer produce = m_openProducer();
    if (!produce)
        return false;
    m_pacer->Begin();
    m_thread = std::thread([this, produce = std::move(produce), consume = std::move(consume)] {
        const std::uint64_t silence = DurationToFrames(m_latency);
        RunPaced(*m_pacer, kChunkFrames, [&](std::uint64_t firstFrame) {
            const size_t silent = std::min<std::uint64_t>(silence - std::min(silence, firstFrame), kChunkFrames);
            std::fill_n(m_chunk.data(), silent * kStreamChannels, std::int16_t {0});
            if (silent < kChunkFrames)
                produce(m_chunk.data() + silent * kStreamChannels, kChunkFrames - silent);
            consume(m_chunk.data(), kChunkFrames, m_pacer->TimeOf(firstFrame));
        });
    });
    return true;
}

void CClockedCapture::Stop()
{
    if (!m_thread.joinable())
        return;
    m_pacer->Stop();
    m_thread.join();
}

std::unique_ptr<ICaptureDevice> CreateNullCapture(std::shared_ptr<IFramePacer> pacer, std::chrono::microseconds latency)
{
    return std::make_unique<CClockedCapture>(
        "null", std::move(pacer),
        [] {
            return [](std::int16_t* samples, size_t frames) {
                std::fill(samples, samples + frames * kStreamChannels, std::int16_t {0});
            };
        },
        latency);
}

std::unique_ptr<ICaptureDevice> CreateLoopbackCapture(
    std::shared_ptr<CLoopbackLine> line, std::shared_ptr<IFramePacer> pacer)
{
    return std::make_unique<CClockedCapture>("loopback", std::move(pacer), [line]() -> CClockedCapture::Producer {
        return [line, moment = line->Now()](std::int16_t* samples, size_t frames) mutable {
            line->Read(moment, samples, frames);
            moment += frames;
        };
    });
}

std::unique_ptr<ICaptureDevice> CreateWavFileCapture(
    const std::filesystem::path& path, std::shared_ptr<IFramePacer> pacer, std::chrono::microseconds latency)
{
    return std::make_unique<CClockedCapture>(
        "wav:" + path.string(), std::move(pacer),
        [path]() -> CClockedCapture::Producer {
            std::shared_ptr<IAudioFileDecoder> decoder;
            try {
                decoder = CSndFileDecoder::Open(path);
            } catch (const std::runtime_error&) {
                return nullptr;
            }
            auto floats = std::make_shared<std::vector<float>>();
            return [decoder, floats](std::int16_t* samples, size_t frames) {
                floats->assign(frames * kStreamChannels, 0.0f);
                size_t done = 0;
                try {
                    while (done < frames) {
                        const size_t read = decoder->Read(floats->data() + done * kStreamChannels, frames - done);
                        if (read == 0)
                            break;
                        done += read;
                    }
                } catch (const std::runtime_error&) {
                    // Undecodable data is heard as silence, as after the end.
                }
                FloatsToInt16(floats->data(), frames * kStreamChannels, samples);
            };
        },
        latency);
}

} // namespace linlangok
