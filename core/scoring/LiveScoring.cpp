#include "core/scoring/LiveScoring.h"

#include <algorithm>
#include <cmath>

namespace linlangok {
namespace {

constexpr int kRate = static_cast<int>(kCaptureFramesPerSecond);
// The queues hold a second of what the analysis has not taken yet; beyond it input is dropped.
constexpr size_t kQueuedFrames = 1 << 16;
// Arrivals older than this give no origin: the device's clock and the steady clock drift apart.
constexpr double kOriginWindowSeconds = 2.0;

double SteadySecondsOf(std::chrono::steady_clock::time_point time)
{
    return std::chrono::duration<double>(time.time_since_epoch()).count();
}

} // namespace

float FoldToMelody(const std::vector<MelodyNote>& notes, double seconds, float pitch)
{
    if (notes.empty() || std::isnan(pitch))
        return pitch;
    const auto after = std::upper_bound(
        notes.begin(), notes.end(), seconds, [](double time, const MelodyNote& note) { return time < note.start; });
    const MelodyNote* nearest = &*std::prev(after == notes.begin() ? std::next(after) : after);
    if (after != notes.end() && seconds >= nearest->end && after->start - seconds < seconds - nearest->end)
        nearest = &*after;
    const double octaves = std::round((double(pitch) - nearest->pitch) / 12);
    return float(double(pitch) - 12 * octaves);
}

CLiveScoring::CLiveScoring(IWaveInSystem& system, PitchTrackerFactory makeTracker)
    : m_system(system)
    , m_makeTracker(std::move(makeTracker))
    , m_samples(2 * kQueuedFrames)
    , m_arrivals(kQueuedFrames / (kBufferBytes / kCaptureBytesPerFrame))
    , m_sung(4096)
{
}

CLiveScoring::~CLiveScoring()
{
    Stop();
}

bool CLiveScoring::Start(std::uint32_t device, Song song)
{
    Stop();
    const size_t voices = song.secondVoice ? 2 : 1;
    try {
        for (size_t voice = 0; voice < voices; ++voice)
            m_trackers[voice] = m_makeTracker(kRate);
    } catch (const std::exception&) {
        m_trackers = {};
        return false;
    }
    m_memory.reset(new (std::nothrow) std::uint8_t[kBuffers * kBufferBytes]);
    const bool tracking = std::all_of(m_trackers.begin(), m_trackers.begin() + std::ptrdiff_t(voices),
        [](const auto& tracker) { return tracker != nullptr; });
    if (!tracking || !m_memory || m_system.Open(device, *this, m_handle) != kWaveInOk) {
        m_trackers = {};
        m_handle.reset();
        return false;
    }
    m_samples.Clear();
    m_arrivals.Clear();
    m_sung.Clear();
    m_origins.clear();
    m_capturedSamples = 0;
    m_latencySeconds = std::chrono::duration<double>(m_handle->InputLatency()).count() + song.correctionSeconds;
    bool prepared = true;
    for (size_t index = 0; index < kBuffers; ++index) {
        m_headers[index] = {m_memory.get() + index * kBufferBytes, kBufferBytes};
        prepared = prepared && m_handle->PrepareBuffer(m_headers[index]) == kWaveInOk;
    }
    {
        std::lock_guard lock(m_runningLock);
        m_running = true;
    }
    bool started = prepared;
    for (WaveInBuffer& header : m_headers)
        started = started && m_handle->AddBuffer(header) == kWaveInOk;
    started = started && m_handle->Start() == kWaveInOk;
    if (!started) {
        CloseInput();
        m_trackers = {};
        return false;
    }
    m_analysis = std::jthread([this](std::stop_token stop) { Analyse(stop); });
    m_songPerSecond = song.songPerSecond;
    m_trace.clear();
    m_scorers[0] = std::make_unique<CSingingScorer>(std::move(song.melody), song.difficulty);
    if (song.secondVoice)
        m_scorers[1] = std::make_unique<CSingingScorer>(std::move(*song.secondVoice), song.difficulty);
    return true;
}

std::optional<SongScore> CLiveScoring::Stop()
{
    m_secondVoiceResult.reset();
    if (!m_scorers[0])
        return std::nullopt;
    CloseInput();
    m_analysis.request_stop();
    m_captured.Set();
    m_analysis = {};
    m_trackers = {};
    for (const auto& scorer : m_scorers) {
        if (scorer)
            scorer->Finish();
    }
    const SongScore result = m_scorers[0]->Result();
    if (m_scorers[1])
        m_secondVoiceResult = m_scorers[1]->Result();
    m_scorers = {};
    return result;
}

void CLiveScoring::CloseInput()
{
    {
        std::lock_guard lock(m_runningLock);
        m_running = false;
    }
    if (!m_handle)
        return;
    m_handle->Reset();
    for (WaveInBuffer& header : m_headers)
        m_handle->UnprepareBuffer(header);
    m_handle->Close();
    m_handle.reset();
}

void CLiveScoring::OnWaveInData(WaveInBuffer& buffer)
{
    const auto* frames = reinterpret_cast<const std::int16_t*>(buffer.data);
    const size_t count = buffer.bytesRecorded / kCaptureBytesPerFrame;
    if (count > 0 && m_arrivals.Free() > 0 && m_samples.Free() >= 2 * count) {
        // With room for nothing to be allocated here.
        std::array<float, 2 * kBufferBytes / kCaptureBytesPerFrame> stereo;
        for (size_t sample = 0; sample < 2 * count; ++sample)
            stereo[sample] = float(frames[sample]) / 32768.0f;
        const Arrival arrival {m_capturedSamples, SteadySecondsOf(buffer.firstFrameTime)};
        m_arrivals.Write(&arrival, 1);
        m_samples.Write(stereo.data(), 2 * count);
        m_captured.Set();
    } else if (count > 0) {
        m_dropped.fetch_add(count, std::memory_order_relaxed);
    }
    m_capturedSamples += count;
    std::lock_guard lock(m_runningLock);
    if (m_running)
        m_handle->AddBuffer(buffer);
}

void CLiveScoring::Analyse(std::stop_token stop)
{
    std::vector<PitchFrame> frames;
    frames.reserve(64);
    while (!stop.stop_requested()) {
        m_captured.Wait();
        for (std::span<const Arrival> arrivals = m_arrivals.Readable(); !arrivals.empty();
             arrivals = m_arrivals.Readable()) {
            for (const Arrival& arrival : arrivals) {
                const double origin = arrival.seconds - double(arrival.sample) / kRate;
                m_origins.push_back({arrival.sample, origin});
            }
            m_arrivals.Consume(arrivals.size());
        }
        while (m_origins.size() > 1
            && double(m_origins.back().sample - m_origins.front().sample) / kRate > kOriginWindowSeconds)
            m_origins.pop_front();
        // A device's moments run late by up to a buffer, never early: the earliest origin is the truest.
        double origin = INFINITY;
        for (const Arrival& arrival : m_origins)
            origin = std::min(origin, arrival.seconds);
        for (std::span<const float> samples = m_samples.Readable(); !samples.empty(); samples = m_samples.Readable()) {
            SplitVoices(samples);
            m_samples.Consume(samples.size());
            for (size_t voice = 0; voice < m_trackers.size() && m_trackers[voice]; ++voice) {
                frames.clear();
                m_trackers[voice]->Push(m_voices[voice].data(), m_voices[voice].size(), frames);
                for (const PitchFrame& frame : frames)
                    m_sung.Push({origin + frame.seconds - m_latencySeconds, frame.pitch, std::uint8_t(voice)});
            }
        }
    }
}

void CLiveScoring::SplitVoices(std::span<const float> stereo)
{
    const size_t frames = stereo.size() / 2;
    for (std::vector<float>& voice : m_voices)
        voice.resize(frames);
    for (size_t frame = 0; frame < frames; ++frame) {
        const float left = stereo[2 * frame];
        const float right = stereo[2 * frame + 1];
        if (m_trackers[1]) {
            m_voices[0][frame] = left;
            m_voices[1][frame] = right;
        } else {
            m_voices[0][frame] = 0.5f * (left + right);
        }
    }
}

void CLiveScoring::Update(double heard, std::chrono::steady_clock::time_point now)
{
    if (!m_scorers[0])
        return;
    const double nowSeconds = SteadySecondsOf(now);
    const auto& notes = m_scorers[0]->Melody().notes;
    for (std::span<const SungMoment> sung = m_sung.Readable(); !sung.empty(); sung = m_sung.Readable()) {
        for (const SungMoment& moment : sung) {
            const SungPitch pitch {heard + (moment.steadySeconds - nowSeconds) * m_songPerSecond, moment.pitch};
            CSingingScorer* scorer = m_scorers[moment.voice].get();
            if (!scorer)
                continue;
            scorer->Add(pitch);
            if (moment.voice == 0)
                m_trace.push_back(
                    {pitch.seconds, FoldToMelody(notes, pitch.seconds, pitch.pitch), scorer->Hits(pitch)});
        }
        m_sung.Consume(sung.size());
    }
    while (!m_trace.empty() && m_trace.front().seconds < heard - kLanePastSeconds)
        m_trace.pop_front();
}

ScoringView CLiveScoring::ViewAt(double heard) const
{
    ScoringView view;
    view.now = heard;
    if (!m_scorers[0])
        return view;
    const auto& notes = m_scorers[0]->Melody().notes;
    const double from = heard - kLanePastSeconds;
    const double to = heard + kLaneAheadSeconds;
    auto first = std::lower_bound(
        notes.begin(), notes.end(), from, [](const MelodyNote& note, double time) { return note.end < time; });
    for (; first != notes.end() && first->start <= to; ++first)
        view.notes.push_back(*first);
    for (const TracePoint& point : m_trace) {
        if (point.seconds >= from && point.seconds <= heard)
            view.trace.push_back(point);
    }
    view.runningScore = RunningScore();
    if (m_scorers[1])
        view.secondVoiceScore = m_scorers[1]->RunningScore();
    const auto& lines = m_scorers[0]->FinishedLines();
    if (!lines.empty() && heard - lines.back().line.end <= kLineWordSeconds)
        view.lastLine = lines.back();
    return view;
}

} // namespace linlangok
