#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace linlangok {

// A regular file read through a 64 KB buffer, byte by byte or in runs, with seeking. Reading at
// the end of the file, or after a read error, gives nothing. Not thread-safe.
class CBufferedInputFile {
public:
    CBufferedInputFile() = default;
    ~CBufferedInputFile() { Close(); }

    CBufferedInputFile(const CBufferedInputFile&) = delete;
    CBufferedInputFile& operator=(const CBufferedInputFile&) = delete;

    // Opens a regular file for reading; false when it is missing, not a regular file or unreadable.
    bool Open(const std::filesystem::path& path);
    void Close();
    bool IsOpen() const { return m_file != nullptr; }

    // The file's size when it was opened, and the offset of the next byte.
    uint64_t Size() const { return m_size; }
    uint64_t Position() const { return m_bufferStart + static_cast<uint64_t>(m_next - m_buffer.get()); }
    uint64_t Remaining() const { return m_size > Position() ? m_size - Position() : 0; }

    // The next byte; false at the end of the data.
    bool ReadByte(uint8_t& byte)
    {
        if (m_next == m_end && !Refill())
            return false;
        byte = *m_next++;
        return true;
    }

    // Reads up to `size` bytes and returns how many were read.
    size_t Read(uint8_t* data, size_t size);
    // Moves to an offset; false when the file cannot seek there.
    bool Seek(uint64_t position);

private:
    static constexpr size_t kBufferSize = 64 * 1024;

    bool Refill();

    std::FILE* m_file = nullptr;
    std::unique_ptr<uint8_t[]> m_buffer;
    uint8_t* m_next = nullptr;
    uint8_t* m_end = nullptr;
    uint64_t m_bufferStart = 0; // file offset of the buffer's first byte
    uint64_t m_size = 0;
};

} // namespace linlangok
