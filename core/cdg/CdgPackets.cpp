#include "core/cdg/CdgPackets.h"

namespace linlangok {

std::string CdgPacket(ECdgInstruction instruction, const CdgPacketData& data)
{
    std::string packet(kCdgPacketBytes, '\0');
    packet[kCdgCommandByte] = static_cast<char>(kCdgGraphicsMode);
    packet[kCdgInstructionByte] = static_cast<char>(instruction);
    for (size_t i = 0; i < data.size(); ++i)
        packet[kCdgDataByte + i] = static_cast<char>(data[i]);
    return packet;
}

std::string CdgMemoryPreset(std::uint8_t colour, std::uint8_t repeat)
{
    return CdgPacket(ECdgInstruction::MemoryPreset,
        {static_cast<std::uint8_t>(colour & 0xF), static_cast<std::uint8_t>(repeat & 0xF)});
}

std::string CdgBorderPreset(std::uint8_t colour)
{
    return CdgPacket(ECdgInstruction::BorderPreset, {static_cast<std::uint8_t>(colour & 0xF)});
}

std::string CdgTile(std::uint8_t colour0, std::uint8_t colour1, int row, int column,
    const std::array<std::uint8_t, 12>& lines, bool exclusiveOr)
{
    CdgPacketData data {static_cast<std::uint8_t>(colour0 & 0xF), static_cast<std::uint8_t>(colour1 & 0xF),
        static_cast<std::uint8_t>(row & 0x1F), static_cast<std::uint8_t>(column & 0x3F)};
    for (size_t line = 0; line < lines.size(); ++line)
        data[4 + line] = lines[line] & 0x3F;
    return CdgPacket(exclusiveOr ? ECdgInstruction::TileBlockXor : ECdgInstruction::TileBlock, data);
}

std::string CdgScroll(std::uint8_t colour, ECdgScroll horizontal, int horizontalOffset, ECdgScroll vertical,
    int verticalOffset, bool copy)
{
    return CdgPacket(copy ? ECdgInstruction::ScrollCopy : ECdgInstruction::ScrollPreset,
        {static_cast<std::uint8_t>(colour & 0xF),
            static_cast<std::uint8_t>(static_cast<int>(horizontal) << 4 | (horizontalOffset & 0x7)),
            static_cast<std::uint8_t>(static_cast<int>(vertical) << 4 | (verticalOffset & 0xF))});
}

std::string CdgTransparentColour(std::uint8_t colour)
{
    return CdgPacket(ECdgInstruction::TransparentColour, {static_cast<std::uint8_t>(colour & 0xF)});
}

std::string CdgColourTable(bool high, const std::array<std::uint16_t, 8>& colours)
{
    CdgPacketData data {};
    for (size_t i = 0; i < colours.size(); ++i) {
        const int red = colours[i] >> 8 & 0xF;
        const int green = colours[i] >> 4 & 0xF;
        const int blue = colours[i] & 0xF;
        data[2 * i] = static_cast<std::uint8_t>(red << 2 | green >> 2);
        data[2 * i + 1] = static_cast<std::uint8_t>((green & 0x3) << 4 | blue);
    }
    return CdgPacket(high ? ECdgInstruction::LoadColoursHigh : ECdgInstruction::LoadColoursLow, data);
}

} // namespace linlangok
