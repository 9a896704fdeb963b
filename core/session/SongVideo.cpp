#include "core/session/SongVideo.h"

#include "common/Text.h"
#include "common/Translation.h"
#include "core/picture/VideoPicture.h"
#include "core/playback/VocalReduction.h"
#include "core/session/UltraStarSound.h"

#include <stdexcept>
#include <utility>

namespace linlangok {

CSongVideo::CSongVideo(Parts parts)
    : m_parts(std::move(parts))
{
}

void CSongVideo::SetVocalLayout(const VocalLayout& layout)
{
    m_layout = layout;
    m_parts.song.Remember([&layout](SongMemoryValues& values) { values.vocalLayout = layout; });
    if (m_playingTracks.empty() || !m_info)
        return;
    const VocalLayout fitted = FitVocalLayout(layout, static_cast<int>(m_info->AudioTracks().size()));
    if (DecodedTracks(fitted) == m_playingTracks) {
        m_playingLayout = fitted;
        ApplyHeardChannels();
    }
}

bool CSongVideo::HasBacking() const
{
    if (m_ultraStar)
        return m_hasInstrumental || static_cast<bool>(m_parts.makeFft);
    const std::u16string& song = m_parts.song.Path();
    return m_parts.makeFft && DetectSongKind(song) == ESongKind::Audio && !IsVideoFileName(song);
}

std::shared_ptr<const SongFrame> CSongVideo::PictureFrame()
{
    return m_picture ? m_picture->FrameAt(m_parts.heardPosition()) : nullptr;
}

void CSongVideo::Recall(const SongMemoryValues& values)
{
    Probe();
    const auto tracks = static_cast<int>(m_info ? m_info->AudioTracks().size() : 0);
    m_layout = values.vocalLayout.value_or(DefaultVocalLayout(tracks));
}

bool CSongVideo::ChooseHeardChannels()
{
    m_playingTracks.clear();
    m_backingPlays = false;
    m_parts.player.SetChannelPick({});
    Probe();
    if (!m_ultraStarError.empty()) {
        m_parts.prompts.ShowError(CaptionError(), PlayFileErrorText(Utf16ToUtf8(m_ultraStarError)));
        return false;
    }
    if (!m_info)
        return true;
    const auto tracks = static_cast<int>(m_info->AudioTracks().size());
    if (tracks == 0) {
        m_parts.prompts.ShowError(CaptionError(),
            Formatted(Tr("CSongVideo", "视频文件中没有声音, 无法播放: %1"),
                {m_parts.names.Text(PathToUtf16(Utf16ToPath(m_parts.song.Path()).filename()))}));
        return false;
    }
    m_playingLayout = FitVocalLayout(m_layout, tracks);
    m_playingTracks = DecodedTracks(m_playingLayout);
    ApplyHeardChannels();
    return true;
}

void CSongVideo::Play(const std::filesystem::path& song)
{
    if (m_ultraStar)
        PlayUltraStar(song);
    else if (m_parts.openMp3gSong && IsMp3gSong(song))
        PlayMp3g(song);
    else if (m_parts.player.OpenAndPlay(song))
        m_picture = OpenPicture(song);
    else
        m_playingTracks.clear();
}

void CSongVideo::PlayMp3g(const std::filesystem::path& song)
{
    Mp3gSong opened;
    try {
        opened = m_parts.openMp3gSong(song);
    } catch (const std::runtime_error& error) {
        m_parts.prompts.ShowError(CaptionError(), PlayFileErrorText(error.what()));
        return;
    }
    if (m_parts.player.Play(WithBacking(std::move(opened.audio))))
        m_picture = std::move(opened.picture);
}

void CSongVideo::PlayUltraStar(const std::filesystem::path& song)
{
    std::unique_ptr<IAudioFileDecoder> sound;
    try {
        sound = OpenUltraStarSound(*m_ultraStar, song, m_parts.openAudioFile, m_hasInstrumental);
    } catch (const std::runtime_error& error) {
        m_parts.prompts.ShowError(CaptionError(), PlayFileErrorText(error.what()));
        return;
    }
    if (m_hasInstrumental) {
        m_backingPlays = true;
        ApplyHeardChannels();
    } else {
        sound = WithBacking(std::move(sound));
    }
    if (m_parts.player.Play(std::move(sound)))
        m_picture = OpenPicture(song);
}

std::unique_ptr<IAudioFileDecoder> CSongVideo::OpenAudio(const std::filesystem::path& path)
{
    if (!m_playingTracks.empty())
        return m_parts.videoSongs->OpenAudio(path, m_playingTracks);
    if (IsVideoFileName(PathToUtf16(path)))
        throw std::runtime_error("video songs cannot be played");
    return WithBacking(m_parts.openAudioFile(path));
}

std::unique_ptr<IAudioFileDecoder> CSongVideo::WithBacking(std::unique_ptr<IAudioFileDecoder> sound)
{
    if (!m_parts.makeFft || sound->Channels() != 2)
        return sound;
    auto reduced = std::make_unique<CVocalReducedDecoder>(std::move(sound), m_parts.makeFft);
    m_backingPlays = true;
    ApplyHeardChannels();
    return reduced;
}

void CSongVideo::ApplyHeardChannels()
{
    if (m_backingPlays)
        m_parts.player.SetChannelPick(m_parts.original ? ChannelPick {0, 1} : ChannelPick {2, 3});
    if (!m_playingTracks.empty())
        m_parts.player.SetChannelPick(HeardChannels(m_playingLayout, m_parts.original));
}

void CSongVideo::Stop()
{
    m_picture.reset();
    m_playingTracks.clear();
    m_backingPlays = false;
}

void CSongVideo::Probe()
{
    m_info.reset();
    m_ultraStar.reset();
    m_ultraStarError.clear();
    m_hasInstrumental = false;
    if (IsUltraStarFileName(m_parts.song.Path())) {
        UltraStarRead read
            = ReadUltraStarFile(Utf16ToPath(m_parts.song.Path()), m_parts.songTextEncoding, m_parts.codePage);
        m_ultraStar = std::move(read.song);
        m_ultraStarError = std::move(read.error);
        std::error_code error;
        m_hasInstrumental = m_ultraStar
            && std::filesystem::is_regular_file(
                UltraStarFile(Utf16ToPath(m_parts.song.Path()), m_ultraStar->instrumental), error);
        return;
    }
    if (!m_parts.videoSongs || !IsVideoFileName(m_parts.song.Path()))
        return;
    try {
        m_info = m_parts.videoSongs->Probe(Utf16ToPath(m_parts.song.Path()));
    } catch (const std::runtime_error&) {
        // The player reports a file that cannot be played.
    }
}

std::unique_ptr<ISongPicture> CSongVideo::OpenPicture(const std::filesystem::path& path)
{
    std::filesystem::path pictures = path;
    double delay = 0;
    if (m_ultraStar) {
        // Its video, else its background: a picture file that FFmpeg reads as one frame.
        std::error_code error;
        pictures = UltraStarFile(path, m_ultraStar->video);
        delay = m_ultraStar->videoGapSeconds.value_or(0);
        if (pictures.empty() || !std::filesystem::is_regular_file(pictures, error)) {
            pictures = UltraStarFile(path, m_ultraStar->background);
            delay = 0;
        }
        if (!m_parts.videoSongs || pictures.empty() || !std::filesystem::is_regular_file(pictures, error))
            return nullptr;
    } else if (m_playingTracks.empty() || !m_info->HasPicture()) {
        return nullptr;
    }
    try {
        auto picture = std::make_unique<CVideoPicture>(m_parts.videoSongs->OpenPictures(pictures));
        if (delay == 0)
            return picture;
        return std::make_unique<CDelayedPicture>(std::move(picture), delay);
    } catch (const std::runtime_error&) {
        return nullptr; // the sound plays on without its pictures
    }
}

} // namespace linlangok
