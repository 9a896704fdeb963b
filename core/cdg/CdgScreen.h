#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

// CD+G graphics: the screen that a stream of 24-byte subcode packets draws.
namespace linlangok {

inline constexpr size_t kCdgPacketBytes = 24;
inline constexpr int kCdgPacketsPerSecond = 300;
// The screen in memory, of which the middle shows: a border one tile wide and tall around it.
inline constexpr int kCdgScreenWidth = 300;
inline constexpr int kCdgScreenHeight = 216;
inline constexpr int kCdgShownWidth = 288;
inline constexpr int kCdgShownHeight = 192;
inline constexpr int kCdgTileWidth = 6;
inline constexpr int kCdgTileHeight = 12;
inline constexpr int kCdgColours = 16;

// The instructions of the graphics mode (the packet's second byte, low six bits).
enum class ECdgInstruction : std::uint8_t {
    MemoryPreset = 1,
    BorderPreset = 2,
    TileBlock = 6,
    ScrollPreset = 20,
    ScrollCopy = 24,
    TransparentColour = 28,
    LoadColoursLow = 30,
    LoadColoursHigh = 31,
    TileBlockXor = 38,
};
// The packet's first byte (low six bits) for CD+G graphics; other modes draw nothing.
inline constexpr std::uint8_t kCdgGraphicsMode = 9;
// Where the packet's parts lie; the subcode carries six bits in each byte.
inline constexpr size_t kCdgCommandByte = 0;
inline constexpr size_t kCdgInstructionByte = 1;
inline constexpr size_t kCdgDataByte = 4;
inline constexpr size_t kCdgDataBytes = 16;

// A scroll's move of the picture, per direction: none, one tile towards the right (or down), or
// one towards the left (or up).
enum class ECdgScroll : std::uint8_t { None = 0, Forward = 1, Back = 2 };

// The whole state of the screen: colour indices of all 300×216 pixels, the 16 colours, the
// transparent colour and the offsets of the shown window. Every packet, whatever its bytes, is
// applied safely: other modes and unknown instructions change nothing, and a tile outside the
// screen is not drawn. Plain value, one thread at a time.
class CCdgScreen {
public:
    // Applies one packet of kCdgPacketBytes bytes; returns whether anything changed.
    bool Apply(const std::uint8_t* packet);

    // The shown 288×192 pixels as 0xAARRGGBB, row by row, into `pixels`: the transparent colour
    // has alpha 0 (its RGB kept), the others 255.
    void Render(std::uint32_t* pixels) const;

    std::uint8_t PixelAt(int x, int y) const { return m_pixels[static_cast<size_t>(y * kCdgScreenWidth + x)]; }
    // 12-bit colours, 0x0RGB.
    const std::array<std::uint16_t, kCdgColours>& Colours() const { return m_colours; }
    std::optional<std::uint8_t> TransparentColour() const { return m_transparent; }
    int HorizontalOffset() const { return m_horizontalOffset; }
    int VerticalOffset() const { return m_verticalOffset; }

    // The state in half the bytes, two pixels a byte; Unpack brings it back exactly.
    struct Packed {
        static constexpr size_t kPixelBytes = kCdgScreenWidth * kCdgScreenHeight / 2;
        std::unique_ptr<std::uint8_t[]> pixels; // kPixelBytes
        std::array<std::uint16_t, kCdgColours> colours {};
        std::optional<std::uint8_t> transparent;
        std::uint8_t horizontalOffset = 0;
        std::uint8_t verticalOffset = 0;
    };
    Packed Pack() const;
    void Unpack(const Packed& packed);

    bool operator==(const CCdgScreen&) const = default;

private:
    bool Fill(int left, int top, int right, int bottom, std::uint8_t colour);
    bool DrawTile(const std::uint8_t* data, bool exclusiveOr);
    bool Scroll(const std::uint8_t* data, bool copy);
    bool LoadColours(const std::uint8_t* data, int first);

    std::array<std::uint8_t, kCdgScreenWidth * kCdgScreenHeight> m_pixels {};
    std::array<std::uint16_t, kCdgColours> m_colours {};
    std::optional<std::uint8_t> m_transparent;
    std::uint8_t m_horizontalOffset = 0; // 0..5 pixels
    std::uint8_t m_verticalOffset = 0; // 0..11 pixels
};

} // namespace linlangok
