#include "platform/audio/WavFileWriter.h"

#include "platform/audio/SampleFormat.h"

#include <sndfile.h>

#include <algorithm>
#include <stdexcept>

namespace linlangok {

CWavFileWriter::CWavFileWriter(const std::filesystem::path& path)
{
    SF_INFO info {};
    info.samplerate = kStreamSampleRate;
    info.channels = kStreamChannels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    m_file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!m_file)
        throw std::runtime_error("Can't create WAV file " + path.string() + ".");
    sf_command(static_cast<SNDFILE*>(m_file), SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
}

CWavFileWriter::~CWavFileWriter()
{
    sf_close(static_cast<SNDFILE*>(m_file));
}

void CWavFileWriter::WriteFloat(const float* samples, size_t frames)
{
    while (frames > 0) {
        const size_t count = std::min(frames, kChunkFrames);
        FloatsToInt16(samples, count * kStreamChannels, m_chunk);
        WriteInt16(m_chunk, count);
        samples += count * kStreamChannels;
        frames -= count;
    }
}

void CWavFileWriter::WriteInt16(const int16_t* samples, size_t frames)
{
    m_framesWritten += sf_writef_short(static_cast<SNDFILE*>(m_file), samples, static_cast<sf_count_t>(frames));
}

} // namespace linlangok
