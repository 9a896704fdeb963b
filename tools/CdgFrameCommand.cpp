// cdg-frame SONG --at SECONDS OUT.png: the picture an MP3+G song shows at a song time.

#include "platform/image/PngFile.h"
#include "platform/mp3g/Mp3gSongFiles.h"
#include "tools/Commands.h"

#include <iostream>
#include <limits>
#include <stdexcept>

namespace linlangok {

int RunCdgFrameCommand(ToolContext& context)
{
    const std::vector<std::string>& arguments = context.arguments;
    if (arguments.size() != 4 || arguments[1] != "--at")
        return UsageError(kCdgFrameUsage);
    const std::optional<double> seconds = ParseArgument(arguments[2], 0.0, std::numeric_limits<double>::max());
    if (!seconds)
        return UsageError(kCdgFrameUsage);
    std::shared_ptr<const SongFrame> frame;
    try {
        frame = OpenMp3gPicture(arguments[0])->FrameAt(*seconds);
    } catch (const std::runtime_error& error) {
        std::cerr << arguments[0] << ": " << error.what() << '\n';
        return 1;
    }
    if (!SavePng(arguments[3], *frame)) {
        std::cerr << arguments[3] << ": cannot be written\n";
        return 1;
    }
    return 0;
}

} // namespace linlangok
