#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

// How a virtual audio device keeps time: in real time, like a sound card, or in the virtual time
// of a test, which releases frames by hand.
namespace linlangok {

class IFramePacer {
public:
    virtual ~IFramePacer() = default;

    // The device's owner, before it starts the device thread: the stream's time starts now, at
    // frame 0, and waits are allowed again.
    virtual void Begin() = 0;
    // Device thread: blocks until the stream may have produced `frame` frames since Begin.
    // False once Stop has been called: the device thread then ends.
    virtual bool WaitUntil(std::uint64_t frame) = 0;
    // Any thread: ends the current and every later wait of this run (until the next Begin).
    virtual void Stop() = 0;
    // Device thread: the steady-clock moment the stream reaches `frame` in its time.
    virtual std::chrono::steady_clock::time_point TimeOf(std::uint64_t frame) const = 0;
};

// Real time on the steady clock. An output device renders one buffer ahead of the time it is
// heard (`leadFrames`, its buffer size); a capture device delivers a chunk once it has been
// captured (lead 0). Deadlines are absolute, so pacing does not drift.
class CRealTimePacer final : public IFramePacer {
public:
    CRealTimePacer(int sampleRate, size_t leadFrames);

    void Begin() override;
    bool WaitUntil(std::uint64_t frame) override;
    void Stop() override;
    std::chrono::steady_clock::time_point TimeOf(std::uint64_t frame) const override;

private:
    int m_sampleRate;
    size_t m_leadFrames;
    std::chrono::steady_clock::time_point m_start;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_stopped = false;
};

// A test's steady clock: it stands still until told to move.
class CVirtualClock {
public:
    std::chrono::steady_clock::time_point Now() const;
    void Advance(std::chrono::nanoseconds time);

private:
    mutable std::mutex m_lock;
    std::chrono::steady_clock::time_point m_now;
};

// Virtual time: frames pass only when Release says so. Tests release audio and wait until the
// device has produced all of it, so nothing in them depends on the machine's speed. The stream's
// time starts at `clock`'s moment of Begin (the clock's epoch without one), at 44.1 kHz.
class CManualPacer final : public IFramePacer {
public:
    explicit CManualPacer(std::shared_ptr<const CVirtualClock> clock = {});

    void Begin() override;
    bool WaitUntil(std::uint64_t frame) override;
    void Stop() override;
    std::chrono::steady_clock::time_point TimeOf(std::uint64_t frame) const override;

    // Lets `frames` more frames of the current run pass (Begin starts again from none).
    void Release(std::uint64_t frames);
    // Blocks until the device has produced every released frame (it waits for frames beyond
    // them) or its stream has stopped.
    void WaitUntilIdle();
    // Frames released so far in this run.
    std::uint64_t Released() const;

private:
    std::shared_ptr<const CVirtualClock> m_clock;
    std::chrono::steady_clock::time_point m_start;
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::uint64_t m_released = 0;
    std::uint64_t m_waitingFor = 0; // the frame the device waits for; 0 while it works
    bool m_stopped = false;
};

// The loop of a paced device thread (started after pacer.Begin()): step(firstFrame) produces each
// chunk of `chunkFrames` frames as soon as the pacer lets its last frame pass, until it stops.
template <typename Step> void RunPaced(IFramePacer& pacer, size_t chunkFrames, Step&& step)
{
    for (std::uint64_t frame = 0; pacer.WaitUntil(frame + chunkFrames); frame += chunkFrames)
        step(frame);
}

} // namespace linlangok
