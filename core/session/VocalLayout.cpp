#include "core/session/VocalLayout.h"
#include "core/session/UltraStarSound.h"

#include "common/FilePath.h"
#include "common/Number.h"
#include "common/SongKind.h"
#include "common/Text.h"
#include "common/Translation.h"

#include <algorithm>

namespace linlangok {
namespace {

constexpr int kMaximumTracks = 99;

int BackingTrack(const VocalLayout& layout)
{
    return layout.track == 0 ? 1 : 0;
}

} // namespace

VocalLayout DefaultVocalLayout(int audioTracks)
{
    return audioTracks >= 2 ? VocalLayout {VocalLayout::EPlace::Track, 0} : VocalLayout {};
}

VocalLayout FitVocalLayout(const VocalLayout& layout, int audioTracks)
{
    if (layout.place != VocalLayout::EPlace::Track)
        return {layout.place, 0};
    return audioTracks >= 2 && layout.track >= 0 && layout.track < audioTracks ? layout
                                                                               : DefaultVocalLayout(audioTracks);
}

std::vector<int> DecodedTracks(const VocalLayout& layout)
{
    if (layout.place != VocalLayout::EPlace::Track)
        return {0};
    const int backing = BackingTrack(layout);
    return layout.track < backing ? std::vector {layout.track, backing} : std::vector {backing, layout.track};
}

ChannelPick HeardChannels(const VocalLayout& layout, bool original)
{
    switch (layout.place) {
    case VocalLayout::EPlace::LeftChannel:
        return original ? ChannelPick {0, 0} : ChannelPick {1, 1};
    case VocalLayout::EPlace::RightChannel:
        return original ? ChannelPick {1, 1} : ChannelPick {0, 0};
    case VocalLayout::EPlace::Track:
        break;
    }
    // The tracks decode in file order: the lower one's pair first.
    const bool vocalFirst = layout.track < BackingTrack(layout);
    return original == vocalFirst ? ChannelPick {0, 1} : ChannelPick {2, 3};
}

std::u16string VocalLayoutLabel(const VocalLayout& layout)
{
    switch (layout.place) {
    case VocalLayout::EPlace::LeftChannel:
        return Tr("VocalLayout", "左声道原唱");
    case VocalLayout::EPlace::RightChannel:
        return Tr("VocalLayout", "右声道原唱");
    case VocalLayout::EPlace::Track:
        break;
    }
    return Formatted(Tr("VocalLayout", "音轨 %1"), {Utf8ToUtf16(std::to_string(layout.track + 1))});
}

std::vector<VocalLayout> VocalLayoutChoices(int audioTracks, int firstTrackChannels)
{
    std::vector<VocalLayout> choices;
    if (audioTracks >= 1 && firstTrackChannels >= 2)
        choices = {{VocalLayout::EPlace::LeftChannel, 0}, {VocalLayout::EPlace::RightChannel, 0}};
    for (int track = 0; audioTracks >= 2 && track < std::min(audioTracks, kMaximumTracks); ++track)
        choices.push_back({VocalLayout::EPlace::Track, track});
    return choices;
}

AudioFileOpener MeasuredSoundOpener(AudioFileOpener audioFiles, IVideoSongs* videoSongs, const ICodePage& codePage)
{
    return [audioFiles = UltraStarSoundOpener(std::move(audioFiles), NoEncodingDetection(), codePage), videoSongs](
               const std::filesystem::path& path) {
        if (!videoSongs || !IsVideoFileName(PathToUtf16(path)))
            return audioFiles(path);
        const VocalLayout layout = DefaultVocalLayout(static_cast<int>(videoSongs->Probe(path).AudioTracks().size()));
        return videoSongs->OpenAudio(path, {layout.place == VocalLayout::EPlace::Track ? BackingTrack(layout) : 0});
    };
}

std::string VocalLayoutText(const VocalLayout& layout)
{
    switch (layout.place) {
    case VocalLayout::EPlace::LeftChannel:
        return "left";
    case VocalLayout::EPlace::RightChannel:
        return "right";
    case VocalLayout::EPlace::Track:
        break;
    }
    return "track " + std::to_string(layout.track + 1);
}

std::optional<VocalLayout> ParseVocalLayout(std::string_view text)
{
    if (text == "left")
        return VocalLayout {VocalLayout::EPlace::LeftChannel, 0};
    if (text == "right")
        return VocalLayout {VocalLayout::EPlace::RightChannel, 0};
    constexpr std::string_view kTrack = "track ";
    if (!text.starts_with(kTrack))
        return std::nullopt;
    const std::optional<int> track = ParseNumber<int>(text.substr(kTrack.size()));
    if (!track || *track < 1 || *track > kMaximumTracks)
        return std::nullopt;
    return VocalLayout {VocalLayout::EPlace::Track, *track - 1};
}

} // namespace linlangok
