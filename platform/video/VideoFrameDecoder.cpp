#include "platform/video/VideoFrameDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <thread>
#include <utility>

namespace linlangok {
namespace {

// A seek that lands after its target goes back this far, twice as far each time, up to
// kMaximumSeekBackSeconds.
constexpr double kFirstSeekBackSeconds = 1.0;
constexpr double kMaximumSeekBackSeconds = 64.0;
constexpr unsigned kDecodeThreads = 4;

} // namespace

CVideoFrameDecoder::CVideoFrameDecoder(const std::filesystem::path& path)
    : m_input(path)
{
    const int index = m_input.VideoStream();
    if (index < 0)
        throw std::runtime_error("no video stream");
    AVFormatContext* context = m_input.Context();
    m_stream = context->streams[index];
    for (unsigned other = 0; other < context->nb_streams; ++other)
        context->streams[other]->discard = static_cast<int>(other) == index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    const AVCodec* codec = avcodec_find_decoder(m_stream->codecpar->codec_id);
    m_codec = codec ? avcodec_alloc_context3(codec) : nullptr;
    // A few threads: a 1080p picture decodes in time on a slow machine, and a seek waits for few
    // pictures in flight.
    if (m_codec)
        m_codec->thread_count = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, kDecodeThreads));
    if (!m_codec || avcodec_parameters_to_context(m_codec, m_stream->codecpar) < 0
        || avcodec_open2(m_codec, codec, nullptr) < 0) {
        avcodec_free_context(&m_codec);
        throw std::runtime_error("no decoder for the video stream");
    }
    const AVRational rate = m_stream->avg_frame_rate.num > 0 ? m_stream->avg_frame_rate : m_stream->r_frame_rate;
    if (rate.num > 0 && rate.den > 0 && av_q2d(rate) >= 1.0 && av_q2d(rate) <= 240.0)
        m_frameSeconds = 1.0 / av_q2d(rate);
    m_packet = av_packet_alloc();
    m_frame = av_frame_alloc();
    if (!m_packet || !m_frame) {
        av_packet_free(&m_packet);
        av_frame_free(&m_frame);
        avcodec_free_context(&m_codec);
        throw std::bad_alloc();
    }
}

CVideoFrameDecoder::~CVideoFrameDecoder()
{
    sws_freeContext(m_scaler);
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
    avcodec_free_context(&m_codec);
}

std::optional<DecodedPicture> CVideoFrameDecoder::DecodeNext(SongFrame& frame, double keepFrom)
{
    std::optional<double> seconds = std::exchange(m_pending, std::nullopt);
    if (!seconds)
        seconds = ReceivePicture();
    if (!seconds)
        return std::nullopt;
    const bool over = IsPictureOver(*seconds, m_frameSeconds, keepFrom);
    return DecodedPicture {*seconds, !over && Convert(frame)};
}

std::optional<double> CVideoFrameDecoder::ReceivePicture()
{
    for (;;) {
        const int received = avcodec_receive_frame(m_codec, m_frame);
        if (received >= 0) {
            const std::int64_t timestamp = m_frame->best_effort_timestamp;
            // A picture without a time follows the one before.
            const double seconds = timestamp != AV_NOPTS_VALUE
                ? m_input.Seconds(*m_stream, timestamp)
                : m_lastSeconds.value_or(-m_frameSeconds) + m_frameSeconds;
            m_lastSeconds = seconds;
            return seconds;
        }
        if (received == AVERROR_EOF)
            return std::nullopt;
        if (m_inputEnded)
            return std::nullopt; // the decoder has nothing more and asks for more
        const int read = av_read_frame(m_input.Context(), m_packet);
        if (read < 0) {
            // The end, or data that cannot be read: what the decoder holds comes out.
            m_inputEnded = true;
            avcodec_send_packet(m_codec, nullptr);
            continue;
        }
        if (m_packet->stream_index == m_stream->index)
            avcodec_send_packet(m_codec, m_packet); // a packet that does not decode is left out
        av_packet_unref(m_packet);
    }
}

void CVideoFrameDecoder::Seek(double seconds)
{
    for (double back = 0.0;; back = back == 0.0 ? kFirstSeekBackSeconds : back * 2) {
        const double target = std::max(seconds - back, 0.0);
        // Seeking by the stream's time, else by bytes, which every format allows.
        const std::int64_t timestamp = m_input.Timestamp(*m_stream, target);
        if (av_seek_frame(m_input.Context(), m_stream->index, timestamp, AVSEEK_FLAG_BACKWARD) < 0
            && avformat_seek_file(m_input.Context(), m_stream->index, INT64_MIN, timestamp, timestamp, 0) < 0)
            throw std::runtime_error("the video cannot seek");
        avcodec_flush_buffers(m_codec);
        m_inputEnded = false;
        m_lastSeconds.reset();
        m_pending = ReceivePicture();
        // Some formats land after the target; the picture due there lies earlier.
        if (!m_pending || *m_pending <= seconds || target == 0.0 || back >= kMaximumSeekBackSeconds)
            return;
    }
}

bool CVideoFrameDecoder::Convert(SongFrame& frame)
{
    const int width = m_frame->width;
    const int height = m_frame->height;
    if (width <= 0 || height <= 0)
        return false;
    const double scale
        = std::min({1.0, static_cast<double>(kMaximumWidth) / width, static_cast<double>(kMaximumHeight) / height});
    const int outWidth = std::max(1, static_cast<int>(width * scale));
    const int outHeight = std::max(1, static_cast<int>(height * scale));
    m_scaler = sws_getCachedContext(m_scaler, width, height, static_cast<AVPixelFormat>(m_frame->format), outWidth,
        outHeight, AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!m_scaler)
        return false;
    frame.width = outWidth;
    frame.height = outHeight;
    frame.pixels.resize(static_cast<size_t>(outWidth) * static_cast<size_t>(outHeight));
    std::uint8_t* const planes[] = {reinterpret_cast<std::uint8_t*>(frame.pixels.data())};
    const int strides[] = {outWidth * 4};
    sws_scale(m_scaler, m_frame->data, m_frame->linesize, 0, height, planes, strides);
    const AVRational pixelAspect = av_guess_sample_aspect_ratio(m_input.Context(), m_stream, m_frame);
    const double pixel = pixelAspect.num > 0 && pixelAspect.den > 0 ? av_q2d(pixelAspect) : 1.0;
    frame.displayAspect = static_cast<double>(width) * pixel / height;
    frame.pixelArt = false;
    return true;
}

} // namespace linlangok
