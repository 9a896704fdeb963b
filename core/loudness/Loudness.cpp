#include "core/loudness/Loudness.h"

#include <algorithm>
#include <cmath>

namespace linlangok {

bool IsPlausibleMeasure(const LoudnessMeasure& measure)
{
    // The comparisons are false for NaN as well.
    return measure.integratedLufs >= kLowestLoudnessLufs && measure.integratedLufs <= kHighestLoudnessLufs
        && measure.truePeakDbtp >= kLowestTruePeakDbtp && measure.truePeakDbtp <= kHighestTruePeakDbtp;
}

double LevelingGainDb(double integratedLufs)
{
    return std::clamp(kLevelingTargetLufs - integratedLufs, -kMaximumLevelingGainDb, kMaximumLevelingGainDb);
}

} // namespace linlangok
