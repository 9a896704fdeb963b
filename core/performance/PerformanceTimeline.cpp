#include "core/performance/PerformanceTimeline.h"

#include <algorithm>
#include <cmath>

namespace linlangok {
namespace {

constexpr double kRateTolerance = 0.01;
constexpr double kOutlierDistances = 3;
// Distances below this count as none, so exact stamps lose none of their number.
constexpr double kLeastDistance = 1e-5;

double Median(std::vector<double> values)
{
    const auto middle = values.begin() + values.size() / 2;
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// The least-squares line, relative to the first stamp's frame for precision; nothing when every
// stamp has the same frame.
std::optional<FrameClock> LeastSquares(const std::vector<FrameStamp>& stamps)
{
    const double base = stamps.front().frame;
    double sumX = 0, sumY = 0;
    for (const FrameStamp& stamp : stamps) {
        sumX += stamp.frame - base;
        sumY += stamp.seconds;
    }
    const double n = static_cast<double>(stamps.size());
    const double meanX = sumX / n, meanY = sumY / n;
    double xx = 0, xy = 0;
    for (const FrameStamp& stamp : stamps) {
        const double x = stamp.frame - base - meanX;
        xx += x * x;
        xy += x * (stamp.seconds - meanY);
    }
    if (xx == 0)
        return std::nullopt;
    const double slope = xy / xx;
    return FrameClock {meanY - (meanX + base) * slope, slope};
}

// The robust line through the stamps; the nominal rate through their median when `nominal`,
// nothing otherwise, where they do not follow the frames at about the nominal rate.
std::optional<FrameClock> Fit(std::vector<FrameStamp> stamps, int sampleRate, bool orNominal)
{
    if (stamps.empty())
        return std::nullopt;
    const double nominal = 1.0 / sampleRate;
    auto plausible = [nominal](const std::optional<FrameClock>& line) {
        return line && std::abs(line->secondsPerFrame / nominal - 1) <= kRateTolerance;
    };
    std::optional<FrameClock> line = LeastSquares(stamps);
    if (plausible(line)) {
        std::vector<double> distances;
        distances.reserve(stamps.size());
        for (const FrameStamp& stamp : stamps)
            distances.push_back(std::abs(stamp.seconds - line->SecondsAt(stamp.frame)));
        const double limit = kOutlierDistances * std::max(Median(distances), kLeastDistance);
        std::erase_if(stamps,
            [&](const FrameStamp& stamp) { return std::abs(stamp.seconds - line->SecondsAt(stamp.frame)) > limit; });
        line = LeastSquares(stamps);
        if (plausible(line))
            return line;
    }
    if (!orNominal)
        return std::nullopt;
    std::vector<double> origins;
    origins.reserve(stamps.size());
    for (const FrameStamp& stamp : stamps)
        origins.push_back(stamp.seconds - stamp.frame * nominal);
    return FrameClock {Median(std::move(origins)), nominal};
}

} // namespace

std::optional<FrameClock> FitFrameClock(std::vector<FrameStamp> stamps, int sampleRate)
{
    return Fit(std::move(stamps), sampleRate, true);
}

std::optional<FrameClock> FitMeasuredFrameClock(std::vector<FrameStamp> stamps, int sampleRate)
{
    return Fit(std::move(stamps), sampleRate, false);
}

} // namespace linlangok
