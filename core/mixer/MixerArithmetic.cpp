#include "core/mixer/MixerArithmetic.h"

#include <algorithm>

namespace linlangok {
namespace {

std::int64_t Louder(const FaderChannels& values)
{
    return values.stereo ? std::max(values.left, values.right) : values.left;
}

std::int64_t Truncate(double value)
{
    return static_cast<std::int64_t>(value);
}

} // namespace

std::optional<FaderScale> MakeFaderScale(std::int64_t minimum, std::int64_t maximum, std::int64_t steps)
{
    const std::int64_t span = maximum - minimum;
    if (span <= 0)
        return std::nullopt;
    steps = std::clamp<std::int64_t>(steps, 1, span);
    return FaderScale {span, steps, span / steps};
}

std::optional<int> FaderPosition(
    EFaderKind kind, const FaderScale& scale, const FaderChannels& values, double& balanceRatio)
{
    const std::int64_t louder = Louder(values);
    if (values.stereo && louder != 0)
        balanceRatio = static_cast<double>(values.right - values.left) / static_cast<double>(louder);
    std::int64_t position = 0;
    switch (kind) {
    case EFaderKind::Left:
        position = values.left / scale.stepSize;
        break;
    case EFaderKind::Right:
        position = values.right / scale.stepSize;
        break;
    case EFaderKind::Main:
        position = louder / scale.stepSize;
        break;
    case EFaderKind::Balance:
        if (louder == 0)
            return std::nullopt;
        position = Truncate((balanceRatio + 1) * static_cast<double>(scale.steps) * 0.5);
        break;
    }
    return static_cast<int>(std::clamp<std::int64_t>(position, 0, scale.steps));
}

FaderChannels FaderValues(
    EFaderKind kind, const FaderScale& scale, int position, FaderChannels current, double balanceRatio)
{
    const std::int64_t p = std::clamp<std::int64_t>(position, 0, scale.steps) * scale.stepSize;
    const std::int64_t louder = Louder(current);
    switch (kind) {
    case EFaderKind::Left:
        current.left = p;
        break;
    case EFaderKind::Right:
        current.right = p;
        break;
    case EFaderKind::Main:
        if (!current.stereo) {
            current.left = p;
        } else if (balanceRatio <= 0) {
            current.left = p;
            current.right = Truncate((1 + balanceRatio) * static_cast<double>(p));
        } else {
            current.right = p;
            current.left = Truncate((1 - balanceRatio) * static_cast<double>(p));
        }
        break;
    case EFaderKind::Balance: {
        const double span = static_cast<double>(scale.span);
        if (static_cast<double>(p) <= span / 2) {
            current.right = Truncate(2 * static_cast<double>(p) * static_cast<double>(louder) / span);
            current.left = louder;
        } else {
            current.right = louder;
            current.left = Truncate(2 * static_cast<double>(louder) * (1 - static_cast<double>(p) / span));
        }
        break;
    }
    }
    return current;
}

int VolumePercent(std::int64_t value, std::int64_t minimum, std::int64_t maximum)
{
    // Rounded, so that every percentage written (VolumeForPercent truncates) reads back unchanged.
    const std::int64_t span = maximum - minimum;
    const std::int64_t percent = ((value - minimum) * 100 + span / 2) / span;
    return static_cast<int>(std::clamp<std::int64_t>(percent, 0, 100));
}

std::int64_t VolumeForPercent(int percent, std::int64_t minimum, std::int64_t maximum)
{
    return (maximum - minimum) * std::clamp(percent, 0, 100) / 100 + minimum;
}

} // namespace linlangok
