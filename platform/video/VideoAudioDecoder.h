#pragma once

#include "core/playback/AudioFileDecoder.h"
#include "platform/video/MediaInput.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;

namespace linlangok {

// IAudioFileDecoder over libavformat, libavcodec and libswresample: one or two audio tracks of a
// video file side by side, each as a stereo pair at 44.1 kHz (a mono track on both channels; of
// more channels the first two). Each track starts at its own time in the song: silence before a
// track that starts late, and a track that the file delays too far behind the other is
// made up with silence. Undecodable packets are skipped; data that cannot be read ends the sound
// (a std::runtime_error says so).
class CVideoAudioDecoder final : public IAudioFileDecoder {
public:
    // `tracks` index the file's audio streams in file order. Raises std::runtime_error when the
    // file cannot be opened, has no such track, or no decoder for it.
    CVideoAudioDecoder(const std::filesystem::path& path, const std::vector<int>& tracks);
    ~CVideoAudioDecoder() override;

    CVideoAudioDecoder(const CVideoAudioDecoder&) = delete;
    CVideoAudioDecoder& operator=(const CVideoAudioDecoder&) = delete;

    int Channels() const override { return static_cast<int>(2 * m_tracks.size()); }
    std::uint64_t LengthMilliseconds() const override { return m_lengthMilliseconds; }
    size_t Read(float* samples, size_t frames) override;

private:
    struct Track;

    // Reads and decodes the next packet of the file; false at its end.
    bool DecodePacket();
    // Sends the packet (null: the end) and appends what comes out.
    void Decode(Track& track, const AVPacket* packet);
    void Append(Track& track, const AVFrame* frame);
    size_t Buffered(const Track& track) const;

    CMediaInput m_input;
    std::vector<std::unique_ptr<Track>> m_tracks;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    std::uint64_t m_lengthMilliseconds = 0;
    bool m_inputEnded = false;
};

} // namespace linlangok
