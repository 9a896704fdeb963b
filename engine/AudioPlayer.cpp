#include "engine/AudioPlayer.h"

#include "common/Text.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <stdexcept>

namespace linlangok {
namespace {

constexpr int kSampleRate = 44100;
constexpr size_t kRingFrames = 65536; // about 1.5 s ahead of the callback
constexpr size_t kChunkFrames = 4096;
constexpr auto kDecodePeriod = std::chrono::milliseconds(10);
constexpr std::u16string_view kPlayError = u"播放文件时出错!";

int64_t FramesToMilliseconds(uint64_t frames)
{
    return static_cast<int64_t>(frames * 1000 / kSampleRate);
}

} // namespace

CAudioPlayer::CAudioPlayer(IAudioOutput& output, IUserPrompts& prompts, AudioFileOpener open)
    : m_output(output)
    , m_prompts(prompts)
    , m_openDecoder(std::move(open))
    , m_ring(kRingFrames * 2)
    , m_chunk(std::make_unique<float[]>(kChunkFrames * 2))
{
}

CAudioPlayer::~CAudioPlayer()
{
    Stop();
}

bool CAudioPlayer::OpenAndPlay(const std::u16string& path)
{
    Stop();
    try {
        m_decoder = m_openDecoder(std::filesystem::path(Utf16ToUtf8(path)));
        m_headerMilliseconds = static_cast<int64_t>(m_decoder->LengthMilliseconds());
        // The first part is decoded here, so a file that does not decode at all is reported now.
        const bool more = FillRing();
        if (m_framesDecoded.load() == 0 && !more && m_headerMilliseconds > 0)
            throw std::runtime_error("no audio decoded");
        if (more) {
            m_stopDecoding = false;
            m_decodeThread = std::thread([this] { Decode(); });
        }
        m_open = true;
        m_output.AddSource(*this);
        return true;
    } catch (const std::exception&) {
        Stop();
        m_prompts.ShowError(kCaptionError, kPlayError);
        return false;
    }
}

void CAudioPlayer::Stop()
{
    m_output.RemoveSource(*this);
    if (m_decodeThread.joinable()) {
        {
            std::lock_guard lock(m_decodeLock);
            m_stopDecoding = true;
        }
        m_decodeWake.notify_all();
        m_decodeThread.join();
    }
    m_decoder.reset();
    m_ring.Clear();
    m_framesDecoded.store(0);
    m_decodeEnded.store(false);
    m_framesPlayed.store(0);
    m_playedToEnd.store(false);
    m_headerMilliseconds = 0;
    m_open = false;
}

int64_t CAudioPlayer::EndMilliseconds() const
{
    if (!m_open)
        return 0;
    if (!m_decodeEnded.load(std::memory_order_acquire))
        return m_headerMilliseconds;
    const int64_t decoded = FramesToMilliseconds(m_framesDecoded.load());
    return m_headerMilliseconds > 0 ? std::min(m_headerMilliseconds, decoded) : decoded;
}

int64_t CAudioPlayer::PositionMilliseconds() const
{
    if (!m_open)
        return 0;
    const int64_t end = EndMilliseconds();
    if (m_playedToEnd.load(std::memory_order_acquire))
        return end;
    return std::min(FramesToMilliseconds(m_framesPlayed.load(std::memory_order_relaxed)), end);
}

int32_t CAudioPlayer::LengthSeconds() const
{
    const int32_t speed = Speed();
    if (speed == 0)
        return 0;
    return static_cast<int32_t>((EndMilliseconds() - StartMilliseconds()) / speed);
}

double CAudioPlayer::PositionSeconds() const
{
    const int32_t speed = Speed();
    if (speed == 0)
        return 0.0;
    return static_cast<double>(PositionMilliseconds()) / speed;
}

void CAudioPlayer::MixInto(float* mix, size_t frames, const AudioBufferTiming&) noexcept
{
    // The end flag is read before the ring, so an empty ring after it means every frame is out.
    const bool decodeEnded = m_decodeEnded.load(std::memory_order_acquire);
    size_t mixed = 0;
    while (mixed < frames * 2) {
        const auto ready = m_ring.Readable();
        const size_t count = std::min(ready.size(), frames * 2 - mixed);
        if (count == 0)
            break;
        for (size_t i = 0; i < count; ++i)
            mix[mixed + i] += ready[i];
        m_ring.Consume(count);
        mixed += count;
    }
    m_framesPlayed.store(m_framesPlayed.load(std::memory_order_relaxed) + mixed / 2, std::memory_order_relaxed);
    if (decodeEnded && m_ring.Empty())
        m_playedToEnd.store(true, std::memory_order_release);
}

bool CAudioPlayer::FillRing()
{
    while (m_ring.Free() >= kChunkFrames * 2) {
        size_t frames = 0;
        try {
            frames = m_decoder->Read(m_chunk.get(), kChunkFrames);
        } catch (const std::exception&) {
            frames = 0; // undecodable data ends the file where it starts
        }
        if (frames == 0) {
            m_decodeEnded.store(true, std::memory_order_release);
            return false;
        }
        m_ring.Write(m_chunk.get(), frames * 2);
        m_framesDecoded.fetch_add(frames);
    }
    return true;
}

void CAudioPlayer::Decode()
{
    for (;;) {
        {
            std::unique_lock lock(m_decodeLock);
            if (m_decodeWake.wait_for(lock, kDecodePeriod, [this] { return m_stopDecoding; }))
                return;
        }
        if (!FillRing())
            return;
    }
}

} // namespace linlangok
