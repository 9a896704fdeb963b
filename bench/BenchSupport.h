#pragma once

#include <string>
#include <vector>

namespace linlangok::bench {

// A dense Standard MIDI File (format 1, division 480) of about `seconds` seconds: a conductor
// track whose tempo changes every 20 beats (350000 to 600000 µs per quarter), and five tracks of
// notes in eighths, sixteenths, triplets, thirty-seconds and percussion quarters, about 70
// messages per second. No program or controller changes: nothing is chased at the start.
std::string DenseSongBytes(double seconds);

// A burst: `notes` notes across the 16 channels, all starting on tick 0 and ending one beat later.
std::string BurstSongBytes(int notes);

// `tracks` tracks (up to 65535) of one short note each, the notes starting in turn on the first
// four eighths: a song of two beats in which nearly every track waits most of the time.
std::string ManyTracksSongBytes(int tracks);

// A click track: percussion hits (channel 10, side stick) on every beat, with the tempo changing
// every 8 beats, for about `seconds` seconds.
std::string ClickTrackBytes(double seconds);

// A search as a singer types it for a title with its composed readings ("xiao cheng gu shi"), of
// four kinds in turn by `kind`: the initials, the first two characters, the pinyin up to the first
// character of several readings, the first initial.
std::u16string TypedQuery(const std::u16string& title, const std::string& readings, size_t kind);

// The value at `fraction` (0..1) of the sorted values; 0 for none.
double Percentile(std::vector<double> values, double fraction);

// The CPU time the whole process has used, user and system, in seconds.
double ProcessCpuSeconds();
// The CPU time, user and system, of the child processes that have ended and been reaped, in seconds.
double ChildrenCpuSeconds();

} // namespace linlangok::bench
