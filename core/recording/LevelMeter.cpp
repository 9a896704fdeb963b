#include "core/recording/LevelMeter.h"

#include <algorithm>
#include <cstdlib>

namespace linlangok {
namespace {

// The height of a level (or marker) drawn from the top: trunc((1 − level / 256) × height + offset).
int LevelY(int level, int height, int offset)
{
    return static_cast<int>((1.0 - level / 256.0) * height + offset);
}

} // namespace

MeterLevels MeasureLevels(const std::int16_t* samples, size_t sampleCount)
{
    if (sampleCount == 0)
        return {};
    std::int64_t left = 0;
    std::int64_t right = 0;
    for (size_t i = 0; i < sampleCount; ++i) {
        const int magnitude = std::abs(static_cast<int>(samples[i])) >> 6;
        (i % 2 == 0 ? left : right) += magnitude;
    }
    const auto count = static_cast<std::int64_t>(sampleCount);
    return {static_cast<int>(std::max<std::int64_t>(left / count, 0)),
        static_cast<int>(std::max<std::int64_t>(right / count, 0))};
}

int HoldLevel(int held, int level)
{
    return level >= held ? level : std::max(held - 4, 0);
}

MeterLevels HoldLevels(MeterLevels held, MeterLevels levels)
{
    return {HoldLevel(held.left, levels.left), HoldLevel(held.right, levels.right)};
}

MeterShapes LayOutMeter(const MeterRectangle& client, MeterLevels levels, MeterLevels held)
{
    const int height = client.bottom - client.top;
    const int middle = client.left + static_cast<int>((client.right - client.left) * 0.5);
    const int leftMarkerY = LevelY(held.left, height, -2);
    const int rightMarkerY = LevelY(held.right, height, -2);
    return {
        {client.left, leftMarkerY, middle, leftMarkerY + 3},
        {middle, rightMarkerY, client.right, rightMarkerY + 3},
        {client.left, LevelY(levels.left, height, 2), middle, client.bottom},
        {middle, LevelY(levels.right, height, 2), client.right, client.bottom},
    };
}

} // namespace linlangok
