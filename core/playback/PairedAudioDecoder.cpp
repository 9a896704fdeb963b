#include "core/playback/PairedAudioDecoder.h"

#include <algorithm>
#include <stdexcept>

namespace linlangok {

CPairedAudioDecoder::CPairedAudioDecoder(
    std::unique_ptr<IAudioFileDecoder> first, std::unique_ptr<IAudioFileDecoder> second)
    : m_files {std::move(first), std::move(second)}
{
    for (const auto& file : m_files) {
        if (file->Channels() != 2)
            throw std::runtime_error("a paired sound file is not stereo");
    }
}

std::uint64_t CPairedAudioDecoder::LengthMilliseconds() const
{
    return std::max(m_files[0]->LengthMilliseconds(), m_files[1]->LengthMilliseconds());
}

size_t CPairedAudioDecoder::ReadPair(IAudioFileDecoder& file, bool& ended, std::vector<float>& pair, size_t frames)
{
    pair.assign(2 * frames, 0.0f);
    size_t read = 0;
    while (!ended && read < frames) {
        const size_t got = file.Read(pair.data() + 2 * read, frames - read);
        ended = got == 0;
        read += got;
    }
    return read;
}

size_t CPairedAudioDecoder::Read(float* samples, size_t frames)
{
    size_t read = 0;
    for (size_t index = 0; index < 2; ++index)
        read = std::max(read, ReadPair(*m_files[index], m_ended[index], m_pairs[index], frames));
    for (size_t frame = 0; frame < read; ++frame) {
        for (size_t index = 0; index < 2; ++index) {
            samples[4 * frame + 2 * index] = m_pairs[index][2 * frame];
            samples[4 * frame + 2 * index + 1] = m_pairs[index][2 * frame + 1];
        }
    }
    return read;
}

} // namespace linlangok
