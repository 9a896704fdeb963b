#include "platform/render/RenderSong.h"
#include "tools/Commands.h"

#include <charconv>
#include <iostream>

namespace linlangok {
namespace {

bool ParseTranspose(const std::string& text, int& semitones)
{
    const char* end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data() + (text.starts_with('+') ? 1 : 0), end, semitones);
    return error == std::errc() && last == end && semitones >= -127 && semitones <= 127;
}

} // namespace

int RunRenderCommand(ToolContext& context)
{
    const auto& arguments = context.arguments;
    if (arguments.size() < 2)
        return UsageError(kRenderUsage);
    RenderOptions options;
    for (size_t index = 2; index < arguments.size(); ++index) {
        if (arguments[index] == "--no-melody")
            options.melody = false;
        else if (arguments[index] != "--transpose" || ++index == arguments.size()
            || !ParseTranspose(arguments[index], options.transpose))
            return UsageError(kRenderUsage);
    }
    const auto result = RenderSong(context.prompts, context.codePage, arguments[0], arguments[1], options);
    if (!result)
        return 1;
    std::cout << arguments[1] << ": " << static_cast<double>(result->frames) / 44100 << " s\n";
    return 0;
}

} // namespace linlangok
