#include "core/session/KeyAndTempo.h"

#include "common/SongKind.h"

#include <algorithm>

namespace linlangok {

CKeyAndTempo::CKeyAndTempo(CAudioPlayer& player, CRememberedSong& song)
    : m_player(player)
    , m_song(song)
{
}

void CKeyAndTempo::SetPitch(std::int32_t pitch)
{
    m_pitch = pitch;
    m_player.SetPitch(pitch);
}

void CKeyAndTempo::SetTempoPercent(std::int32_t percent)
{
    m_tempoPercent = std::clamp(percent, kTempoMinimumPercent, kTempoMaximumPercent);
    m_player.SetTempoPercent(m_tempoPercent);
}

void CKeyAndTempo::RememberPitch()
{
    if (DetectSongKind(m_song.Path()) == ESongKind::Midi)
        m_song.Remember([this](SongMemoryValues& values) { values.pitch = m_pitch; });
}

void CKeyAndTempo::Recall(const SongMemoryValues& values)
{
    if (values.pitch)
        m_pitch = *values.pitch;
}

void CKeyAndTempo::Transpose(CMidiSong& song) const
{
    if (m_pitch < -127 || m_pitch > 127)
        return;
    for (size_t index = 0; index < song.TrackCount(); ++index)
        song.Track(index).Transpose(m_pitch);
}

} // namespace linlangok
