#include "tools/Commands.h"

#include "core/playback/AudioStretcher.h"

namespace linlangok {
namespace {

// An option's number within the bounds, stored in `value`.
bool ParseOption(std::string_view text, int lowest, int highest, int& value)
{
    const std::optional<int> number = ParseArgument(text, lowest, highest);
    if (number)
        value = *number;
    return number.has_value();
}

} // namespace

bool ParseShiftOptions(
    const std::vector<std::string>& arguments, size_t first, int transposeLimit, ShiftOptions& options)
{
    bool transposeSeen = false;
    bool tempoSeen = false;
    for (size_t index = first; index < arguments.size(); index += 2) {
        if (index + 1 == arguments.size())
            return false;
        const std::string& value = arguments[index + 1];
        if (arguments[index] == "--transpose" && !transposeSeen) {
            transposeSeen = true;
            if (!ParseOption(value, -transposeLimit, transposeLimit, options.transpose))
                return false;
        } else if (arguments[index] == "--tempo" && !tempoSeen) {
            tempoSeen = true;
            if (!ParseOption(value, kTempoMinimumPercent, kTempoMaximumPercent, options.tempoPercent))
                return false;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace linlangok
