#include "core/cdg/CdgScreen.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace linlangok {
namespace {

constexpr std::uint8_t kSixBits = 0x3F;
constexpr std::uint8_t kColourBits = 0x0F;

constexpr int kTileRows = kCdgScreenHeight / kCdgTileHeight;
constexpr int kTileColumns = kCdgScreenWidth / kCdgTileWidth;
constexpr int kBorderWidth = (kCdgScreenWidth - kCdgShownWidth) / 2;
constexpr int kBorderHeight = (kCdgScreenHeight - kCdgShownHeight) / 2;
constexpr std::uint8_t kMaximumHorizontalOffset = kCdgTileWidth - 1;
constexpr std::uint8_t kMaximumVerticalOffset = kCdgTileHeight - 1;

// A scroll byte's command; the fourth value means nothing.
ECdgScroll ScrollCommand(std::uint8_t value)
{
    const int command = (value >> 4) & 3;
    return command == 1 ? ECdgScroll::Forward : command == 2 ? ECdgScroll::Back : ECdgScroll::None;
}

// Moves `size` bytes by `shift` towards the end (forward) or the start, the bytes pushed out
// coming in at the other end.
void Rotate(std::uint8_t* bytes, size_t size, size_t shift, bool forward)
{
    std::uint8_t carried[kCdgTileHeight * kCdgScreenWidth];
    if (forward) {
        std::memcpy(carried, bytes + size - shift, shift);
        std::memmove(bytes + shift, bytes, size - shift);
        std::memcpy(bytes, carried, shift);
    } else {
        std::memcpy(carried, bytes, shift);
        std::memmove(bytes, bytes + shift, size - shift);
        std::memcpy(bytes + size - shift, carried, shift);
    }
}

std::uint32_t Argb(std::uint16_t colour, bool transparent)
{
    const std::uint32_t red = ((colour >> 8) & 0xF) * 17;
    const std::uint32_t green = ((colour >> 4) & 0xF) * 17;
    const std::uint32_t blue = (colour & 0xF) * 17;
    return (transparent ? 0u : 0xFF000000u) | red << 16 | green << 8 | blue;
}

} // namespace

bool CCdgScreen::Apply(const std::uint8_t* packet)
{
    if ((packet[kCdgCommandByte] & kSixBits) != kCdgGraphicsMode)
        return false;
    std::uint8_t data[kCdgDataBytes];
    for (size_t i = 0; i < sizeof data; ++i)
        data[i] = packet[kCdgDataByte + i] & kSixBits;
    switch (static_cast<ECdgInstruction>(packet[kCdgInstructionByte] & kSixBits)) {
    case ECdgInstruction::MemoryPreset:
        return Fill(0, 0, kCdgScreenWidth, kCdgScreenHeight, data[0] & kColourBits);
    case ECdgInstruction::BorderPreset: {
        const std::uint8_t colour = data[0] & kColourBits;
        bool changed = Fill(0, 0, kCdgScreenWidth, kBorderHeight, colour);
        changed |= Fill(0, kCdgScreenHeight - kBorderHeight, kCdgScreenWidth, kCdgScreenHeight, colour);
        changed |= Fill(0, kBorderHeight, kBorderWidth, kCdgScreenHeight - kBorderHeight, colour);
        changed |= Fill(
            kCdgScreenWidth - kBorderWidth, kBorderHeight, kCdgScreenWidth, kCdgScreenHeight - kBorderHeight, colour);
        return changed;
    }
    case ECdgInstruction::TileBlock:
        return DrawTile(data, false);
    case ECdgInstruction::TileBlockXor:
        return DrawTile(data, true);
    case ECdgInstruction::ScrollPreset:
        return Scroll(data, false);
    case ECdgInstruction::ScrollCopy:
        return Scroll(data, true);
    case ECdgInstruction::TransparentColour: {
        const std::uint8_t colour = data[0] & kColourBits;
        const bool changed = m_transparent != colour;
        m_transparent = colour;
        return changed;
    }
    case ECdgInstruction::LoadColoursLow:
        return LoadColours(data, 0);
    case ECdgInstruction::LoadColoursHigh:
        return LoadColours(data, kCdgColours / 2);
    }
    return false;
}

bool CCdgScreen::Fill(int left, int top, int right, int bottom, std::uint8_t colour)
{
    bool changed = false;
    for (int y = top; y < bottom; ++y) {
        std::uint8_t* row = &m_pixels[static_cast<size_t>(y * kCdgScreenWidth)];
        changed = changed || std::find_if(row + left, row + right, [colour](std::uint8_t pixel) {
            return pixel != colour;
        }) != row + right;
        std::memset(row + left, colour, static_cast<size_t>(right - left));
    }
    return changed;
}

bool CCdgScreen::DrawTile(const std::uint8_t* data, bool exclusiveOr)
{
    const std::uint8_t colours[2]
        = {static_cast<std::uint8_t>(data[0] & kColourBits), static_cast<std::uint8_t>(data[1] & kColourBits)};
    const int tileRow = data[2] & 0x1F;
    const int tileColumn = data[3];
    if (tileRow >= kTileRows || tileColumn >= kTileColumns)
        return false;
    bool changed = false;
    for (int line = 0; line < kCdgTileHeight; ++line) {
        const std::uint8_t bits = data[4 + line];
        std::uint8_t* row = &m_pixels[static_cast<size_t>(
            (tileRow * kCdgTileHeight + line) * kCdgScreenWidth + tileColumn * kCdgTileWidth)];
        for (int x = 0; x < kCdgTileWidth; ++x) {
            const std::uint8_t colour = colours[(bits >> (kCdgTileWidth - 1 - x)) & 1];
            const std::uint8_t drawn = exclusiveOr ? static_cast<std::uint8_t>(row[x] ^ colour) : colour;
            changed |= row[x] != drawn;
            row[x] = drawn;
        }
    }
    return changed;
}

bool CCdgScreen::Scroll(const std::uint8_t* data, bool copy)
{
    const std::uint8_t colour = data[0] & kColourBits;
    const ECdgScroll horizontal = ScrollCommand(data[1]);
    const ECdgScroll vertical = ScrollCommand(data[2]);
    const std::uint8_t horizontalOffset = std::min<std::uint8_t>(data[1] & 0x07, kMaximumHorizontalOffset);
    const std::uint8_t verticalOffset = std::min<std::uint8_t>(data[2] & 0x0F, kMaximumVerticalOffset);
    const bool changed = horizontal != ECdgScroll::None || vertical != ECdgScroll::None
        || horizontalOffset != m_horizontalOffset || verticalOffset != m_verticalOffset;
    m_horizontalOffset = horizontalOffset;
    m_verticalOffset = verticalOffset;

    // Each moves the picture by a tile, the part pushed out coming in on the other side; without
    // copy that part is filled with the colour instead.
    if (horizontal != ECdgScroll::None) {
        for (int y = 0; y < kCdgScreenHeight; ++y)
            Rotate(&m_pixels[static_cast<size_t>(y * kCdgScreenWidth)], kCdgScreenWidth, kCdgTileWidth,
                horizontal == ECdgScroll::Forward);
        if (!copy) {
            const int left = horizontal == ECdgScroll::Forward ? 0 : kCdgScreenWidth - kCdgTileWidth;
            Fill(left, 0, left + kCdgTileWidth, kCdgScreenHeight, colour);
        }
    }
    if (vertical != ECdgScroll::None) {
        Rotate(m_pixels.data(), m_pixels.size(), kCdgTileHeight * kCdgScreenWidth, vertical == ECdgScroll::Forward);
        if (!copy) {
            const int top = vertical == ECdgScroll::Forward ? 0 : kCdgScreenHeight - kCdgTileHeight;
            Fill(0, top, kCdgScreenWidth, top + kCdgTileHeight, colour);
        }
    }
    return changed;
}

bool CCdgScreen::LoadColours(const std::uint8_t* data, int first)
{
    bool changed = false;
    for (int i = 0; i < kCdgColours / 2; ++i) {
        const std::uint8_t high = data[2 * i];
        const std::uint8_t low = data[2 * i + 1];
        const auto red = static_cast<std::uint16_t>((high >> 2) & 0xF);
        const auto green = static_cast<std::uint16_t>((high & 0x3) << 2 | (low >> 4 & 0x3));
        const auto blue = static_cast<std::uint16_t>(low & 0xF);
        const auto colour = static_cast<std::uint16_t>(red << 8 | green << 4 | blue);
        changed |= m_colours[static_cast<size_t>(first + i)] != colour;
        m_colours[static_cast<size_t>(first + i)] = colour;
    }
    return changed;
}

void CCdgScreen::Render(std::uint32_t* pixels) const
{
    std::uint32_t argb[kCdgColours];
    for (int i = 0; i < kCdgColours; ++i)
        argb[i] = Argb(m_colours[static_cast<size_t>(i)], m_transparent == i);
    for (int y = 0; y < kCdgShownHeight; ++y) {
        const std::uint8_t* row = &m_pixels[static_cast<size_t>(
            (y + kBorderHeight + m_verticalOffset) * kCdgScreenWidth + kBorderWidth + m_horizontalOffset)];
        for (int x = 0; x < kCdgShownWidth; ++x)
            *pixels++ = argb[row[x]];
    }
}

// Eight pixels at a time in 64-bit words (the byte order is the machine's own, here and in
// Unpack): the even pixel of each pair goes to the high nibble.
CCdgScreen::Packed CCdgScreen::Pack() const
{
    // Left uninitialised: every byte is written below.
    Packed packed {std::unique_ptr<std::uint8_t[]>(new std::uint8_t[Packed::kPixelBytes]), m_colours, m_transparent,
        m_horizontalOffset, m_verticalOffset};
    static_assert(std::endian::native == std::endian::little && kCdgScreenWidth * kCdgScreenHeight % 8 == 0);
    for (size_t i = 0; i < m_pixels.size(); i += 8) {
        std::uint64_t eight;
        std::memcpy(&eight, &m_pixels[i], sizeof eight);
        const std::uint64_t pairs = (eight & 0x00FF00FF00FF00FFu) << 4 | (eight >> 8 & 0x00FF00FF00FF00FFu);
        const std::uint64_t halves = (pairs | pairs >> 8) & 0x0000FFFF0000FFFFu;
        const auto four = static_cast<std::uint32_t>(halves | halves >> 16);
        std::memcpy(&packed.pixels[i / 2], &four, sizeof four);
    }
    return packed;
}

void CCdgScreen::Unpack(const Packed& packed)
{
    for (size_t i = 0; i < m_pixels.size(); i += 8) {
        std::uint32_t four;
        std::memcpy(&four, &packed.pixels[i / 2], sizeof four);
        const std::uint64_t halves = (four | static_cast<std::uint64_t>(four) << 16) & 0x0000FFFF0000FFFFu;
        const std::uint64_t pairs = (halves | halves << 8) & 0x00FF00FF00FF00FFu;
        const std::uint64_t eight = (pairs >> 4 & 0x000F000F000F000Fu) | (pairs & 0x000F000F000F000Fu) << 8;
        std::memcpy(&m_pixels[i], &eight, sizeof eight);
    }
    m_colours = packed.colours;
    m_transparent = packed.transparent;
    m_horizontalOffset = packed.horizontalOffset;
    m_verticalOffset = packed.verticalOffset;
}

} // namespace linlangok
