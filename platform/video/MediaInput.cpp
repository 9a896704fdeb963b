#include "platform/video/MediaInput.h"

#include "common/Text.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <cmath>
#include <limits>
#include <stdexcept>

#include <unistd.h>

namespace linlangok {
namespace {

constexpr int kBufferBytes = 64 * 1024;

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
    : m_file(path, std::numeric_limits<std::uint64_t>::max())
{
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

VideoSongInfo CMediaInput::Info() const
{
    VideoSongInfo info;
    info.container = m_context->iformat->name;
    if (m_context->duration > 0)
        info.lengthMilliseconds = m_context->duration / (AV_TIME_BASE / 1000);
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
