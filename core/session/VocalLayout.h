#pragma once

#include "common/CodePage.h"
#include "core/picture/VideoSong.h"
#include "core/playback/AudioFileDecoder.h"
#include "core/playback/ChannelPick.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace linlangok {

// Where a video song's original vocal (原唱) is: on one channel of its first audio track, the
// backing (伴唱) on the other, or on an audio track of its own, the backing on the first other
// track.
struct VocalLayout {
    enum class EPlace { LeftChannel, RightChannel, Track };

    EPlace place = EPlace::RightChannel;
    int track = 0; // the vocal's audio track, from 0, for EPlace::Track

    bool operator==(const VocalLayout&) const = default;
};

// With two or more audio tracks the first holds the vocal and the second the backing; otherwise
// the common KTV layout: the backing on the left, the vocal on the right.
VocalLayout DefaultVocalLayout(int audioTracks);
// The layout a song with this many audio tracks plays by: the default in place of a track it
// does not have, or of a track layout for a song with one track.
VocalLayout FitVocalLayout(const VocalLayout& layout, int audioTracks);

// The audio tracks to decode, in file order: the first for a vocal on a channel; the vocal's and
// the backing's for a vocal on a track.
std::vector<int> DecodedTracks(const VocalLayout& layout);
// Which of the decoded channels (a stereo pair for each of DecodedTracks) are heard for the
// original vocal or for the backing: one channel on both sides, or a track's pair.
ChannelPick HeardChannels(const VocalLayout& layout, bool original);

// "左声道原唱", "右声道原唱", "音轨 1" … (the track holding the vocal)
std::u16string VocalLayoutLabel(const VocalLayout& layout);
// The layouts a song offers: the two channels when its first track is stereo, each track when
// it has two or more.
std::vector<VocalLayout> VocalLayoutChoices(int audioTracks, int firstTrackChannels);

// The opener of a song's sound as it is measured for leveling: an audio file as `audioFiles` opens
// it; a video (with `videoSongs`) by the track that its default layout has the backing on (both
// channels of the first track for a vocal on a channel); an UltraStar song by its full mix, its
// texts read in the legacy `codePage` where they are not UTF-8 (which outlives the opener).
AudioFileOpener MeasuredSoundOpener(AudioFileOpener audioFiles, IVideoSongs* videoSongs, const ICodePage& codePage);

// As the song memory keeps it: "left", "right" or "track N" (N from 1); nothing for other text.
std::string VocalLayoutText(const VocalLayout& layout);
std::optional<VocalLayout> ParseVocalLayout(std::string_view text);

} // namespace linlangok
