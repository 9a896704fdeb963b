#pragma once

#include "core/playback/AudioFileDecoder.h"

#include <memory>
#include <vector>

namespace linlangok {

// Two stereo files decoded side by side as the four channels of one song (the first file's pair,
// then the second's), so that a channel pick switches between them without a gap: a song's full
// mix and its backing. The shorter file is followed by silence; the song is as long as the longer.
class CPairedAudioDecoder final : public IAudioFileDecoder {
public:
    CPairedAudioDecoder(std::unique_ptr<IAudioFileDecoder> first, std::unique_ptr<IAudioFileDecoder> second);

    int Channels() const override { return 4; }
    std::uint64_t LengthMilliseconds() const override;
    size_t Read(float* samples, size_t frames) override;

private:
    // Reads up to `frames` frames of the file into `pair`, silence past its end; the frames read.
    static size_t ReadPair(IAudioFileDecoder& file, bool& ended, std::vector<float>& pair, size_t frames);

    std::unique_ptr<IAudioFileDecoder> m_files[2];
    bool m_ended[2] = {false, false};
    std::vector<float> m_pairs[2];
};

} // namespace linlangok
