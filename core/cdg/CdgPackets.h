#pragma once

#include "core/cdg/CdgScreen.h"

#include <array>
#include <cstdint>
#include <string>

// Packets of CD+G graphics as a stream holds them, kCdgPacketBytes each with zero parity bytes:
// for making streams (the tests', the benchmarks' and the screenshots' songs). Colours are
// indexes 0..15; a value is cut to the bits its field has.
namespace linlangok {

using CdgPacketData = std::array<std::uint8_t, kCdgDataBytes>;

// Any instruction of the graphics mode with its data bytes as they are.
std::string CdgPacket(ECdgInstruction instruction, const CdgPacketData& data);
std::string CdgMemoryPreset(std::uint8_t colour, std::uint8_t repeat = 0);
std::string CdgBorderPreset(std::uint8_t colour);
// A 6×12 tile at tile row 0..17 and column 0..49: each line's six low bits, the first pixel in
// the highest, pick colour1 where set and colour0 where clear (XOR: are XORed with the screen).
std::string CdgTile(std::uint8_t colour0, std::uint8_t colour1, int row, int column,
    const std::array<std::uint8_t, 12>& lines, bool exclusiveOr = false);
// Offsets 0..5 and 0..11 pixels.
std::string CdgScroll(std::uint8_t colour, ECdgScroll horizontal, int horizontalOffset, ECdgScroll vertical,
    int verticalOffset, bool copy);
std::string CdgTransparentColour(std::uint8_t colour);
// Eight 12-bit colours (0x0RGB) for entries 0..7, or 8..15 when `high`.
std::string CdgColourTable(bool high, const std::array<std::uint16_t, 8>& colours);

} // namespace linlangok
