#pragma once

#include <cstdint>
#include <optional>

// The arithmetic between mixer control values and slider positions. Values count from 0 (the
// bounds' minimum of a volume control is 0); positions from 0 to the scale's steps.
namespace linlangok {

enum class EFaderKind { Left = 0, Right = 1, Main = 2, Balance = 3 };

struct FaderScale {
    std::int64_t span = 0; // bounds maximum − minimum
    std::int64_t steps = 0; // slider positions above 0
    std::int64_t stepSize = 0; // span / steps
};

// The scale of a fader control; steps are limited to 1 … span so that a step is at least 1.
// Nothing when the bounds are empty.
std::optional<FaderScale> MakeFaderScale(std::int64_t minimum, std::int64_t maximum, std::int64_t steps);

// The values of the first two channels; a one-channel line has only `left`.
struct FaderChannels {
    std::int64_t left = 0;
    std::int64_t right = 0;
    bool stereo = false;
};

// The slider position for the values, or nothing when it stays (a balance with both channels at
// 0). On a stereo line with any sound the balance ratio becomes (right − left) / louder channel.
std::optional<int> FaderPosition(
    EFaderKind kind, const FaderScale& scale, const FaderChannels& values, double& balanceRatio);

// The values a slider position asks for, starting from the current ones. The main fader keeps the
// balance ratio; the balance fader keeps the louder channel's value.
FaderChannels FaderValues(
    EFaderKind kind, const FaderScale& scale, int position, FaderChannels current, double balanceRatio);

// Volume in percent of the bounds, 0 … 100 (rounded to the nearest). Requires maximum > minimum.
int VolumePercent(std::int64_t value, std::int64_t minimum, std::int64_t maximum);
// The value for a percentage (limited to 0 … 100).
std::int64_t VolumeForPercent(int percent, std::int64_t minimum, std::int64_t maximum);

} // namespace linlangok
