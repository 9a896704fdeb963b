#include "midi/BufferedInputFile.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <system_error>

namespace linlangok {

bool CBufferedInputFile::Open(const std::filesystem::path& path)
{
    Close();
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return false;
    m_file = std::fopen(path.c_str(), "rb");
    if (!m_file)
        return false;
    const long size = std::fseek(m_file, 0, SEEK_END) == 0 ? std::ftell(m_file) : -1;
    if (size < 0 || std::fseek(m_file, 0, SEEK_SET) != 0) {
        Close();
        return false;
    }
    m_size = static_cast<uint64_t>(size);
    if (!m_buffer)
        m_buffer.reset(new uint8_t[kBufferSize]);
    m_next = m_end = m_buffer.get();
    m_bufferStart = 0;
    return true;
}

void CBufferedInputFile::Close()
{
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
    m_next = m_end = m_buffer.get();
    m_bufferStart = 0;
    m_size = 0;
}

bool CBufferedInputFile::Refill()
{
    if (!m_file)
        return false;
    m_bufferStart += static_cast<uint64_t>(m_end - m_buffer.get());
    const size_t filled = std::fread(m_buffer.get(), 1, kBufferSize, m_file);
    m_next = m_buffer.get();
    m_end = m_next + filled;
    return filled > 0;
}

size_t CBufferedInputFile::Read(uint8_t* data, size_t size)
{
    size_t done = 0;
    while (done < size) {
        if (m_next == m_end && !Refill())
            break;
        const size_t run = std::min(size - done, static_cast<size_t>(m_end - m_next));
        std::memcpy(data + done, m_next, run);
        m_next += run;
        done += run;
    }
    return done;
}

bool CBufferedInputFile::Seek(uint64_t position)
{
    if (!m_file)
        return false;
    const uint64_t filled = static_cast<uint64_t>(m_end - m_buffer.get());
    if (position >= m_bufferStart && position <= m_bufferStart + filled) {
        m_next = m_buffer.get() + (position - m_bufferStart);
        return true;
    }
    if (position > static_cast<uint64_t>(LONG_MAX) || std::fseek(m_file, static_cast<long>(position), SEEK_SET) != 0)
        return false;
    m_bufferStart = position;
    m_next = m_end = m_buffer.get();
    return true;
}

} // namespace linlangok
