#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace linlangok {

// A QR code's modules, row by row, without the quiet zone around them.
struct QrCode {
    int size = 0; // modules per side; 0 for no code
    std::vector<std::uint8_t> dark; // size * size, 1 for a dark module

    bool IsDark(int x, int y) const { return dark[static_cast<size_t>(y) * size + x] != 0; }
};

class IQrEncoder {
public:
    virtual ~IQrEncoder() = default;
    // The text (UTF-8) as a QR code at error correction level M; a code of size 0 when it is
    // too long to encode. Any thread.
    virtual QrCode Encode(std::string_view text) const = 0;
};

} // namespace linlangok
