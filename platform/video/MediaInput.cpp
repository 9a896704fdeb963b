#include "platform/video/MediaInput.h"

#include "common/Text.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libavutil/parseutils.h>
}

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>

#include <unistd.h>

namespace linlangok {
namespace {

constexpr int kBufferBytes = 64 * 1024;
// What is read of a file's end for its length when neither the container nor its streams say it.
constexpr std::int64_t kTailBytes = std::int64_t {16} << 20;
// The longest length believed: a duration beyond it, below zero or NaN is taken for none.
constexpr double kLongestSeconds = 24 * 3600.0;

std::optional<double> Believed(double seconds)
{
    return seconds > 0.0 && seconds <= kLongestSeconds ? std::optional(seconds) : std::nullopt;
}

bool IsPicture(const AVStream& stream)
{
    return stream.codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(stream.disposition & AV_DISPOSITION_ATTACHED_PIC);
}

} // namespace

std::string MediaErrorText(int error)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

CMediaInput::CMediaInput(const std::filesystem::path& path)
    : m_path(path)
    , m_file(path, std::numeric_limits<std::uint64_t>::max())
{
    // FFmpeg's log goes to standard error, line after line for a damaged file; what the user must
    // know reaches the callers as exceptions.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
    if (!m_file.IsOpen())
        throw std::runtime_error(Utf16ToUtf8(FileReadErrorText(m_file.Result())));
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferBytes));
    if (buffer)
        m_io = avio_alloc_context(buffer, kBufferBytes, 0, this, &CMediaInput::Read, nullptr, &CMediaInput::Seek);
    m_context = m_io ? avformat_alloc_context() : nullptr;
    if (!m_context) {
        if (m_io)
            av_freep(&m_io->buffer);
        else
            av_free(buffer);
        avio_context_free(&m_io);
        throw std::bad_alloc();
    }
    m_context->pb = m_io;
    m_context->flags |= AVFMT_FLAG_CUSTOM_IO;
    // The name only hints at the format; the bytes come through m_io.
    int result = avformat_open_input(&m_context, path.c_str(), nullptr, nullptr);
    if (result >= 0)
        result = avformat_find_stream_info(m_context, nullptr);
    if (result < 0) {
        avformat_close_input(&m_context);
        av_freep(&m_io->buffer);
        avio_context_free(&m_io);
        throw std::runtime_error("not a media file: " + MediaErrorText(result));
    }
    if (m_context->start_time != AV_NOPTS_VALUE)
        m_startSeconds = static_cast<double>(m_context->start_time) / AV_TIME_BASE;
}

CMediaInput::~CMediaInput()
{
    avformat_close_input(&m_context);
    av_freep(&m_io->buffer);
    avio_context_free(&m_io);
}

int CMediaInput::Read(void* input, std::uint8_t* buffer, int size)
{
    auto& self = *static_cast<CMediaInput*>(input);
    const ssize_t read = pread(self.m_file.Descriptor(), buffer, static_cast<size_t>(size), self.m_position);
    if (read < 0)
        return AVERROR(EIO);
    if (read == 0)
        return AVERROR_EOF;
    self.m_position += read;
    return static_cast<int>(read);
}

std::int64_t CMediaInput::Seek(void* input, std::int64_t offset, int whence)
{
    auto& self = *static_cast<CMediaInput*>(input);
    const auto size = static_cast<std::int64_t>(self.m_file.Size());
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return size;
    case SEEK_SET:
        break;
    case SEEK_CUR:
        offset += self.m_position;
        break;
    case SEEK_END:
        offset += size;
        break;
    default:
        return AVERROR(EINVAL);
    }
    if (offset < 0)
        return AVERROR(EINVAL);
    self.m_position = offset;
    return offset;
}

double CMediaInput::Seconds(const AVStream& stream, std::int64_t timestamp) const
{
    return static_cast<double>(timestamp) * av_q2d(stream.time_base) - m_startSeconds;
}

std::int64_t CMediaInput::Timestamp(const AVStream& stream, double seconds) const
{
    return static_cast<std::int64_t>(std::llround((seconds + m_startSeconds) / av_q2d(stream.time_base)));
}

std::vector<int> CMediaInput::AudioStreams() const
{
    std::vector<int> streams;
    for (unsigned index = 0; index < m_context->nb_streams; ++index)
        if (m_context->streams[index]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            streams.push_back(static_cast<int>(index));
    return streams;
}

int CMediaInput::VideoStream() const
{
    for (unsigned index = 0; index < m_context->nb_streams; ++index)
        if (IsPicture(*m_context->streams[index]))
            return static_cast<int>(index);
    return -1;
}

std::int64_t CMediaInput::LengthMilliseconds() const
{
    std::optional<double> seconds;
    if (m_context->duration != AV_NOPTS_VALUE)
        seconds = Believed(static_cast<double>(m_context->duration) / AV_TIME_BASE);
    // Else the longest that a stream says: as its duration, or as the DURATION tag that Matroska
    // writers add.
    std::optional<double> longest;
    for (unsigned index = 0; !seconds && index < m_context->nb_streams; ++index) {
        const AVStream& stream = *m_context->streams[index];
        std::optional<double> own;
        if (stream.duration != AV_NOPTS_VALUE)
            own = Believed(static_cast<double>(stream.duration) * av_q2d(stream.time_base));
        std::int64_t microseconds = 0;
        if (const AVDictionaryEntry* tag = av_dict_get(stream.metadata, "DURATION", nullptr, 0);
            !own && tag && av_parse_time(&microseconds, tag->value, 1) == 0)
            own = Believed(static_cast<double>(microseconds) / 1e6);
        if (own)
            longest = std::max(longest.value_or(0.0), *own);
    }
    seconds = seconds ? seconds : longest;
    // Else where the last packet of the file ends.
    if (!seconds) {
        try {
            seconds = CMediaInput(m_path).EndOfLastPacket();
        } catch (const std::exception&) {
            // the file has changed since: its length stays unknown
        }
    }
    return seconds ? std::llround(*seconds * 1000) : 0;
}

std::optional<double> CMediaInput::EndOfLastPacket()
{
    const auto size = static_cast<std::int64_t>(m_file.Size());
    if (size > kTailBytes && av_seek_frame(m_context, -1, size - kTailBytes, AVSEEK_FLAG_BYTE) < 0)
        return std::nullopt;
    const std::unique_ptr<AVPacket, void (*)(AVPacket*)> packet(
        av_packet_alloc(), [](AVPacket* unused) { av_packet_free(&unused); });
    if (!packet)
        throw std::bad_alloc();
    std::optional<double> end;
    while (av_read_frame(m_context, packet.get()) >= 0) {
        const AVStream& stream = *m_context->streams[packet->stream_index];
        const std::int64_t at = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        const AVMediaType type = stream.codecpar->codec_type;
        if (at != AV_NOPTS_VALUE && (type == AVMEDIA_TYPE_AUDIO || IsPicture(stream))) {
            if (const std::optional<double> seconds
                = Believed(Seconds(stream, at + std::max<std::int64_t>(packet->duration, 0))))
                end = std::max(end.value_or(0.0), *seconds);
        }
        av_packet_unref(packet.get());
    }
    return end;
}

VideoSongInfo CMediaInput::Info() const
{
    VideoSongInfo info;
    info.container = m_context->iformat->name;
    info.lengthMilliseconds = LengthMilliseconds();
    for (unsigned index = 0; index < m_context->nb_streams; ++index) {
        const AVStream& stream = *m_context->streams[index];
        const AVCodecParameters& parameters = *stream.codecpar;
        MediaStream described;
        described.index = static_cast<int>(index);
        described.codec = avcodec_get_name(parameters.codec_id);
        if (const AVDictionaryEntry* language = av_dict_get(stream.metadata, "language", nullptr, 0))
            described.language = IsValidUtf8(language->value) ? language->value : "";
        if (parameters.codec_type == AVMEDIA_TYPE_AUDIO) {
            described.type = MediaStream::EType::Audio;
            described.channels = parameters.ch_layout.nb_channels;
            described.sampleRate = parameters.sample_rate;
        } else if (IsPicture(stream)) {
            described.type = MediaStream::EType::Video;
            described.width = parameters.width;
            described.height = parameters.height;
            const AVRational rate = stream.avg_frame_rate.num > 0 ? stream.avg_frame_rate : stream.r_frame_rate;
            described.framesPerSecond = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0.0;
        }
        info.streams.push_back(std::move(described));
    }
    return info;
}

} // namespace linlangok
