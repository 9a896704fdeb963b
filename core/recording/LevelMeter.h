#pragma once

#include <cstddef>
#include <cstdint>

// The input level meter's arithmetic: levels from captured samples, the held markers that fall
// back slowly, and what the painting draws where. Levels run from 0 to 256 (full scale).
namespace linlangok {

struct MeterLevels {
    int left = 0;
    int right = 0;
    bool operator==(const MeterLevels&) const = default;
};

// The mean of |sample| >> 6 over each channel's samples, divided by the count of samples of both
// channels: silence gives 0, every sample at −32768 gives 256, at ±32767 255. `sampleCount` counts
// 16-bit samples (even indexes left, odd right); none gives 0.
MeterLevels MeasureLevels(const std::int16_t* samples, size_t sampleCount);

// A held level rises at once to a level that is not below it and otherwise falls by 4, not below 0.
int HoldLevel(int held, int level);
MeterLevels HoldLevels(MeterLevels held, MeterLevels levels);

struct MeterRectangle {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const MeterRectangle&) const = default;
};

struct MeterColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const MeterColour&) const = default;
};

inline constexpr MeterColour kMeterMarkerColour {0xF0, 0xF0, 0xF0}; // light grey
inline constexpr MeterColour kMeterBarColour {0x20, 0x80, 0xC0}; // blue

// What one paint draws over the background: the held markers (3 pixels high), then the bars, left
// channel in the left half of the client rectangle and right in the right half.
struct MeterShapes {
    MeterRectangle leftMarker;
    MeterRectangle rightMarker;
    MeterRectangle leftBar;
    MeterRectangle rightBar;
};

MeterShapes LayOutMeter(const MeterRectangle& client, MeterLevels levels, MeterLevels held);

} // namespace linlangok
