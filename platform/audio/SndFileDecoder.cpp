#include "platform/audio/SndFileDecoder.h"

#include "common/Text.h"
#include "core/audio/SampleFormat.h"

#include <sndfile.h>

#include <algorithm>
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
    : m_source(path, std::numeric_limits<uint64_t>::max())
{
    if (!m_source.IsOpen())
        throw std::runtime_error(Utf16ToUtf8(FileReadErrorText(m_source.Result())));
    SF_INFO info {};
    m_file = sf_open_fd(m_source.Descriptor(), SFM_READ, &info, SF_FALSE);
    if (!m_file)
        throw std::runtime_error(sf_strerror(nullptr));
    if (info.channels < 1 || info.samplerate < 1000 || info.samplerate > 384000) {
        sf_close(File(m_file));
        throw std::runtime_error("Unsupported audio format.");
    }
    m_channels = info.channels;
    if (info.frames > 0 && info.frames < kMaximumFrames)
        m_lengthMilliseconds = static_cast<uint64_t>(info.frames) * 1000 / static_cast<uint64_t>(info.samplerate);
    m_fileFrames.resize(kChunkFrames * static_cast<size_t>(m_channels));
    if (info.samplerate != kStreamSampleRate) {
        m_resampler.emplace(info.samplerate, kStreamSampleRate);
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
