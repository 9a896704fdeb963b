#include "platform/midi/SynthMidiOutput.h"

#include <algorithm>
#include <bit>
#include <new>
#include <stdexcept>

namespace linlangok {

class CSynthMidiOutput::CConnection final : public IMidiOutputConnection {
public:
    CConnection(CSynthMidiOutput& owner, std::function<void()> longMessageDone)
        : m_owner(owner)
        , m_longMessageDone(std::move(longMessageDone))
    {
    }

    ~CConnection() override
    {
        m_owner.m_connected.store(false, std::memory_order_release);
        try {
            m_owner.Enqueue(EEventKind::ReleaseAllNotes, 0);
        } catch (const std::bad_alloc&) {
            // Out of memory: the notes sound on until the next Open resets the synthesizer.
        }
    }

    void SendShort(std::uint32_t packedMessage) override { m_owner.Enqueue(EEventKind::ShortMessage, packedMessage); }
    void SendShortAt(std::uint32_t packedMessage, std::chrono::steady_clock::time_point due) override
    {
        m_owner.Enqueue(EEventKind::ShortMessage, packedMessage, due);
    }

    void SendLong(const std::uint8_t* bytes, size_t length) override
    {
        m_owner.EnqueueSysEx(bytes, length);
        if (m_longMessageDone)
            m_longMessageDone();
    }

private:
    CSynthMidiOutput& m_owner;
    std::function<void()> m_longMessageDone;
};

CSynthMidiOutput::CSynthMidiOutput(SynthesizerFactory makeSynthesizer, IAudioOutput& output, TimeSource now)
    : m_makeSynthesizer(std::move(makeSynthesizer))
    , m_output(output)
    , m_now(std::move(now))
    , m_latencyFrames(output.BufferFrames() + ISynthesizer::kBlockFrames / 2
          + static_cast<size_t>(kSendAllowance.count() * output.SampleRate() / 1000) + CLoudnessLeveler::kLatencyFrames)
    , m_leveler(output.SampleRate())
{
}

CSynthMidiOutput::~CSynthMidiOutput()
{
    if (m_registered)
        m_output.RemoveSource(*this);
}

std::unique_ptr<IMidiOutputConnection> CSynthMidiOutput::Open(std::function<void()> longMessageDone)
{
    if (m_connected.load(std::memory_order_acquire))
        throw std::runtime_error("the built-in synthesizer is already open");
    if (!m_synth)
        m_synth = m_makeSynthesizer(m_output.SampleRate());
    Enqueue(EEventKind::Reset, 0);
    QueuedEvent leveling;
    leveling.time = Now();
    leveling.kind = EEventKind::Leveling;
    leveling.message = std::bit_cast<std::uint32_t>(static_cast<float>(m_levelingGain.value_or(0.0)));
    leveling.length = m_levelingGain ? 1 : 0;
    m_queue.Push(leveling);
    m_connected.store(true, std::memory_order_release);
    if (!m_registered) {
        m_output.AddSource(*this);
        m_registered = true;
    }
    return std::make_unique<CConnection>(*this, std::move(longMessageDone));
}

std::int64_t CSynthMidiOutput::Now() const
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(m_now().time_since_epoch()).count();
}

void CSynthMidiOutput::Enqueue(
    EEventKind kind, std::uint32_t message, std::optional<std::chrono::steady_clock::time_point> due)
{
    QueuedEvent event;
    event.time = due ? std::chrono::duration_cast<std::chrono::nanoseconds>(due->time_since_epoch()).count() : Now();
    event.message = message;
    event.kind = kind;
    m_queue.Push(event);
}

void CSynthMidiOutput::EnqueueSysEx(const std::uint8_t* bytes, size_t length)
{
    if (length > kMaximumSysExLength)
        return;
    const size_t parts = std::max<size_t>(1, (length + kSysExPartBytes - 1) / kSysExPartBytes);
    std::array<QueuedEvent, (kMaximumSysExLength + kSysExPartBytes - 1) / kSysExPartBytes> events;
    const std::int64_t time = Now();
    for (size_t part = 0; part < parts; ++part) {
        QueuedEvent& event = events[part];
        const size_t offset = part * kSysExPartBytes;
        event.time = time;
        event.kind = EEventKind::SysExPart;
        event.message = part + 1 == parts ? 1 : 0;
        event.length = static_cast<std::uint8_t>(std::min(kSysExPartBytes, length - std::min(length, offset)));
        std::copy_n(bytes + offset, event.length, event.bytes);
    }
    m_queue.Push(events.data(), parts);
}

bool CSynthMidiOutput::IsQuiet() noexcept
{
    return m_queue.Empty() && (!m_synth || m_synth->ActiveVoiceCount() == 0);
}

void CSynthMidiOutput::UpdateOrigin(const AudioBufferTiming& timing, size_t frames)
{
    const std::int64_t callbackTime
        = std::chrono::duration_cast<std::chrono::nanoseconds>(timing.callbackTime.time_since_epoch()).count();
    const std::uint64_t rate = static_cast<std::uint64_t>(timing.sampleRate);
    const auto streamOffset = static_cast<std::int64_t>(
        timing.firstFrame / rate * 1000000000ull + timing.firstFrame % rate * 1000000000ull / rate);
    const std::int64_t sample = callbackTime - streamOffset;
    // A callback is never early, only late by scheduling; the earliest sample is the truest.
    // Two windows of about a second each let the estimate rise when the card's clock is slow.
    if (!m_haveOrigin || timing.firstFrame < m_lastStreamFrame) {
        m_originCurrent = m_originPrevious = sample;
        m_originWindowFrames = 0;
        m_haveOrigin = true;
    } else if (m_originWindowFrames >= static_cast<size_t>(timing.sampleRate)) {
        m_originPrevious = m_originCurrent;
        m_originCurrent = sample;
        m_originWindowFrames = 0;
    } else {
        m_originCurrent = std::min(m_originCurrent, sample);
    }
    m_originWindowFrames += frames;
    m_lastStreamFrame = timing.firstFrame;
}

std::int64_t CSynthMidiOutput::FramesSinceOrigin(std::int64_t time, int sampleRate) const
{
    const std::int64_t origin = std::min(m_originCurrent, m_originPrevious);
    const std::int64_t scaled = (time - origin) * sampleRate;
    const std::int64_t frames = scaled / 1000000000;
    return scaled % 1000000000 < 0 ? frames - 1 : frames;
}

void CSynthMidiOutput::MixInto(float* mix, size_t frames, const AudioBufferTiming& timing) noexcept
{
    if (!m_synth)
        return;
    UpdateOrigin(timing, frames);
    if (!m_connected.load(std::memory_order_acquire) && IsQuiet())
        return;
    const std::int64_t synthFrameOfStreamStart = m_renderedFrames - static_cast<std::int64_t>(timing.firstFrame);
    constexpr auto block = static_cast<std::int64_t>(ISynthesizer::kBlockFrames);
    size_t done = 0;
    while (done < frames) {
        const std::int64_t intoBlock = m_renderedFrames % block;
        // A message applied now is heard from the next block on: take those whose frame lies
        // nearer to this block's start than to the next one's.
        if (intoBlock == 0)
            ApplyDueEvents(m_renderedFrames + block / 2, synthFrameOfStreamStart, timing.sampleRate);
        const size_t chunk = std::min(frames - done, static_cast<size_t>(block - intoBlock));
        m_synth->Render(m_scratch.data(), chunk);
        m_leveler.Process(m_scratch.data(), chunk);
        float* out = mix + 2 * done;
        for (size_t i = 0; i < 2 * chunk; ++i)
            out[i] += m_scratch[i];
        done += chunk;
        m_renderedFrames += static_cast<std::int64_t>(chunk);
    }
}

void CSynthMidiOutput::ApplyDueEvents(
    std::int64_t beforeSynthFrame, std::int64_t synthFrameOfStreamStart, int sampleRate) noexcept
{
    // The leveler's lag comes after the synthesizer.
    const auto latency = static_cast<std::int64_t>(m_latencyFrames - CLoudnessLeveler::kLatencyFrames);
    for (;;) {
        const auto ready = m_queue.Readable();
        size_t applied = 0;
        for (const QueuedEvent& event : ready) {
            const std::int64_t synthFrame
                = FramesSinceOrigin(event.time, sampleRate) + latency + synthFrameOfStreamStart;
            if (synthFrame >= beforeSynthFrame)
                break;
            Apply(event);
            ++applied;
        }
        m_queue.Consume(applied);
        if (applied == 0 || applied < ready.size())
            return;
    }
}

void CSynthMidiOutput::Apply(const QueuedEvent& event) noexcept
{
    switch (event.kind) {
    case EEventKind::ShortMessage:
        m_synth->ApplyShort(event.message);
        break;
    case EEventKind::SysExPart:
        // The sender passes no message longer than the buffer.
        std::copy_n(event.bytes, event.length, m_sysEx.data() + m_sysExLength);
        m_sysExLength += event.length;
        if (event.message == 1) {
            m_synth->ApplySysEx(m_sysEx.data(), m_sysExLength);
            m_sysExLength = 0;
        }
        break;
    case EEventKind::Reset:
        m_synth->Reset();
        break;
    case EEventKind::ReleaseAllNotes:
        m_synth->ReleaseAllNotes();
        break;
    case EEventKind::Leveling:
        m_leveler.SetGain(
            event.length == 1 ? std::optional<double>(std::bit_cast<float>(event.message)) : std::nullopt);
        break;
    }
}

} // namespace linlangok
