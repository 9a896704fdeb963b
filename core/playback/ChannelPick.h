#pragma once

#include <cstddef>
#include <cstdint>

namespace linlangok {

// Which of a song's decoded channels (IAudioFileDecoder::Channels) the listener hears on the left
// and on the right: both of a stereo pair, or one channel on both sides.
struct ChannelPick {
    std::uint8_t left = 0;
    std::uint8_t right = 1;

    bool operator==(const ChannelPick&) const = default;
};

// Turns a song's decoded frames into the stereo that is heard, as a pick says, and fades from one
// pick to the next over kFadeFrames so that a switch never clicks. One thread at a time; nothing
// allocates.
class CChannelPicker {
public:
    static constexpr size_t kFadeFrames = 128; // about 3 ms

    // Frames of `channels` channels (2 or 4), heard as `pick` from the start, without a fade.
    void Start(size_t channels, ChannelPick pick) noexcept;
    // The pick for the frames mixed from now on; a pick of channels the frames do not have hears
    // the first two.
    void Pick(ChannelPick pick) noexcept;
    ChannelPick Heard() const noexcept { return m_heard; }
    // Adds `count` frames to `stereo` (interleaved left, right) as the pick hears them.
    void MixInto(float* stereo, const float* frames, size_t count) noexcept;

private:
    size_t m_channels = 2;
    ChannelPick m_heard;
    ChannelPick m_fadeFrom; // the pick faded out
    size_t m_fadeFramesLeft = 0;
};

} // namespace linlangok
