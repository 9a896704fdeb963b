#pragma once

#include <cstdint>
#include <string>

namespace linlangok {

// The 44-byte header of a 44.1 kHz 16-bit stereo PCM WAV file whose sample data, `dataBytes`
// bytes, follows it.
std::string CaptureFormatWavHeader(std::uint32_t dataBytes);

// The largest sample data such a file can say it holds.
inline constexpr std::uint32_t kLargestWavDataBytes = 0xFFFFFFFFu - 36;

} // namespace linlangok
