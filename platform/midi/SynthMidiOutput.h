#pragma once

#include "common/SpscQueue.h"
#include "core/loudness/LoudnessLeveler.h"
#include "core/midiplay/MidiOutputDevice.h"
#include "core/playback/AudioOutput.h"
#include "platform/midi/Synthesizer.h"

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace linlangok {

// The built-in synthesizer as a MIDI output device, rendering into the run's audio output.
//
// Every message is stamped with the time it is meant to sound, given by SendShortAt (the song's
// tempo map) or else its send time, and applied by the audio callback at the frame that time
// maps to, so what is heard keeps the timing of the stamps whatever the buffer size: a message
// stamped t is heard LatencyFrames() after t, quantized to the synthesizer's 64-frame blocks
// (the nearest block start), when it is sent no later than t + kSendAllowance; one sent later
// sounds as soon as it can. Messages are applied in the order sent. The mapping from
// steady-clock time to stream frames
// comes from the callback timings: the earliest (callback time - first frame / rate) over the
// last one to two seconds, which follows a sound card clock that drifts against the steady clock.
//
// Open and the connection run on the UI thread and the timer thread (one at a time); MixInto on
// the audio thread. They meet only in a single-producer, single-consumer queue of stamped
// messages; the synthesizer itself is touched only by the audio thread after the first Open.
// The queue takes every message, in order, however many are sent before the audio thread next
// runs: it starts with room for kInitialQueueCapacity and grows, on the sending thread, only
// past the most it has ever held.
//
// What the synthesizer renders passes through a loudness leveler (a song's gain and the
// true-peak limiter), which each Open sets up for the song it starts.
class CSynthMidiOutput final : public IAudioSource {
public:
    using TimeSource = std::function<std::chrono::steady_clock::time_point()>;

    static constexpr size_t kInitialQueueCapacity = 8192;
    // System exclusive messages longer than this are accepted and dropped; the synthesizer
    // understands none that long.
    static constexpr size_t kMaximumSysExLength = 1024;
    // How long after its stamp a message may be sent and still sound in its place: the sequencer
    // sends a tick's messages two ticks and up to a timer period after it (14.7 ms at 85 beats
    // a minute and 96 ticks a quarter note) and the timer thread may wake late.
    static constexpr std::chrono::milliseconds kSendAllowance {20};

    // The synthesizer is made at the first Open. output is not owned and outlives this object;
    // its sample rate and buffer size stay fixed. now gives the send times: the steady clock, or
    // the offline renderer's virtual time, the clock of the stamps.
    CSynthMidiOutput(SynthesizerFactory makeSynthesizer, IAudioOutput& output, TimeSource now);
    ~CSynthMidiOutput() override;

    CSynthMidiOutput(const CSynthMidiOutput&) = delete;
    CSynthMidiOutput& operator=(const CSynthMidiOutput&) = delete;

    // Resets the synthesizer (all voices cut, programs and controllers back to power-on) and
    // starts rendering into the output. One connection at a time; raises std::runtime_error when
    // already open or when the synthesizer cannot be made. Closing the connection releases the
    // sounding notes, which then fade out. Long messages are copied, so they are reported done
    // before SendLong returns.
    std::unique_ptr<IMidiOutputConnection> Open(std::function<void()> longMessageDone);

    // The leveling gain (dB) of the songs opened from now on, or nothing (at start) for the sound
    // as the synthesizer makes it. UI thread.
    void SetLevelingGain(std::optional<double> gainDb) { m_levelingGain = gainDb; }

    // Frames between a message's stamp and the frame where it is heard: the send allowance, one
    // output buffer, half a synthesizer block and the leveler's lag.
    size_t LatencyFrames() const { return m_latencyFrames; }

    // True when no message waits and no voice sounds. For the offline renderer, which calls it on
    // the thread that calls MixInto.
    bool IsQuiet() noexcept;

    void MixInto(float* mix, size_t frames, const AudioBufferTiming& timing) noexcept override;

private:
    class CConnection;
    enum class EEventKind : std::uint8_t { ShortMessage, SysExPart, Reset, ReleaseAllNotes, Leveling };
    static constexpr size_t kSysExPartBytes = 18;
    struct QueuedEvent {
        std::int64_t time = 0; // steady-clock nanoseconds
        // Short message; for a system exclusive part, 1 on the last part; for leveling, the gain in
        // dB as float bits, with a length of 1 (0: no gain).
        std::uint32_t message = 0;
        EEventKind kind = EEventKind::ShortMessage;
        std::uint8_t length = 0; // bytes used in a system exclusive part
        std::uint8_t bytes[kSysExPartBytes] = {};
    };

    // Sender side. Raises std::bad_alloc when the queue cannot grow.
    void Enqueue(EEventKind kind, std::uint32_t message, std::optional<std::chrono::steady_clock::time_point> due = {});
    void EnqueueSysEx(const std::uint8_t* bytes, size_t length);
    std::int64_t Now() const;

    // Audio thread.
    void UpdateOrigin(const AudioBufferTiming& timing, size_t frames);
    std::int64_t FramesSinceOrigin(std::int64_t time, int sampleRate) const;
    void ApplyDueEvents(std::int64_t beforeSynthFrame, std::int64_t synthFrameOfStreamStart, int sampleRate) noexcept;
    void Apply(const QueuedEvent& event) noexcept;

    SynthesizerFactory m_makeSynthesizer;
    IAudioOutput& m_output;
    TimeSource m_now;
    size_t m_latencyFrames;
    std::unique_ptr<ISynthesizer> m_synth;
    std::optional<double> m_levelingGain; // UI thread
    bool m_registered = false;
    std::atomic<bool> m_connected {false};

    CSpscQueue<QueuedEvent> m_queue {kInitialQueueCapacity};

    // Audio thread only.
    std::int64_t m_renderedFrames = 0;
    std::uint64_t m_lastStreamFrame = 0;
    bool m_haveOrigin = false;
    std::int64_t m_originCurrent = 0;
    std::int64_t m_originPrevious = 0;
    size_t m_originWindowFrames = 0;
    std::array<std::uint8_t, kMaximumSysExLength> m_sysEx {};
    size_t m_sysExLength = 0;
    std::array<float, 2 * ISynthesizer::kBlockFrames> m_scratch {};
    CLoudnessLeveler m_leveler;
};

} // namespace linlangok
