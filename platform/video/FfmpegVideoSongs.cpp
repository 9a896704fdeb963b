#include "platform/video/FfmpegVideoSongs.h"

#include "common/Text.h"
#include "platform/video/MediaInput.h"
#include "platform/video/VideoAudioDecoder.h"
#include "platform/video/VideoFrameDecoder.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <limits>
#include <stdexcept>

namespace linlangok {
namespace {

std::u16string Tag(const AVFormatContext& context, const char* key)
{
    const AVDictionaryEntry* entry = av_dict_get(context.metadata, key, nullptr, 0);
    return entry && IsValidUtf8(entry->value) ? std::u16string(Trimmed(Utf8ToUtf16(entry->value), u" "))
                                              : std::u16string();
}

} // namespace

VideoSongInfo CFfmpegVideoSongs::Probe(const std::filesystem::path& path)
{
    return CMediaInput(path).Info();
}

std::unique_ptr<IAudioFileDecoder> CFfmpegVideoSongs::OpenAudio(
    const std::filesystem::path& path, const std::vector<int>& tracks)
{
    return std::make_unique<CVideoAudioDecoder>(path, tracks);
}

std::unique_ptr<IVideoFrameDecoder> CFfmpegVideoSongs::OpenPictures(const std::filesystem::path& path)
{
    return std::make_unique<CVideoFrameDecoder>(path);
}

std::optional<SongDetails> CVideoSongReader::Read(const std::filesystem::path& path)
{
    try {
        const CMediaInput input(path);
        const VideoSongInfo info = input.Info();
        if (info.AudioTracks().empty())
            return std::nullopt;
        SongDetails details;
        details.title = Tag(*input.Context(), "title");
        details.singer = Tag(*input.Context(), "artist");
        details.lengthMilliseconds = static_cast<std::int32_t>(
            std::min<std::int64_t>(info.lengthMilliseconds, std::numeric_limits<std::int32_t>::max()));
        return details;
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
}

} // namespace linlangok
