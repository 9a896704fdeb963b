#pragma once

#include <chrono>
#include <optional>
#include <vector>

namespace linlangok {

// One moment a device gave for a frame of its stream: frames since the stream's start, seconds on
// the steady clock (from any fixed origin).
struct FrameStamp {
    double frame = 0;
    double seconds = 0;
};

// A steady-clock moment in seconds since the clock's epoch.
inline double SteadySeconds(std::chrono::steady_clock::time_point time)
{
    return std::chrono::duration<double>(time.time_since_epoch()).count();
}

// A stream's frames against time: seconds = origin + frame * secondsPerFrame.
struct FrameClock {
    double origin = 0;
    double secondsPerFrame = 0;

    double SecondsAt(double frame) const { return origin + frame * secondsPerFrame; }
    double FrameAt(double seconds) const { return (seconds - origin) / secondsPerFrame; }
};

// The line through a device's stamps, at the nominal `sampleRate`: each stamp may be late or
// early by up to a buffer, so no single one is trusted (stamps that only ever run late move the
// line by their mean lateness). A least-squares line, fitted again
// without the stamps lying farther from it than three times their median distance; a rate more
// than 1 % off the nominal one (too few or too close stamps) gives way to the nominal rate
// through the stamps' median. Nothing without stamps.
std::optional<FrameClock> FitFrameClock(std::vector<FrameStamp> stamps, int sampleRate);
// The same line, but nothing where the nominal rate would stand in: the stamps do not follow the
// frames (a device that gives no moments of its own).
std::optional<FrameClock> FitMeasuredFrameClock(std::vector<FrameStamp> stamps, int sampleRate);

} // namespace linlangok
