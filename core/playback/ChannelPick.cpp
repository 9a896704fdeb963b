#include "core/playback/ChannelPick.h"

namespace linlangok {
namespace {

ChannelPick Within(ChannelPick pick, size_t channels)
{
    return pick.left < channels && pick.right < channels ? pick : ChannelPick {};
}

} // namespace

void CChannelPicker::Start(size_t channels, ChannelPick pick) noexcept
{
    m_channels = channels;
    m_heard = Within(pick, channels);
    m_fadeFramesLeft = 0;
}

void CChannelPicker::Pick(ChannelPick pick) noexcept
{
    pick = Within(pick, m_channels);
    if (pick == m_heard)
        return;
    m_fadeFrom = m_heard;
    m_heard = pick;
    m_fadeFramesLeft = kFadeFrames;
}

void CChannelPicker::MixInto(float* stereo, const float* frames, size_t count) noexcept
{
    for (size_t i = 0; i < count; ++i) {
        const float* frame = frames + i * m_channels;
        float left = frame[m_heard.left];
        float right = frame[m_heard.right];
        if (m_fadeFramesLeft > 0) {
            // Both picks carry the same music, so a straight crossfade keeps its level.
            const float old = static_cast<float>(m_fadeFramesLeft--) / kFadeFrames;
            left += (frame[m_fadeFrom.left] - left) * old;
            right += (frame[m_fadeFrom.right] - right) * old;
        }
        stereo[i * 2] += left;
        stereo[i * 2 + 1] += right;
    }
}

} // namespace linlangok
