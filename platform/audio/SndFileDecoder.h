#pragma once

#include "common/RegularFile.h"
#include "core/playback/AudioFileDecoder.h"
#include "platform/audio/SoxrResampler.h"

#include <optional>
#include <string>
#include <vector>

namespace linlangok {

// IAudioFileDecoder over libsndfile: WAV, MP3 (through mpg123) and the other formats it reads.
// Mono files play on both channels; of more channels the first two are used; other sample rates
// are converted to 44.1 kHz. An MP3 file's length includes the encoder's delay and padding.
class CSndFileDecoder final : public IAudioFileDecoder {
public:
    // Raises std::runtime_error with the reason when the file is no regular file (never opening
    // a FIFO or a device) or libsndfile's when it cannot read it.
    explicit CSndFileDecoder(const std::filesystem::path& path);
    // Decodes a sound file held in memory (a member of an archive); raises as above.
    explicit CSndFileDecoder(std::string bytes);
    ~CSndFileDecoder() override;

    CSndFileDecoder(const CSndFileDecoder&) = delete;
    CSndFileDecoder& operator=(const CSndFileDecoder&) = delete;

    std::uint64_t LengthMilliseconds() const override { return m_lengthMilliseconds; }
    size_t Read(float* samples, size_t frames) override;

    // The opener for the accompaniment player.
    static std::unique_ptr<IAudioFileDecoder> Open(const std::filesystem::path& path);

private:
    // Takes the format of the file just opened (m_file null when it could not be); raises, the
    // file closed, when it is none that plays.
    void Start(int channels, int sampleRate, std::int64_t frames);
    // Reads up to `frames` file frames as stereo into `samples`; 0 at the end.
    size_t ReadStereo(float* samples, size_t frames);

    std::optional<CRegularFile> m_source; // a file's: outlives the SNDFILE reading its descriptor
    std::string m_bytes; // a file in memory: the SNDFILE reads it through m_bytesRead
    std::int64_t m_bytesRead = 0;
    void* m_file = nullptr; // SNDFILE*
    int m_channels = 0;
    std::uint64_t m_lengthMilliseconds = 0;
    std::vector<float> m_fileFrames; // one chunk in the file's channel layout
    std::optional<CSoxrResampler> m_resampler; // when the file is not at 44.1 kHz
    std::vector<float> m_stereo; // one chunk of stereo frames for the resampler
    size_t m_stereoUsed = 0; // of them, the frames the resampler has taken
    size_t m_stereoFrames = 0; // frames in m_stereo
    bool m_fileEnded = false;
};

} // namespace linlangok
