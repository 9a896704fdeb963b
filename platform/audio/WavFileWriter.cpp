#include "platform/audio/WavFileWriter.h"

#include "core/audio/SampleFormat.h"

#include <sndfile.h>

#include <algorithm>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace linlangok {

CWavFileWriter::CWavFileWriter(const std::filesystem::path& path, EWavFileMode mode)
{
    int descriptor = -1;
    if (mode == EWavFileMode::Replacing) {
        m_saver.emplace(path);
        descriptor = m_saver->Descriptor();
    } else {
        m_descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        descriptor = m_descriptor;
    }
    SF_INFO info {};
    info.samplerate = kStreamSampleRate;
    info.channels = kStreamChannels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    if (descriptor >= 0)
        m_file = sf_open_fd(descriptor, SFM_WRITE, &info, SF_FALSE);
    if (!m_file) {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
        throw std::runtime_error("Can't create WAV file " + path.string() + ".");
    }
    if (mode == EWavFileMode::Growing)
        sf_command(static_cast<SNDFILE*>(m_file), SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
}

CWavFileWriter::~CWavFileWriter()
{
    Close();
}

bool CWavFileWriter::WriteFloat(const float* samples, size_t frames)
{
    bool written = true;
    while (frames > 0) {
        const size_t count = std::min(frames, kChunkFrames);
        FloatsToInt16(samples, count * kStreamChannels, m_chunk);
        written = WriteInt16(m_chunk, count) && written;
        samples += count * kStreamChannels;
        frames -= count;
    }
    return written;
}

bool CWavFileWriter::WriteInt16(const std::int16_t* samples, size_t frames)
{
    if (!m_file)
        return false;
    const sf_count_t written = sf_writef_short(static_cast<SNDFILE*>(m_file), samples, static_cast<sf_count_t>(frames));
    m_failed = m_failed || written != static_cast<sf_count_t>(frames);
    return written == static_cast<sf_count_t>(frames);
}

bool CWavFileWriter::Commit()
{
    const bool wasOpen = m_file != nullptr;
    const bool closed = Close() && wasOpen && !m_failed;
    const bool committed = closed && (!m_saver || m_saver->Commit());
    m_saver.reset();
    return committed;
}

bool CWavFileWriter::Close()
{
    bool closed = true;
    if (m_file)
        closed = sf_close(static_cast<SNDFILE*>(m_file)) == 0;
    m_file = nullptr;
    if (m_descriptor >= 0)
        closed = ::close(m_descriptor) == 0 && closed;
    m_descriptor = -1;
    return closed;
}

} // namespace linlangok
