#include "core/midiplay/MidiSequencer.h"

#include "common/Text.h"
#include "common/Translation.h"
#include "midi/MidiSong.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace linlangok {
namespace {

// The heap's order: the earlier due tick, then the lower track, comes out first.
template <typename Waiting> bool IsLater(const Waiting& a, const Waiting& b)
{
    return a.dueTick != b.dueTick ? a.dueTick > b.dueTick : a.track > b.track;
}

} // namespace

CMidiSequencer::CMidiSequencer(IUserPrompts& prompts, IUiThreadPoster& uiThread, IMidiOutputDeviceList& devices,
    IPeriodicTimerDriver& timerDriver, CMidiSong* song)
    : m_prompts(prompts)
    , m_uiThread(uiThread)
    , m_output(prompts, devices)
    , m_clock(timerDriver)
    , m_alive(std::make_shared<CMidiSequencer*>(this))
{
    CMultimediaTimer& timer = m_clock.Timer();
    timer.AddClient(*this);
    timer.SetErrorHandler(
        [alive = std::weak_ptr<CMidiSequencer*>(m_alive), &uiThread = m_uiThread](const std::string& message) {
            uiThread.Post([alive, message] {
                if (auto sequencer = alive.lock())
                    (*sequencer)->OnTimerError(message);
            });
        });
    if (song)
        Load(*song, 0);
}

CMidiSequencer::~CMidiSequencer()
{
    // Stopping the clock also waits for a callback that may still be reporting an error through
    // this sequencer's handler.
    m_clock.Stop();
    m_clock.Timer().SetErrorHandler(nullptr);
    m_clock.Timer().RemoveClient(*this);
    m_players.clear();
}

void CMidiSequencer::Load(CMidiSong& song, std::int32_t startTick)
{
    m_clock.Stop(); // players change only while no tick can reach them
    m_startTick = startTick;
    m_players.clear();
    m_song = &song;
    if (m_output.IsOpen())
        m_output.Close();
    RewindClock(0);
    for (size_t track = 0; track < song.TrackCount(); ++track)
        m_players.push_back(std::make_unique<CTrackPlayer>(track, song, m_output, m_clock, m_mutedChannel));
    m_waiting.reserve(m_players.size());
    m_dueTracks.reserve(m_players.size());
    QueueAllTracks();
}

void CMidiSequencer::RewindClock(std::int32_t tick)
{
    m_clock.Rewind(m_song->Division(), tick);
}

double CMidiSequencer::ElapsedSeconds() const
{
    return m_clock.Timer().ElapsedMilliseconds() * 0.001 * m_clock.TempoPercent() / 100;
}

void CMidiSequencer::QueueAllTracks()
{
    m_waiting.clear();
    for (std::uint32_t track = 0; track < m_players.size(); ++track)
        Queue(track);
}

void CMidiSequencer::Queue(std::uint32_t track)
{
    const std::int32_t dueTick = m_players[track]->DueTick();
    if (dueTick == std::numeric_limits<std::int32_t>::max())
        return;
    m_waiting.push_back({dueTick, track});
    std::push_heap(m_waiting.begin(), m_waiting.end(), IsLater<WaitingTrack>);
}

void CMidiSequencer::Start()
{
    if (!m_song)
        return;
    try {
        if (m_playing) {
            m_clock.Start();
        } else {
            Load(*m_song, m_startTick);
            if (m_song->LastTick() == 0)
                return;
            if (!OpenAndSeek(m_startTick))
                return;
            RewindClock(m_startTick);
            m_clock.Start();
        }
        m_playing = true;
        m_paused = false;
    } catch (const std::exception&) {
        m_prompts.ShowError(CaptionError(), Tr("CMidiSequencer", "播放开始时出错!"));
    }
}

bool CMidiSequencer::OpenAndSeek(std::int32_t tick)
{
    if (!m_output.IsOpen() && !m_output.OpenFirstAvailable())
        return false;
    const bool running = m_playing && !m_paused;
    if (running) {
        m_clock.Stop();
        for (auto& player : m_players)
            player->Silence();
    }
    for (auto& player : m_players)
        player->Seek(tick);
    QueueAllTracks();
    m_clock.SetPosition(tick);
    if (running)
        Start();
    return true;
}

void CMidiSequencer::Stop()
{
    try {
        StopAndSilence();
    } catch (const std::exception&) {
        m_prompts.ShowError(CaptionError(), Tr("CMidiSequencer", "停止播放时出错!"));
    }
}

void CMidiSequencer::StopAndSilence()
{
    if (!m_song)
        return;
    m_clock.StopAndReset();
    for (auto& player : m_players)
        player->SetNextIndex(0);
    for (auto& player : m_players)
        player->Silence();
    QueueAllTracks();
    m_playing = false;
    m_paused = true;
}

void CMidiSequencer::SetMutedChannel(std::optional<std::uint8_t> channel)
{
    m_mutedChannel.store(channel ? *channel & 0x0F : -1, std::memory_order_relaxed);
    m_clock.Timer().Hurry(); // the players take it up at the next period
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
    m_prompts.ShowError(CaptionError(), Utf8ToUtf16(message));
}

std::int32_t CMidiSequencer::NextTickWanted(std::int32_t tickCounter) const
{
    if (m_mutedChannel.load(std::memory_order_relaxed) != m_queuedMute)
        return tickCounter;
    if (m_waiting.empty())
        return std::numeric_limits<std::int32_t>::max();
    // Sent at the fan-out whose counter has passed the entry's tick.
    const std::int32_t tick = m_waiting.front().dueTick;
    return tick == std::numeric_limits<std::int32_t>::max() ? tick : std::max(tickCounter, tick + 1);
}

void CMidiSequencer::UpdateTick(CMultimediaTimer& timer)
{
    const std::int32_t tick = timer.TickCounter();
    if (const int muted = m_mutedChannel.load(std::memory_order_relaxed); muted != m_queuedMute) {
        // Every track releases the newly muted channel's notes now.
        for (auto& player : m_players)
            player->OnTickByTrack(tick);
        QueueAllTracks();
        m_queuedMute = muted;
        return;
    }
    m_dueTracks.clear();
    while (!m_waiting.empty() && m_waiting.front().dueTick < tick) {
        std::pop_heap(m_waiting.begin(), m_waiting.end(), IsLater<WaitingTrack>);
        m_dueTracks.push_back(m_waiting.back().track);
        m_waiting.pop_back();
    }
    std::sort(m_dueTracks.begin(), m_dueTracks.end());
    for (const std::uint32_t track : m_dueTracks) {
        m_players[track]->OnTickByTrack(tick);
        Queue(track);
    }
}

} // namespace linlangok
