#include "platform/audio/SndFileDecoder.h"

#include "common/Text.h"
#include "core/audio/SampleFormat.h"

#include <sndfile.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace linlangok {
namespace {

constexpr size_t kChunkFrames = 4096;
// Longer than any accompaniment (about 27 hours at 44.1 kHz); a larger count is not believed.
constexpr sf_count_t kMaximumFrames = sf_count_t {1} << 32;

SNDFILE* File(void* file)
{
    return static_cast<SNDFILE*>(file);
}

} // namespace

CSndFileDecoder::CSndFileDecoder(const std::filesystem::path& path)
    : m_source(std::in_place, path, std::numeric_limits<std::uint64_t>::max())
{
    if (!m_source->IsOpen())
        throw std::runtime_error(Utf16ToUtf8(FileReadErrorText(m_source->Result())));
    SF_INFO info {};
    m_file = sf_open_fd(m_source->Descriptor(), SFM_READ, &info, SF_FALSE);
    Start(info.channels, info.samplerate, info.frames);
}

CSndFileDecoder::CSndFileDecoder(std::string bytes)
    : m_bytes(std::move(bytes))
{
    static SF_VIRTUAL_IO memory {
        [](void* self) -> sf_count_t {
            return static_cast<sf_count_t>(static_cast<CSndFileDecoder*>(self)->m_bytes.size());
        },
        [](sf_count_t offset, int whence, void* self) -> sf_count_t {
            auto& decoder = *static_cast<CSndFileDecoder*>(self);
            const auto size = static_cast<sf_count_t>(decoder.m_bytes.size());
            const sf_count_t base = whence == SEEK_CUR ? decoder.m_bytesRead : whence == SEEK_END ? size : 0;
            if (offset < -base || offset > size - base)
                return -1;
            decoder.m_bytesRead = base + offset;
            return decoder.m_bytesRead;
        },
        [](void* bytes, sf_count_t count, void* self) -> sf_count_t {
            auto& decoder = *static_cast<CSndFileDecoder*>(self);
            const sf_count_t read = std::clamp<sf_count_t>(
                static_cast<sf_count_t>(decoder.m_bytes.size()) - decoder.m_bytesRead, 0, count);
            std::memcpy(bytes, decoder.m_bytes.data() + decoder.m_bytesRead, static_cast<size_t>(read));
            decoder.m_bytesRead += read;
            return read;
        },
        [](const void*, sf_count_t, void*) -> sf_count_t { return 0; },
        [](void* self) -> sf_count_t { return static_cast<CSndFileDecoder*>(self)->m_bytesRead; },
    };
    SF_INFO info {};
    m_file = sf_open_virtual(&memory, SFM_READ, &info, this);
    Start(info.channels, info.samplerate, info.frames);
}

void CSndFileDecoder::Start(int channels, int sampleRate, std::int64_t frames)
{
    if (!m_file)
        throw std::runtime_error(sf_strerror(nullptr));
    if (channels < 1 || sampleRate < 1000 || sampleRate > 384000) {
        sf_close(File(m_file));
        throw std::runtime_error("Unsupported audio format.");
    }
    m_channels = channels;
    if (frames > 0 && frames < kMaximumFrames)
        m_lengthMilliseconds = static_cast<std::uint64_t>(frames) * 1000 / static_cast<std::uint64_t>(sampleRate);
    m_fileFrames.resize(kChunkFrames * static_cast<size_t>(m_channels));
    if (sampleRate != kStreamSampleRate) {
        m_resampler.emplace(sampleRate, kStreamSampleRate);
        m_stereo.resize(kChunkFrames * kStreamChannels);
    }
}

CSndFileDecoder::~CSndFileDecoder()
{
    sf_close(File(m_file));
}

std::unique_ptr<IAudioFileDecoder> CSndFileDecoder::Open(const std::filesystem::path& path)
{
    return std::make_unique<CSndFileDecoder>(path);
}

size_t CSndFileDecoder::Read(float* samples, size_t frames)
{
    if (!m_resampler)
        return ReadStereo(samples, frames);
    size_t written = 0;
    while (written < frames) {
        if (m_stereoUsed == m_stereoFrames && !m_fileEnded) {
            m_stereoFrames = ReadStereo(m_stereo.data(), kChunkFrames);
            m_stereoUsed = 0;
            m_fileEnded = m_stereoFrames == 0;
        }
        size_t used = 0;
        const size_t made = m_resampler->Process(m_fileEnded ? nullptr : &m_stereo[m_stereoUsed * kStreamChannels],
            m_stereoFrames - m_stereoUsed, used, samples + written * kStreamChannels, frames - written);
        m_stereoUsed += used;
        written += made;
        if (m_fileEnded && made == 0)
            break;
    }
    return written;
}

size_t CSndFileDecoder::ReadStereo(float* samples, size_t frames)
{
    frames = std::min(frames, kChunkFrames);
    const auto read = sf_readf_float(File(m_file), m_fileFrames.data(), static_cast<sf_count_t>(frames));
    if (read <= 0 && sf_error(File(m_file)) != SF_ERR_NO_ERROR)
        throw std::runtime_error(sf_strerror(File(m_file)));
    const auto count = static_cast<size_t>(std::max<sf_count_t>(read, 0));
    for (size_t frame = 0; frame < count; ++frame) {
        const float* in = &m_fileFrames[frame * static_cast<size_t>(m_channels)];
        samples[frame * 2] = in[0];
        samples[frame * 2 + 1] = m_channels > 1 ? in[1] : in[0];
    }
    return count;
}

} // namespace linlangok
