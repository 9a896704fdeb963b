#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace linlangok {

// A 44.1 kHz 16-bit stereo WAV file being written (libsndfile). The header is kept up to date
// after every write, so the file is readable while it grows and after a crash.
class CWavFileWriter {
public:
    // Creates or truncates the file; raises std::runtime_error "Can't create WAV file PATH."
    explicit CWavFileWriter(const std::filesystem::path& path);
    ~CWavFileWriter();

    CWavFileWriter(const CWavFileWriter&) = delete;
    CWavFileWriter& operator=(const CWavFileWriter&) = delete;

    // Appends interleaved stereo frames, converted to 16 bits with clipping.
    void WriteFloat(const float* samples, size_t frames);
    void WriteInt16(const int16_t* samples, size_t frames);

    uint64_t FramesWritten() const { return m_framesWritten; }

private:
    static constexpr size_t kChunkFrames = 1024;

    void* m_file; // SNDFILE*
    uint64_t m_framesWritten = 0;
    int16_t m_chunk[kChunkFrames * 2];
};

} // namespace linlangok
