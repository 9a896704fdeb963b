#pragma once

#include <optional>

// Songs at one loudness: the measure of a song per EBU R128 and the level every song plays at.
namespace linlangok {

// A song's integrated loudness (LUFS) and true peak (dBTP) per EBU R128 (ITU-R BS.1770).
struct LoudnessMeasure {
    double integratedLufs = 0.0;
    double truePeakDbtp = 0.0;

    bool operator==(const LoudnessMeasure&) const = default;
};

// Every song plays at the ReplayGain 2 reference loudness, its true peaks at most at the ceiling.
inline constexpr double kLevelingTargetLufs = -18.0;
inline constexpr double kLevelingCeilingDbtp = -1.0;
// A song's leveling gain stays within ± this, so that a nearly silent song is not raised to noise.
inline constexpr double kMaximumLevelingGainDb = 30.0;

// The values a measure can hold: below the absolute gate of BS.1770 (−70 LUFS) a song is silence
// and has no measure; the upper bounds lie beyond what decoded audio reaches.
inline constexpr double kLowestLoudnessLufs = -70.0;
inline constexpr double kHighestLoudnessLufs = 20.0;
inline constexpr double kLowestTruePeakDbtp = -100.0;
inline constexpr double kHighestTruePeakDbtp = 40.0;

// Whether both values are finite and within those bounds.
bool IsPlausibleMeasure(const LoudnessMeasure& measure);

// The gain (dB) that brings a song of this loudness to kLevelingTargetLufs, within
// ±kMaximumLevelingGainDb.
double LevelingGainDb(double integratedLufs);

} // namespace linlangok
