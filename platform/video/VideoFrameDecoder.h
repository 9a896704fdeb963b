#pragma once

#include "core/picture/VideoSong.h"
#include "platform/video/MediaInput.h"

#include <filesystem>
#include <optional>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct SwsContext;

namespace linlangok {

// IVideoFrameDecoder over libavformat, libavcodec and libswscale: the first video stream of a
// file, its pictures converted to 0xAARRGGBB at their own size (a picture larger than
// kMaximumWidth × kMaximumHeight is scaled down to fit, its aspect kept). Undecodable packets are
// skipped; data that cannot be read ends the pictures.
class CVideoFrameDecoder final : public IVideoFrameDecoder {
public:
    static constexpr int kMaximumWidth = 1920;
    static constexpr int kMaximumHeight = 1080;

    // Raises std::runtime_error when the file cannot be opened, has no video stream, or no
    // decoder for it.
    explicit CVideoFrameDecoder(const std::filesystem::path& path);
    ~CVideoFrameDecoder() override;

    CVideoFrameDecoder(const CVideoFrameDecoder&) = delete;
    CVideoFrameDecoder& operator=(const CVideoFrameDecoder&) = delete;

    double FrameSeconds() const override { return m_frameSeconds; }
    std::optional<DecodedPicture> DecodeNext(SongFrame& frame, double keepFrom) override;
    void Seek(double seconds) override;

private:
    // Decodes the next picture into m_frame and returns its song time; nothing at the end.
    std::optional<double> ReceivePicture();
    // Converts m_frame into the frame; false when its format cannot be converted.
    bool Convert(SongFrame& frame);

    CMediaInput m_input;
    AVStream* m_stream = nullptr;
    AVCodecContext* m_codec = nullptr;
    SwsContext* m_scaler = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    double m_frameSeconds = 0.04;
    std::optional<double> m_lastSeconds; // of the picture decoded last
    std::optional<double> m_pending; // a picture in m_frame that a seek decoded and DecodeNext hands on
    bool m_inputEnded = false;
};

} // namespace linlangok
