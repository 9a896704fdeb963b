#pragma once

#include "common/FileSaver.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace linlangok {

enum class EWavFileMode {
    // Written straight into the file (created or truncated), with the header kept up to date
    // after every write, so the file is readable while it grows and after a crash.
    Growing,
    // Written through a CFileSaver: the file replaces the target only when Commit succeeds.
    Replacing,
};

// A 44.1 kHz 16-bit stereo WAV file being written (libsndfile). Floats are converted as the
// stream format says (SampleFormat.h), with clipping. One thread at a time.
class CWavFileWriter {
public:
    // Raises std::runtime_error "Can't create WAV file PATH." when the file cannot be created,
    // or (Replacing) when the target may not be written.
    CWavFileWriter(const std::filesystem::path& path, EWavFileMode mode);
    // Closes the file; a Replacing writer that was not committed leaves the target untouched.
    ~CWavFileWriter();

    CWavFileWriter(const CWavFileWriter&) = delete;
    CWavFileWriter& operator=(const CWavFileWriter&) = delete;

    // Appends interleaved stereo frames. False when not every frame was written.
    bool WriteFloat(const float* samples, size_t frames);
    bool WriteInt16(const std::int16_t* samples, size_t frames);

    // Finishes the header and closes the file; a Replacing writer then puts it in place of the
    // target. False when any write or the close failed. Later writes and commits fail.
    bool Commit();

private:
    static constexpr size_t kChunkFrames = 1024;

    bool Close();

    std::optional<CFileSaver> m_saver; // Replacing
    int m_descriptor = -1; // Growing
    void* m_file = nullptr; // SNDFILE*
    bool m_failed = false;
    std::int16_t m_chunk[kChunkFrames * 2];
};

} // namespace linlangok
