#pragma once

#include "core/catalog/SongReader.h"
#include "core/picture/VideoSong.h"

namespace linlangok {

// IVideoSongs over FFmpeg's libraries (CMediaInput, CVideoAudioDecoder, CVideoFrameDecoder). The
// libraries' own messages are silenced: failures reach the caller as exceptions.
class CFfmpegVideoSongs final : public IVideoSongs {
public:
    VideoSongInfo Probe(const std::filesystem::path& path) override;
    std::unique_ptr<IAudioFileDecoder> OpenAudio(
        const std::filesystem::path& path, const std::vector<int>& tracks) override;
    std::unique_ptr<IVideoFrameDecoder> OpenPictures(const std::filesystem::path& path) override;
};

// A video song's details for the catalogue: the title and artist its container names (UTF-8
// only), and its length; nothing for a file without sound. Called on the scanning thread.
class CVideoSongReader final : public ISongReader {
public:
    std::optional<SongDetails> Read(const std::filesystem::path& path) override;
};

} // namespace linlangok
