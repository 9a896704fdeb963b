#include "core/engine/MidiSequencer.h"

#include "common/Text.h"
#include "midi/MidiSong.h"

#include <limits>
#include <stdexcept>

namespace linlangok {

CMidiSequencer::CMidiSequencer(
    IUserPrompts& prompts, IUiThreadPoster& uiThread, IMidiOutputDeviceList& devices, CMidiSong* song)
    : m_prompts(prompts)
    , m_uiThread(uiThread)
    , m_output(prompts, devices)
    , m_alive(std::make_shared<CMidiSequencer*>(this))
{
    if (song)
        Load(*song, 0);
}

CMidiSequencer::~CMidiSequencer()
{
    m_players.clear();
    DetachFromSong();
}

void CMidiSequencer::DetachFromSong()
{
    if (!m_song)
        return;
    // The clock keeps the song's position; stopping it also waits for a callback that may still
    // be reporting an error through this sequencer's handler.
    m_song->Clock().Stop();
    m_song->Clock().Timer().SetErrorHandler(nullptr);
    m_song->Clock().Timer().RemoveClient(*this);
    m_song = nullptr;
}

void CMidiSequencer::Load(CMidiSong& song, int32_t startTick)
{
    song.Clock().Stop(); // players change only while no tick can reach them
    m_startTick = startTick;
    if (m_song != &song) {
        m_players.clear();
        DetachFromSong();
        m_song = &song;
        CMultimediaTimer& timer = song.Clock().Timer();
        timer.AddClient(*this);
        timer.SetErrorHandler(
            [alive = std::weak_ptr<CMidiSequencer*>(m_alive), &uiThread = m_uiThread](const std::string& message) {
                uiThread.Post([alive, message] {
                    if (auto sequencer = alive.lock())
                        (*sequencer)->OnTimerError(message);
                });
            });
    }
    if (m_output.IsOpen())
        m_output.Close();
    song.RewindClock(0);
    m_players.clear();
    for (size_t track = 0; track < song.TrackCount(); ++track)
        m_players.push_back(std::make_unique<CTrackPlayer>(track, song, m_output, m_mutedChannel));
}

void CMidiSequencer::Start()
{
    if (!m_song)
        return;
    try {
        CTickClock& clock = m_song->Clock();
        if (m_playing) {
            clock.Start();
        } else {
            Load(*m_song, m_startTick);
            if (m_song->LastTick() == 0)
                return;
            if (!OpenAndSeek(m_startTick))
                return;
            m_song->RewindClock(m_startTick);
            clock.Start();
        }
        m_playing = true;
        m_paused = false;
    } catch (const std::exception&) {
        m_prompts.ShowError(kCaptionError, u"播放开始时出错!");
    }
}

int CMidiSequencer::OpenAndSeek(int32_t tick)
{
    if (!m_output.IsOpen() && !m_output.OpenFirstAvailable())
        return 0;
    const bool running = m_playing && !m_paused;
    if (running) {
        m_song->Clock().Stop();
        for (auto& player : m_players)
            player->Silence();
    }
    for (auto& player : m_players)
        player->Seek(tick);
    m_song->Clock().SetPosition(tick);
    if (running)
        Start();
    return 1;
}

void CMidiSequencer::Stop()
{
    try {
        StopAndSilence();
    } catch (const std::exception&) {
        m_prompts.ShowError(kCaptionError, u"停止播放时出错!");
    }
}

void CMidiSequencer::StopAndSilence()
{
    if (!m_song)
        return;
    m_song->Clock().StopAndReset();
    for (auto& player : m_players)
        player->SetNextIndex(0);
    for (auto& player : m_players)
        player->Silence();
    m_playing = false;
    m_paused = true;
}

void CMidiSequencer::SetMutedChannel(std::optional<uint8_t> channel)
{
    m_mutedChannel.store(channel ? *channel & 0x0F : -1, std::memory_order_relaxed);
    if (m_song)
        m_song->Clock().Timer().Hurry(); // the players take it up at the next period
}

void CMidiSequencer::OnTimerError(const std::string& message)
{
    // The failing output may fail again while silencing: the first message is the one to show.
    try {
        StopAndSilence();
    } catch (const std::exception&) {
        m_playing = false;
        m_paused = true;
    }
    m_prompts.ShowError(kCaptionError, Utf8ToUtf16(message));
}

CTrackPlayer& CMidiSequencer::Player(size_t index)
{
    if (index >= m_players.size())
        throw std::invalid_argument("track player index out of range");
    return *m_players[index];
}

int32_t CMidiSequencer::NextTickWanted(int32_t) const
{
    return std::numeric_limits<int32_t>::max(); // the players, clients too, want the same ticks
}

void CMidiSequencer::UpdateTick(CMultimediaTimer& timer)
{
    const int32_t tick = timer.TickCounter();
    for (auto& player : m_players)
        player->OnTickByTrack(tick);
}

} // namespace linlangok
