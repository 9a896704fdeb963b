#include "tools/Commands.h"

#include "core/engine/AudioStretcher.h"

#include <charconv>

namespace linlangok {
namespace {

bool ParseNumber(const std::string& text, int lowest, int highest, int& value)
{
    const char* end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data() + (text.starts_with('+') ? 1 : 0), end, value);
    return error == std::errc() && last == end && value >= lowest && value <= highest;
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
            if (!ParseNumber(value, -transposeLimit, transposeLimit, options.transpose))
                return false;
        } else if (arguments[index] == "--tempo" && !tempoSeen) {
            tempoSeen = true;
            if (!ParseNumber(value, kTempoMinimumPercent, kTempoMaximumPercent, options.tempoPercent))
                return false;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace linlangok
