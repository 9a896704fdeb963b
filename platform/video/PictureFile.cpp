#include "platform/video/PictureFile.h"

#include "common/FileSaver.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

#include <memory>
#include <string>

namespace linlangok {
namespace {

struct CodecContextFree {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

} // namespace

bool SavePicturePng(const SongFrame& frame, const std::filesystem::path& path)
{
    if (frame.width <= 0 || frame.height <= 0
        || frame.pixels.size() != static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height))
        return false;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_PNG);
    const std::unique_ptr<AVCodecContext, CodecContextFree> context(codec ? avcodec_alloc_context3(codec) : nullptr);
    const std::unique_ptr<AVFrame, FrameFree> picture(av_frame_alloc());
    const std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    if (!context || !picture || !packet)
        return false;
    context->width = frame.width;
    context->height = frame.height;
    context->pix_fmt = AV_PIX_FMT_RGB24;
    context->time_base = {1, 1};
    picture->format = AV_PIX_FMT_RGB24;
    picture->width = frame.width;
    picture->height = frame.height;
    if (avcodec_open2(context.get(), codec, nullptr) < 0 || av_frame_get_buffer(picture.get(), 0) < 0)
        return false;
    for (int y = 0; y < frame.height; ++y) {
        uint8_t* row = picture->data[0] + static_cast<ptrdiff_t>(y) * picture->linesize[0];
        for (int x = 0; x < frame.width; ++x) {
            const uint32_t pixel
                = frame.pixels[static_cast<size_t>(y) * static_cast<size_t>(frame.width) + static_cast<size_t>(x)];
            row[3 * x] = static_cast<uint8_t>(pixel >> 16);
            row[3 * x + 1] = static_cast<uint8_t>(pixel >> 8);
            row[3 * x + 2] = static_cast<uint8_t>(pixel);
        }
    }
    if (avcodec_send_frame(context.get(), picture.get()) < 0 || avcodec_send_frame(context.get(), nullptr) < 0)
        return false;
    std::string bytes;
    while (avcodec_receive_packet(context.get(), packet.get()) >= 0) {
        bytes.append(reinterpret_cast<const char*>(packet->data), static_cast<size_t>(packet->size));
        av_packet_unref(packet.get());
    }
    return !bytes.empty() && SaveFile(path, bytes);
}

} // namespace linlangok
