#pragma once

#include "common/FilePath.h"
#include "common/SongKind.h"
#include "common/UserPrompts.h"
#include "core/cdg/Mp3gSong.h"
#include "core/lyrics/UltraStarSong.h"
#include "core/picture/SongPicture.h"
#include "core/picture/VideoSong.h"
#include "core/playback/AudioPlayer.h"
#include "core/playback/RealFft.h"
#include "core/session/RememberedSong.h"
#include "core/session/VocalLayout.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace linlangok {

// What an audio song shows and which of its sound is heard: what the accompaniment file holds
// when it is a video or an UltraStar song, where its original vocal is, the tracks and channels
// of the video that plays, and the pictures of the song that plays (a video's, an MP3+G song's or
// an UltraStar song's video or background). UI thread.
class CSongVideo {
public:
    struct Parts {
        IVideoSongs* videoSongs; // null: video files do not play
        AudioFileOpener openAudioFile;
        Mp3gSongOpener openMp3gSong; // empty: MP3+G songs play as other audio files
        RealFftFactory makeFft; // empty: a song without a backing of its own has none
        IUserPrompts& prompts;
        const CPathDisplay& names;
        const ITextEncodingDetector& songTextEncoding; // of UltraStar songs, with the song's override
        const ICodePage& codePage;
        CRememberedSong& song;
        CAudioPlayer& player;
        // The guide-melody switch: a video is heard with its original vocal when on, its backing
        // when off.
        const bool& original;
        // The song time the listener hears now (CKaraokeSession::HeardPosition).
        std::function<double()> heardPosition;
    };

    // Everything in `parts` outlives the video.
    explicit CSongVideo(Parts parts);

    CSongVideo(const CSongVideo&) = delete;
    CSongVideo& operator=(const CSongVideo&) = delete;

    // What the accompaniment file holds when it is a video, as Recall or ChooseHeardChannels
    // found it; null for another song, or a video that could not be read.
    const VideoSongInfo* Info() const { return m_info ? &*m_info : nullptr; }
    // The accompaniment file read as an UltraStar song, as Recall or ChooseHeardChannels read it;
    // null for another song, or one that could not be read.
    const UltraStarSong* UltraStar() const { return m_ultraStar ? &*m_ultraStar : nullptr; }
    // The audio song (not a video) can be heard with its original vocal or its backing, as the
    // guide-melody switch says: an UltraStar song's instrumental file beside its mix, else the
    // song with the centre of its stereo image taken out (CVocalReducedDecoder), when makeFft is
    // given. As Recall or ChooseHeardChannels found it.
    bool HasBacking() const;
    // Where the video's original vocal is: remembered for the song, else the default for its
    // tracks (restored by Recall).
    const VocalLayout& SongVocalLayout() const { return m_layout; }
    // Sets and remembers it. A song that plays switches at once when its decoded tracks stay the
    // same (either channel, or the two tracks swapped), otherwise at its next Play.
    void SetVocalLayout(const VocalLayout& layout);
    // The pictures of the song that plays (a video's or an MP3+G song's), or null.
    ISongPicture* Picture() const { return m_picture.get(); }
    // The picture due at the heard position; null without pictures or before the first one.
    std::shared_ptr<const SongFrame> PictureFrame();

    // For a song just recalled with these values: reads what the accompaniment file holds and
    // takes the remembered vocal layout.
    void Recall(const SongMemoryValues& values);
    // For the audio song about to play: the tracks to decode and the channels heard. False for a
    // video without sound or an UltraStar song that cannot be read, which has been reported. An
    // UltraStar song with an instrumental file plays it beside its full mix, the mix heard as the
    // original vocal and the instrumental as the backing.
    bool ChooseHeardChannels();
    // Plays the audio song's sound through the player: an MP3+G song with its picture; a video's
    // decoded tracks, and then its pictures; an UltraStar song's sound files, and then its video
    // (delayed by its video gap) or its background; or the audio file.
    void Play(const std::filesystem::path& song);
    // The player's opener: a video's decoded tracks, else the audio file.
    std::unique_ptr<IAudioFileDecoder> OpenAudio(const std::filesystem::path& path);
    // A video that plays is heard with its vocal or its backing, as `original` says.
    void ApplyHeardChannels();
    // Lets go of the pictures and of the video that played.
    void Stop();

private:
    // Reads what the accompaniment file holds when it is a video or an UltraStar song (nothing
    // otherwise). An UltraStar song that cannot be read leaves why in m_ultraStarError.
    void Probe();
    // Plays an MP3+G song's sound and keeps its picture.
    void PlayMp3g(const std::filesystem::path& song);
    // The sound with a vocal-reduced pair beside it when it is stereo and makeFft is given; as it
    // is otherwise.
    std::unique_ptr<IAudioFileDecoder> WithBacking(std::unique_ptr<IAudioFileDecoder> sound);
    // Plays an UltraStar song's sound files and keeps its video or background.
    void PlayUltraStar(const std::filesystem::path& song);
    // A video's frames; null for a song without them (an MP3+G song's come with its sound).
    std::unique_ptr<ISongPicture> OpenPicture(const std::filesystem::path& path);

    Parts m_parts;
    std::optional<VideoSongInfo> m_info; // of the accompaniment file, when a video
    VocalLayout m_layout;
    VocalLayout m_playingLayout; // of the video that plays, fitted to its tracks
    std::vector<int> m_playingTracks; // decoded of the video that plays; empty for another song
    std::optional<UltraStarSong> m_ultraStar; // of the accompaniment file, when an UltraStar song
    std::u16string m_ultraStarError; // why the accompaniment's UltraStar song could not be read
    bool m_hasInstrumental = false;
    // The audio song that plays is decoded with a backing pair (channels 2 and 3) beside its own.
    bool m_backingPlays = false;
    std::shared_ptr<ISongPicture> m_picture; // of the song that plays
};

} // namespace linlangok
