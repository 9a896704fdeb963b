// Fuzz target for the CD+G decoder: the input is a stream of packets of any bytes. The frame at
// a time reached by a seek back, and by one forward past the kept screens, must be the screen
// that replaying the stream from its start gives.

#include "core/cdg/CdgPicture.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace linlangok;

std::vector<std::uint32_t> Replayed(const std::string& stream, std::uint64_t packets)
{
    CCdgScreen screen;
    for (std::uint64_t packet = 0; packet < packets; ++packet)
        screen.Apply(reinterpret_cast<const std::uint8_t*>(&stream[packet * kCdgPacketBytes]));
    std::vector<std::uint32_t> pixels(kCdgShownWidth * kCdgShownHeight);
    screen.Render(pixels.data());
    return pixels;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::string stream(reinterpret_cast<const char*>(data), size);
    CCdgPicture picture(stream);
    const std::uint64_t count = picture.PacketCount();
    const double end = static_cast<double>(count) / kCdgPacketsPerSecond;
    picture.FrameAt(end);
    for (const std::uint64_t packet : {count / 3, count * 2 / 3}) {
        const double time = static_cast<double>(packet) / kCdgPacketsPerSecond;
        const auto shown = static_cast<std::uint64_t>(std::floor(time * kCdgPacketsPerSecond)) + 1;
        const auto frame = picture.FrameAt(time);
        if (!frame || frame->pixels != Replayed(stream, std::min(shown, count)))
            std::abort();
    }
    return 0;
}
