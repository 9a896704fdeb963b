#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace linlangok {

// Where the audio callback is in time when it asks a source for one buffer.
struct AudioBufferTiming {
    // Position of the buffer's first frame in the stream, in frames since the stream started.
    std::uint64_t firstFrame = 0;
    // Steady-clock time at which the callback started rendering this buffer.
    std::chrono::steady_clock::time_point callbackTime;
    int sampleRate = 44100;
    // Steady-clock time at which the buffer's first frame leaves the device, by the device's own
    // account; the listener hears it the output latency later.
    std::chrono::steady_clock::time_point playTime {};
};

// A producer of sound for the output stream: the built-in synthesizer, the accompaniment player.
class IAudioSource {
public:
    virtual ~IAudioSource() = default;

    // Audio callback thread: adds `frames` frames of interleaved stereo float samples (-1..1) to
    // `mix`. Must not block, allocate or throw.
    virtual void MixInto(float* mix, size_t frames, const AudioBufferTiming& timing) noexcept = 0;
};

// A listener to what an output stream plays, such as the performance take.
class IAudioTap {
public:
    virtual ~IAudioTap() = default;

    // Audio callback thread: one buffer as it goes to the device, every source mixed and clipped.
    // Must not block, allocate or throw.
    virtual void OnPlayed(const float* mix, size_t frames, const AudioBufferTiming& timing) noexcept = 0;
};

// An output stream (44.1 kHz stereo): mixes every added source into each buffer. A program opens
// one and hands it to whatever plays into it; tests may hold several side by side.
class IAudioOutput {
public:
    virtual ~IAudioOutput() = default;

    // The device's name as the user would recognise it ("null", "wav:/tmp/out.wav", a PortAudio name).
    virtual std::string Name() const = 0;
    virtual int SampleRate() const = 0;
    // Frames per callback buffer.
    virtual size_t BufferFrames() const = 0;
    // How long a frame takes from leaving the callback to being heard, as the device reports it
    // (zero for an output that plays nowhere).
    virtual std::chrono::microseconds OutputLatency() const = 0;
    // How often, since it opened, the device had to play without the stream's samples because
    // they came too late (an underrun, heard as a dropout), or dropped them; zero for a device that
    // cannot tell. Any thread.
    virtual std::uint64_t DropoutCount() const { return 0; }

    // Sources are not owned. Both calls are made from the UI thread while the stream runs;
    // RemoveSource returns once the callback no longer uses the source.
    virtual void AddSource(IAudioSource& source) = 0;
    virtual void RemoveSource(IAudioSource& source) = 0;
    // Taps are not owned; the same rules hold. AddTap is false for an output that plays to no
    // listener (an offline render) and so has nothing to tap.
    virtual bool AddTap(IAudioTap&) { return false; }
    virtual void RemoveTap(IAudioTap&) { }
};

} // namespace linlangok
