#include "core/playback/AudioStretchStage.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <stdexcept>

namespace linlangok {
namespace {

constexpr size_t kChunkFrames = IAudioStretcher::kMaximumProcessFrames;

} // namespace

StretchSettings StretchSettings::Clamped() const
{
    return {std::clamp(semitones, -kAudioPitchLimit, kAudioPitchLimit),
        std::clamp(tempoPercent, kTempoMinimumPercent, kTempoMaximumPercent)};
}

double StretchSettings::PitchScale() const
{
    return std::exp2(semitones / 12.0);
}

CAudioStretchStage::CAudioStretchStage(std::unique_ptr<IAudioFileDecoder> source, AudioStretcherFactory makeStretcher)
    : m_source(std::move(source))
    , m_channels(static_cast<size_t>(m_source->Channels()))
    , m_makeStretcher(std::move(makeStretcher))
    , m_history(kHistoryFrames * m_channels)
    , m_scratch(kChunkFrames * m_channels)
{
    if (m_channels != 2 && m_channels != kMaximumSongChannels)
        throw std::runtime_error("unsupported channel count");
}

CAudioStretchStage::~CAudioStretchStage() = default;

void CAudioStretchStage::Restart(double songFrame, const StretchSettings& settings)
{
    const StretchSettings applied = settings.Clamped();
    if (!applied.IsUnchanged() && !m_stretcher)
        m_stretcher = m_makeStretcher(Channels()); // first, so that a failure leaves everything as it was
    m_settings = applied;
    const double first
        = std::clamp(songFrame, static_cast<double>(HistoryStart()), static_cast<double>(m_sourceFrames));
    m_startFrame = static_cast<std::uint64_t>(std::llround(first));
    m_outputFrames = 0;
    m_cursor = m_startFrame;
    m_dropFrames = 0;
    m_finalGiven = false;
    m_stretching = !m_settings.IsUnchanged();
    if (!m_stretching)
        return;
    m_stretcher->Restart(m_settings.PitchScale(), 1.0 / m_settings.SongFramesPerFrame());

    // The pad is the song just before the start where there is one, so that a restart in the
    // middle of a song goes on from the music that led up to it rather than fading in.
    const std::uint64_t pad = m_stretcher->StartPad();
    const std::uint64_t silence = pad > m_startFrame ? pad - m_startFrame : 0;
    std::fill(m_scratch.begin(), m_scratch.end(), 0.0f);
    for (std::uint64_t given = 0; given < silence;) {
        const size_t count = static_cast<size_t>(std::min<std::uint64_t>(silence - given, kChunkFrames));
        m_stretcher->Process(m_scratch.data(), count, false);
        given += count;
    }
    for (std::uint64_t frame = m_startFrame - (pad - silence); frame < m_startFrame;) {
        const size_t count
            = Fetch(frame, m_scratch.data(), std::min<std::uint64_t>(m_startFrame - frame, kChunkFrames));
        m_stretcher->Process(m_scratch.data(), count, false);
        frame += count;
    }
    m_dropFrames = m_stretcher->StartDelay();
}

size_t CAudioStretchStage::Read(float* samples, size_t frames)
{
    size_t written = 0;
    if (m_stretching) {
        written = ReadStretched(samples, frames);
    } else {
        written = Fetch(m_cursor, samples, frames);
        m_cursor += written;
    }
    m_outputFrames += written;
    return written;
}

double CAudioStretchStage::SongFrame() const
{
    return static_cast<double>(m_startFrame) + static_cast<double>(m_outputFrames) * m_settings.SongFramesPerFrame();
}

size_t CAudioStretchStage::ReadStretched(float* samples, size_t frames)
{
    IAudioStretcher& stretcher = *m_stretcher;
    size_t written = 0;
    while (written < frames) {
        std::uint64_t wanted = frames - written;
        // Once the song's end is known, the output ends where the song does at this tempo: the
        // stretcher's tail beyond it is left out.
        if (m_sourceEnded) {
            const auto total = static_cast<std::uint64_t>(
                std::llround(static_cast<double>(m_sourceFrames - m_startFrame) / m_settings.SongFramesPerFrame()));
            const std::uint64_t done = m_outputFrames + written;
            if (done >= total)
                break;
            wanted = std::min(wanted, total - done);
        }
        if (const size_t ready = stretcher.Available(); ready > 0) {
            if (m_dropFrames > 0) {
                const size_t dropped
                    = stretcher.Retrieve(m_scratch.data(), std::min({ready, m_dropFrames, kChunkFrames}));
                if (dropped == 0)
                    break;
                m_dropFrames -= dropped;
                continue;
            }
            const size_t retrieved
                = stretcher.Retrieve(samples + written * m_channels, std::min<std::uint64_t>(ready, wanted));
            if (retrieved == 0)
                break;
            written += retrieved;
            continue;
        }
        if (m_finalGiven)
            break;
        const size_t required = std::clamp<size_t>(stretcher.FramesRequired(), 1, kChunkFrames);
        const size_t fetched = Fetch(m_cursor, m_scratch.data(), required);
        m_cursor += fetched;
        m_finalGiven = fetched < required;
        stretcher.Process(m_scratch.data(), fetched, m_finalGiven);
    }
    return written;
}

size_t CAudioStretchStage::Fetch(std::uint64_t songFrame, float* samples, size_t frames)
{
    size_t copied = 0;
    while (copied < frames) {
        const std::uint64_t frame = songFrame + copied;
        if (frame >= m_sourceFrames) {
            if (!DecodeMore())
                break;
            continue;
        }
        if (frame < HistoryStart()) {
            const size_t count = static_cast<size_t>(std::min<std::uint64_t>(frames - copied, HistoryStart() - frame));
            std::fill(samples + copied * m_channels, samples + (copied + count) * m_channels, 0.0f);
            copied += count;
            continue;
        }
        const size_t slot = static_cast<size_t>(frame % kHistoryFrames);
        const size_t count = static_cast<size_t>(
            std::min<std::uint64_t>({frames - copied, m_sourceFrames - frame, kHistoryFrames - slot}));
        std::copy_n(&m_history[slot * m_channels], count * m_channels, samples + copied * m_channels);
        copied += count;
    }
    return copied;
}

bool CAudioStretchStage::DecodeMore()
{
    if (m_sourceEnded)
        return false;
    const size_t slot = static_cast<size_t>(m_sourceFrames % kHistoryFrames);
    size_t frames = 0;
    try {
        frames = m_source->Read(&m_history[slot * m_channels], std::min<size_t>(kChunkFrames, kHistoryFrames - slot));
    } catch (const std::exception&) {
        m_sourceFailed = true;
    }
    if (frames == 0) {
        m_sourceEnded = true;
        return false;
    }
    m_sourceFrames += frames;
    return true;
}

} // namespace linlangok
