#include "core/playback/AudioPlayer.h"

#include "common/Text.h"
#include "common/Translation.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <stdexcept>

namespace linlangok {
namespace {

constexpr int kSampleRate = 44100;
constexpr size_t kRingFrames = 131072;
constexpr size_t kChunkFrames = 4096;
// About 1.4 s ahead of the callback. The rest of the ring takes a change's new frames while the
// old ones still wait there to be dropped.
constexpr std::uint64_t kAheadFrames = (kRingFrames - kChunkFrames) / 2;
constexpr auto kDecodePeriod = std::chrono::milliseconds(10);
constexpr int kDropLengthBits = 24; // the ring holds fewer frames than that

std::uint64_t PackDrop(std::uint64_t first, std::uint64_t end)
{
    return first << kDropLengthBits | (end - first);
}

std::uint64_t DropFirst(std::uint64_t drop)
{
    return drop >> kDropLengthBits;
}

std::uint64_t DropEnd(std::uint64_t drop)
{
    return DropFirst(drop) + (drop & ((std::uint64_t {1} << kDropLengthBits) - 1));
}

std::uint16_t PackPick(ChannelPick pick)
{
    return static_cast<std::uint16_t>(pick.right << 8 | pick.left);
}

ChannelPick UnpackPick(std::uint16_t packed)
{
    return {static_cast<std::uint8_t>(packed & 0xFF), static_cast<std::uint8_t>(packed >> 8)};
}

std::int64_t FramesToMilliseconds(double frames)
{
    return static_cast<std::int64_t>(std::floor(frames * 1000 / kSampleRate));
}

} // namespace

CAudioPlayer::CAudioPlayer(
    IAudioOutput& output, IUserPrompts& prompts, AudioFileOpener open, AudioStretcherFactory makeStretcher)
    : m_output(output)
    , m_prompts(prompts)
    , m_openDecoder(std::move(open))
    , m_makeStretcher(std::move(makeStretcher))
    , m_ring(kRingFrames * kMaximumSongChannels)
    , m_chunk(std::make_unique<float[]>(kChunkFrames * kMaximumSongChannels))
{
}

std::u16string PlayFileErrorText()
{
    return Tr("AudioPlayer", "播放文件时出错!");
}

std::u16string PlayFileErrorText(std::string_view reason)
{
    return Formatted(Tr("AudioPlayer", "播放文件时出错!\n%1"), {Utf8ToUtf16(reason)});
}

CAudioPlayer::~CAudioPlayer()
{
    Stop();
}

bool CAudioPlayer::OpenAndPlay(const std::filesystem::path& path)
{
    Stop();
    try {
        return Play(m_openDecoder(path));
    } catch (const std::exception&) {
        m_prompts.ShowError(CaptionError(), PlayFileErrorText());
        return false;
    }
}

bool CAudioPlayer::Play(std::unique_ptr<IAudioFileDecoder> decoder)
{
    Stop();
    try {
        m_stage = std::make_unique<CAudioStretchStage>(std::move(decoder), m_makeStretcher);
        m_headerMilliseconds = static_cast<std::int64_t>(m_stage->LengthMilliseconds());
        m_stage->Restart(0.0, Settings());
        m_channels = static_cast<size_t>(m_stage->Channels());
        m_leveler = CLoudnessLeveler(kSampleRate, m_channels);
        m_leveler.SetGain(m_levelingGain);
        m_picker.Start(m_channels, UnpackPick(m_pick.load()));
        AddMark({0, 0.0, m_stage->Settings().SongFramesPerFrame()});
        // The first part is decoded here, so a file that does not decode at all is reported now.
        // Stretching the whole look-ahead would hold up the window; the decode thread does that.
        const bool more = FillRing(m_stage->Settings().IsUnchanged() ? kAheadFrames : kChunkFrames);
        if (m_framesDecoded.load() == 0 && !more && m_headerMilliseconds > 0)
            throw std::runtime_error("no audio decoded");
        m_settingsChanged = false;
        m_decodeThread = std::thread([this] { Decode(); });
        m_open = true;
        m_output.AddSource(*this);
        return true;
    } catch (const std::exception&) {
        Stop();
        m_prompts.ShowError(CaptionError(), PlayFileErrorText());
        return false;
    }
}

void CAudioPlayer::Stop()
{
    m_output.RemoveSource(*this);
    if (m_decodeThread.joinable()) {
        {
            std::lock_guard lock(m_decodeLock);
            m_stopDecoding = true;
        }
        m_decodeWake.notify_all();
        m_decodeThread.join();
        m_stopDecoding = false;
    }
    m_stage.reset();
    m_ring.Clear();
    m_ringWritten = 0;
    m_ringRead.store(0);
    m_pendingDrop.store(0);
    m_lastDropEnd = 0;
    m_lastDropSong = 0.0;
    {
        std::lock_guard lock(m_marksLock);
        m_marks.clear();
    }
    m_framesDecoded.store(0);
    m_decodeEnded.store(false);
    m_playedToEnd.store(false);
    m_headerMilliseconds = 0;
    m_open = false;
}

void CAudioPlayer::SetPitch(int semitones)
{
    m_semitones.store(std::clamp(semitones, -kAudioPitchLimit, kAudioPitchLimit));
    WakeDecoder();
}

void CAudioPlayer::SetTempoPercent(int percent)
{
    m_tempoPercent.store(std::clamp(percent, kTempoMinimumPercent, kTempoMaximumPercent));
    WakeDecoder();
}

StretchSettings CAudioPlayer::Settings() const
{
    return {m_semitones.load(), m_tempoPercent.load()};
}

void CAudioPlayer::SetChannelPick(ChannelPick pick)
{
    m_pick.store(PackPick(pick), std::memory_order_release);
}

void CAudioPlayer::WakeDecoder()
{
    {
        std::lock_guard lock(m_decodeLock);
        m_settingsChanged = true;
    }
    m_decodeWake.notify_all();
}

std::int64_t CAudioPlayer::EndMilliseconds() const
{
    if (!m_open)
        return 0;
    const bool ended = m_decodeEnded.load(std::memory_order_acquire);
    const std::int64_t decoded = FramesToMilliseconds(static_cast<double>(m_framesDecoded.load()));
    if (m_headerMilliseconds > 0)
        return ended ? std::min(m_headerMilliseconds, decoded) : m_headerMilliseconds;
    // A length the file does not say lies past what has been decoded until the decoding ends.
    return ended ? decoded : decoded + 1;
}

std::int64_t CAudioPlayer::PositionMilliseconds() const
{
    if (!m_open)
        return 0;
    const std::int64_t end = EndMilliseconds();
    if (m_playedToEnd.load(std::memory_order_acquire))
        return end;
    return std::min(FramesToMilliseconds(SongFrameAt(m_ringRead.load(std::memory_order_acquire))), end);
}

std::int32_t CAudioPlayer::LengthSeconds() const
{
    return IsOpen() ? static_cast<std::int32_t>(EndMilliseconds() / 1000) : 0;
}

double CAudioPlayer::PositionSeconds() const
{
    return IsOpen() ? static_cast<double>(PositionMilliseconds()) / 1000.0 : 0.0;
}

void CAudioPlayer::MixInto(float* mix, size_t frames, const AudioBufferTiming&) noexcept
{
    // The end flag is read before the ring, so an empty ring after it means every frame is out.
    const bool decodeEnded = m_decodeEnded.load(std::memory_order_acquire);
    m_picker.Pick(UnpackPick(m_pick.load(std::memory_order_acquire)));
    std::uint64_t read = m_ringRead.load(std::memory_order_relaxed);
    bool dropped = false;
    size_t mixed = 0;
    while (mixed < frames) {
        std::uint64_t wanted = frames - mixed;
        if (std::uint64_t drop = m_pendingDrop.load(std::memory_order_acquire); drop != 0) {
            if (read >= DropFirst(drop)) {
                // Taken here, the drop can no longer be changed by the decode thread.
                if (m_pendingDrop.compare_exchange_strong(drop, 0, std::memory_order_acq_rel)) {
                    if (DropEnd(drop) > read) {
                        Discard(DropEnd(drop) - read);
                        read = DropEnd(drop);
                    }
                    dropped = true;
                }
                continue;
            }
            wanted = std::min(wanted, DropFirst(drop) - read);
        }
        const auto ready = m_ring.Readable();
        const size_t count = static_cast<size_t>(std::min<std::uint64_t>(ready.size() / m_channels, wanted));
        if (count == 0)
            break;
        m_picker.MixInto(mix + mixed * 2, ready.data(), count);
        m_ring.Consume(count * m_channels);
        mixed += count;
        read += count;
    }
    m_ringRead.store(read, std::memory_order_release);
    if (decodeEnded && !dropped && m_ring.Empty())
        m_playedToEnd.store(true, std::memory_order_release);
}

void CAudioPlayer::Discard(std::uint64_t frames) noexcept
{
    while (frames > 0) {
        const auto ready = m_ring.Readable();
        const size_t count = static_cast<size_t>(std::min<std::uint64_t>(ready.size() / m_channels, frames));
        if (count == 0)
            return;
        m_ring.Consume(count * m_channels);
        frames -= count;
    }
}

std::uint64_t CAudioPlayer::FramesAhead() const
{
    // The drop first: once the callback has taken it, the position read after it lies past it.
    const std::uint64_t drop = m_pendingDrop.load(std::memory_order_acquire);
    const std::uint64_t read = m_ringRead.load(std::memory_order_acquire);
    std::uint64_t ahead = m_ringWritten - std::min(read, m_ringWritten);
    if (drop != 0 && DropEnd(drop) > read)
        ahead -= DropEnd(drop) - std::max(read, DropFirst(drop));
    return ahead;
}

bool CAudioPlayer::FillRing(std::uint64_t ahead)
{
    // A stop or a change is seen between chunks, not only after a whole second of stretching.
    while (FramesAhead() + kChunkFrames <= ahead && m_ring.Free() >= kChunkFrames * m_channels
        && !m_stopDecoding.load(std::memory_order_relaxed) && Settings() == m_stage->Settings()) {
        const size_t read = m_stage->Read(m_chunk.get(), kChunkFrames);
        m_framesDecoded.store(m_stage->SourceFrames(), std::memory_order_release);
        const size_t frames = read == 0 ? m_leveler.Drain(m_chunk.get()) : m_leveler.ProcessInTime(m_chunk.get(), read);
        m_ring.Write(m_chunk.get(), frames * m_channels);
        m_ringWritten += frames;
        if (read == 0) {
            m_decodeEnded.store(true, std::memory_order_release);
            return false;
        }
    }
    return true;
}

void CAudioPlayer::ApplySettings()
{
    const StretchSettings wanted = Settings();
    if (wanted == m_stage->Settings() || m_playedToEnd.load(std::memory_order_acquire))
        return;
    // The song is stretched again from a frame the callback has not reached, and the frames the
    // ring holds from there on are dropped when it does.
    m_decodeEnded.store(false, std::memory_order_release);
    for (;;) {
        std::uint64_t pending = m_pendingDrop.load(std::memory_order_acquire);
        std::uint64_t first = 0;
        double song = 0.0;
        if (pending != 0) {
            // A drop the callback has not reached yet: the new settings start where it starts.
            first = DropFirst(pending);
            song = m_lastDropSong;
        } else {
            const std::uint64_t read = std::max(m_ringRead.load(std::memory_order_acquire), m_lastDropEnd);
            first = std::min(read + kChangeMarginFrames, m_ringWritten);
            song = SongFrameAt(first);
        }
        m_stage->Restart(song, wanted);
        m_leveler.Reset();
        const std::uint64_t drop = first < m_ringWritten ? PackDrop(first, m_ringWritten) : 0;
        if (pending == 0) {
            if (drop != 0)
                m_pendingDrop.store(drop, std::memory_order_release);
        } else if (!m_pendingDrop.compare_exchange_strong(pending, drop, std::memory_order_acq_rel)) {
            continue; // the callback took the old drop meanwhile: start again from where it is
        }
        if (drop != 0) {
            m_lastDropEnd = m_ringWritten;
            m_lastDropSong = song;
        }
        AddMark({m_ringWritten, song, m_stage->Settings().SongFramesPerFrame()});
        return;
    }
}

double CAudioPlayer::SongFrameAt(std::uint64_t ringFrame) const
{
    std::lock_guard lock(m_marksLock);
    auto mark = std::upper_bound(m_marks.begin(), m_marks.end(), ringFrame,
        [](std::uint64_t frame, const SongMark& candidate) { return frame < candidate.ringFrame; });
    if (mark == m_marks.begin())
        return 0.0;
    --mark;
    return mark->songFrame + static_cast<double>(ringFrame - mark->ringFrame) * mark->songFramesPerFrame;
}

void CAudioPlayer::AddMark(const SongMark& mark)
{
    const std::uint64_t read = m_ringRead.load(std::memory_order_acquire);
    std::lock_guard lock(m_marksLock);
    // Marks before the one that the frame the callback plays next falls under are done with.
    const auto current = std::upper_bound(m_marks.begin(), m_marks.end(), read,
        [](std::uint64_t frame, const SongMark& candidate) { return frame < candidate.ringFrame; });
    if (current != m_marks.begin())
        m_marks.erase(m_marks.begin(), current - 1);
    m_marks.push_back(mark);
}

void CAudioPlayer::Decode()
{
    for (;;) {
        {
            std::unique_lock lock(m_decodeLock);
            m_decodeWake.wait_for(lock, kDecodePeriod, [this] { return m_stopDecoding || m_settingsChanged; });
            if (m_stopDecoding)
                return;
            m_settingsChanged = false;
        }
        try {
            ApplySettings();
            if (!m_decodeEnded.load(std::memory_order_relaxed))
                FillRing(kAheadFrames);
        } catch (const std::exception&) {
            // No memory for a stretcher: the song ends with what the ring holds.
            m_decodeEnded.store(true, std::memory_order_release);
            return;
        }
    }
}

} // namespace linlangok
