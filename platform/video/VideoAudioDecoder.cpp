#include "platform/video/VideoAudioDecoder.h"

#include "core/audio/SampleFormat.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace linlangok {
namespace {

// How far a track may start after the file (silence before it), or one track run ahead of
// another before the other is made up with silence: beyond it, a timestamp or the file's order
// is not believed.
constexpr std::int64_t kMaximumOffsetFrames = std::int64_t {30} * kStreamSampleRate;

} // namespace

struct CVideoAudioDecoder::Track {
    ~Track()
    {
        swr_free(&resampler);
        av_channel_layout_uninit(&resampledLayout);
        avcodec_free_context(&codec);
    }

    const AVStream* stream = nullptr;
    AVCodecContext* codec = nullptr;
    SwrContext* resampler = nullptr; // made for the first frame, again when the format changes
    AVChannelLayout resampledLayout {};
    int resampledFormat = -1;
    int resampledRate = 0;
    std::vector<std::vector<float>> planes; // what the resampler gives, a plane per channel
    std::vector<float> buffered; // interleaved stereo, from `consumed` on
    size_t consumed = 0;
    bool started = false; // its first frame has placed it in the song
    std::int64_t skipFrames = 0; // before the song's start, or already made up with silence
    bool ended = false;
};

CVideoAudioDecoder::CVideoAudioDecoder(const std::filesystem::path& path, const std::vector<int>& tracks)
    : m_input(path)
{
    const std::vector<int> streams = m_input.AudioStreams();
    AVFormatContext* context = m_input.Context();
    for (const int track : tracks) {
        if (track < 0 || static_cast<size_t>(track) >= streams.size())
            throw std::runtime_error("no such audio track");
        auto decoded = std::make_unique<Track>();
        decoded->stream = context->streams[streams[static_cast<size_t>(track)]];
        const AVCodec* codec = avcodec_find_decoder(decoded->stream->codecpar->codec_id);
        decoded->codec = codec ? avcodec_alloc_context3(codec) : nullptr;
        if (!decoded->codec || avcodec_parameters_to_context(decoded->codec, decoded->stream->codecpar) < 0
            || avcodec_open2(decoded->codec, codec, nullptr) < 0)
            throw std::runtime_error("no decoder for the audio track");
        m_tracks.push_back(std::move(decoded));
    }
    if (m_tracks.empty() || m_tracks.size() > kMaximumSongChannels / 2)
        throw std::runtime_error("one or two audio tracks are decoded");
    for (unsigned index = 0; index < context->nb_streams; ++index) {
        const bool used = std::any_of(m_tracks.begin(), m_tracks.end(),
            [&](const auto& track) { return track->stream == context->streams[index]; });
        context->streams[index]->discard = used ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    }
    m_lengthMilliseconds = static_cast<std::uint64_t>(m_input.LengthMilliseconds());
    m_packet = av_packet_alloc();
    m_frame = av_frame_alloc();
    if (!m_packet || !m_frame) {
        av_packet_free(&m_packet);
        av_frame_free(&m_frame);
        throw std::bad_alloc();
    }
}

CVideoAudioDecoder::~CVideoAudioDecoder()
{
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
}

size_t CVideoAudioDecoder::Buffered(const Track& track) const
{
    return (track.buffered.size() - track.consumed) / 2;
}

size_t CVideoAudioDecoder::Read(float* samples, size_t frames)
{
    const auto fewest = [this] {
        size_t least = SIZE_MAX;
        for (const auto& track : m_tracks)
            least = std::min(least, Buffered(*track));
        return least;
    };
    const auto most = [this] {
        size_t largest = 0;
        for (const auto& track : m_tracks)
            largest = std::max(largest, Buffered(*track));
        return largest;
    };
    while (!m_inputEnded && fewest() < frames && most() < static_cast<size_t>(kMaximumOffsetFrames)) {
        if (!DecodePacket()) {
            m_inputEnded = true;
            for (const auto& track : m_tracks)
                Decode(*track, nullptr);
        }
    }
    // At the end, or with one track far ahead, the others are made up with silence.
    const size_t count = std::min(frames, m_inputEnded || fewest() < frames ? most() : fewest());
    const size_t channels = 2 * m_tracks.size();
    for (size_t index = 0; index < m_tracks.size(); ++index) {
        Track& track = *m_tracks[index];
        const size_t taken = std::min(count, Buffered(track));
        for (size_t frame = 0; frame < count; ++frame) {
            const bool held = frame < taken;
            samples[frame * channels + 2 * index] = held ? track.buffered[track.consumed + 2 * frame] : 0.0f;
            samples[frame * channels + 2 * index + 1] = held ? track.buffered[track.consumed + 2 * frame + 1] : 0.0f;
        }
        track.consumed += 2 * taken;
        track.skipFrames += static_cast<std::int64_t>(count - taken);
        if (track.consumed > track.buffered.size() / 2) {
            track.buffered.erase(
                track.buffered.begin(), track.buffered.begin() + static_cast<std::ptrdiff_t>(track.consumed));
            track.consumed = 0;
        }
    }
    return count;
}

bool CVideoAudioDecoder::DecodePacket()
{
    const int result = av_read_frame(m_input.Context(), m_packet);
    if (result == AVERROR_EOF)
        return false;
    if (result < 0)
        throw std::runtime_error("the file breaks off: " + MediaErrorText(result));
    for (const auto& track : m_tracks) {
        if (track->stream->index == m_packet->stream_index)
            Decode(*track, m_packet);
    }
    av_packet_unref(m_packet);
    return true;
}

void CVideoAudioDecoder::Decode(Track& track, const AVPacket* packet)
{
    if (track.ended)
        return;
    // A packet that does not decode is left out, as players do; the song goes on.
    if (avcodec_send_packet(track.codec, packet) < 0 && packet)
        return;
    while (avcodec_receive_frame(track.codec, m_frame) >= 0) {
        Append(track, m_frame);
        av_frame_unref(m_frame);
    }
    if (!packet) {
        Append(track, nullptr);
        track.ended = true;
    }
}

void CVideoAudioDecoder::Append(Track& track, const AVFrame* frame)
{
    if (frame
        && (!track.resampler || frame->format != track.resampledFormat || frame->sample_rate != track.resampledRate
            || av_channel_layout_compare(&frame->ch_layout, &track.resampledLayout) != 0)) {
        // What is still inside the old resampler is given up with it: a format change is a cut.
        swr_free(&track.resampler);
        av_channel_layout_uninit(&track.resampledLayout);
        if (frame->ch_layout.nb_channels < 1 || frame->sample_rate < 1000 || frame->sample_rate > 384000
            || av_channel_layout_copy(&track.resampledLayout, &frame->ch_layout) < 0)
            return;
        // The channels stay as they are (no mixing): a KTV track keeps its vocal on its own side.
        if (swr_alloc_set_opts2(&track.resampler, &track.resampledLayout, AV_SAMPLE_FMT_FLTP, kStreamSampleRate,
                &track.resampledLayout, static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr)
                < 0
            || swr_init(track.resampler) < 0) {
            swr_free(&track.resampler);
            return;
        }
        track.resampledFormat = frame->format;
        track.resampledRate = frame->sample_rate;
        track.planes.assign(static_cast<size_t>(frame->ch_layout.nb_channels), {});
    }
    if (!track.resampler)
        return;
    if (frame && !track.started) {
        track.started = true;
        const std::int64_t timestamp = frame->best_effort_timestamp;
        if (timestamp != AV_NOPTS_VALUE) {
            const auto offset = static_cast<std::int64_t>(
                std::llround(m_input.Seconds(*track.stream, timestamp) * kStreamSampleRate));
            if (offset > 0 && offset <= kMaximumOffsetFrames)
                track.buffered.resize(track.buffered.size() + static_cast<size_t>(offset) * 2, 0.0f);
            else if (offset < 0 && offset >= -kMaximumOffsetFrames)
                track.skipFrames += -offset;
        }
    }
    const int input = frame ? frame->nb_samples : 0;
    const int room = swr_get_out_samples(track.resampler, input);
    if (room <= 0)
        return;
    std::vector<std::uint8_t*> planes;
    for (std::vector<float>& plane : track.planes) {
        plane.resize(static_cast<size_t>(room));
        planes.push_back(reinterpret_cast<std::uint8_t*>(plane.data()));
    }
    const int made = swr_convert(track.resampler, planes.data(), room,
        frame ? const_cast<const std::uint8_t**>(frame->extended_data) : nullptr, input);
    const size_t right = track.planes.size() > 1 ? 1 : 0;
    for (int sample = 0; sample < made; ++sample) {
        if (track.skipFrames > 0) {
            --track.skipFrames;
            continue;
        }
        track.buffered.push_back(track.planes[0][static_cast<size_t>(sample)]);
        track.buffered.push_back(track.planes[right][static_cast<size_t>(sample)]);
    }
}

} // namespace linlangok
