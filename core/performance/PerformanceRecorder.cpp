#include "core/performance/PerformanceRecorder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <system_error>
#include <utility>

namespace linlangok {
namespace {

constexpr int kSampleRate = 44100;
constexpr size_t kChannels = 2;
constexpr size_t kQueuedSamples = size_t {1} << 18; // three seconds of the output
constexpr size_t kQueuedBuffers = 4096;
constexpr auto kWriterPeriod = std::chrono::milliseconds(20);
constexpr size_t kFileBufferBytes = 1 << 16;
// Below this peak (-60 dBFS) nothing was heard: no accompaniment played.
constexpr int kAudiblePeak = 33;

std::FILE* OpenTemporary(const std::filesystem::path& path)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file)
        std::setvbuf(file, nullptr, _IOFBF, kFileBufferBytes);
    return file;
}

} // namespace

CPerformanceRecorder::CPerformanceRecorder(IAudioOutput& output, CTakeFolder& takes, int takeNumber)
    : m_output(output)
    , m_takes(takes)
    , m_takeNumber(takeNumber)
    , m_samples(kQueuedSamples)
    , m_buffers(kQueuedBuffers)
{
}

CPerformanceRecorder::~CPerformanceRecorder()
{
    Untap();
    CloseFiles();
    for (const LockedFile* file : {&m_accompanimentFile, &m_voiceFile}) {
        std::error_code ignored;
        if (!file->path.empty())
            std::filesystem::remove(file->path, ignored);
    }
}

bool CPerformanceRecorder::Start()
{
    if (auto files = m_takes.CreatePerformanceFiles(m_takeNumber)) {
        m_accompanimentFile = std::move(files->first);
        m_voiceFile = std::move(files->second);
        m_accompaniment = OpenTemporary(m_accompanimentFile.path);
        m_voice = OpenTemporary(m_voiceFile.path);
    }
    if (!m_accompaniment || !m_voice)
        throw std::runtime_error("Can't create the performance's temporary files.");
    m_writer = std::thread([this] { WriterThread(); });
    m_tapped = m_output.AddTap(*this);
    if (!m_tapped)
        Untap();
    return m_tapped;
}

void CPerformanceRecorder::OnPlayed(const float* mix, size_t frames, const AudioBufferTiming& timing) noexcept
{
    const size_t count = frames * kChannels;
    // A buffer the writer has no room for is left out whole; the writer stands silence in for it.
    if (m_samples.Free() < count || m_buffers.Free() == 0)
        return;
    std::array<std::int16_t, 1024> converted;
    for (size_t done = 0; done < count;) {
        const size_t part = std::min(converted.size(), count - done);
        for (size_t i = 0; i < part; ++i)
            converted[i] = static_cast<std::int16_t>(std::lrint(std::clamp(mix[done + i], -1.0f, 1.0f) * 32767.0f));
        m_samples.Write(converted.data(), part);
        done += part;
    }
    const PlayedBuffer played {timing.firstFrame, frames, timing.playTime};
    m_buffers.Write(&played, 1);
}

void CPerformanceRecorder::WriterThread()
{
    std::unique_lock lock(m_wakeLock);
    while (!m_stopping) {
        m_wake.wait_for(lock, kWriterPeriod, [this] { return m_stopping; });
        lock.unlock();
        Drain();
        lock.lock();
    }
}

void CPerformanceRecorder::Drain()
{
    for (auto buffers = m_buffers.Readable(); !buffers.empty(); buffers = m_buffers.Readable()) {
        for (const PlayedBuffer& buffer : buffers) {
            if (!m_started) {
                m_started = true;
                m_firstFrame = m_nextFrame = buffer.firstFrame;
            }
            static constexpr std::array<std::int16_t, 1024> kSilence {};
            while (m_nextFrame < buffer.firstFrame) {
                const std::uint64_t frames
                    = std::min<std::uint64_t>(buffer.firstFrame - m_nextFrame, kSilence.size() / kChannels);
                AppendAccompaniment(kSilence.data(), frames * kChannels);
                m_nextFrame += frames;
            }
            // Frames played again (never, from a steady stream) are written once.
            const std::uint64_t repeated = std::min<std::uint64_t>(m_nextFrame - buffer.firstFrame, buffer.frames);
            for (size_t left = buffer.frames * kChannels, skip = repeated * kChannels; left > 0;) {
                const auto samples = m_samples.Readable();
                const size_t part = std::min(samples.size(), left);
                const size_t skipped = std::min(part, skip);
                AppendAccompaniment(samples.data() + skipped, part - skipped);
                m_samples.Consume(part);
                left -= part;
                skip -= skipped;
            }
            if (repeated < buffer.frames) {
                m_played.push_back(
                    {static_cast<double>(buffer.firstFrame - m_firstFrame), SteadySeconds(buffer.playTime)});
                m_nextFrame = buffer.firstFrame + buffer.frames;
            }
        }
        m_buffers.Consume(buffers.size());
    }
}

void CPerformanceRecorder::AppendAccompaniment(const std::int16_t* samples, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        m_peak = std::max(m_peak, std::abs(static_cast<int>(samples[i])));
    if (!m_accompanimentFailed && std::fwrite(samples, sizeof(std::int16_t), count, m_accompaniment) != count)
        m_accompanimentFailed = true;
}

void CPerformanceRecorder::WriteVoice(
    const std::uint8_t* samples, size_t byteCount, std::chrono::steady_clock::time_point firstFrameTime) noexcept
{
    if (!m_voice || m_voiceFailed)
        return;
    try {
        m_captured.push_back({static_cast<double>(m_voiceFrames), SteadySeconds(firstFrameTime)});
    } catch (const std::bad_alloc&) {
        m_voiceFailed = true;
        return;
    }
    if (std::fwrite(samples, 1, byteCount, m_voice) != byteCount)
        m_voiceFailed = true;
    m_voiceFrames += byteCount / (kChannels * sizeof(std::int16_t));
}

void CPerformanceRecorder::Untap()
{
    if (m_tapped)
        m_output.RemoveTap(*this);
    m_tapped = false;
    if (!m_writer.joinable())
        return;
    {
        std::lock_guard lock(m_wakeLock);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_writer.join();
    Drain(); // what came after the writer's last look
}

void CPerformanceRecorder::CloseFiles()
{
    for (std::FILE** file : {&m_accompaniment, &m_voice}) {
        if (*file && std::fclose(*file) != 0)
            (file == &m_voice ? m_voiceFailed : m_accompanimentFailed) = true;
        *file = nullptr;
    }
}

std::unique_ptr<CPerformanceTake> CPerformanceRecorder::Finish(
    std::chrono::microseconds inputLatency, double correctionMs)
{
    Untap();
    CloseFiles();
    if (m_accompanimentFailed || m_voiceFailed)
        throw std::runtime_error("Can't write the performance's temporary files.");
    const auto played = FitFrameClock(std::move(m_played), kSampleRate);
    const auto captured = FitFrameClock(std::move(m_captured), kSampleRate);
    if (m_peak < kAudiblePeak || m_voiceFrames == 0 || !played || !captured)
        return nullptr;
    // The voice's frame, captured at the device's moment, was sung that long before; the music the
    // singer heard then had left the output that long before it reached the ear.
    const double alignmentMs
        = std::chrono::duration<double, std::milli>(m_output.OutputLatency() + inputLatency).count() + correctionMs;
    const double middle = static_cast<double>(m_voiceFrames / 2);
    const double heardFrame = played->FrameAt(captured->SecondsAt(middle) - alignmentMs / 1000);
    // Within 64 bits whatever the clocks and latencies; the take bounds it further.
    constexpr double kFarthest = 0x1p62;
    const double offset = std::clamp(heardFrame - middle, -kFarthest, kFarthest);
    return std::make_unique<CPerformanceTake>(std::exchange(m_accompanimentFile, {}), std::exchange(m_voiceFile, {}),
        TakeFilePaths(m_takes.Folder(), m_takeNumber).audition, std::isnan(offset) ? 0 : std::llround(offset),
        alignmentMs);
}

} // namespace linlangok
