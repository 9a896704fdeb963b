#include "core/cdg/CdgPackets.h"
#include "core/cdg/CdgPicture.h"
#include "core/cdg/Mp3gSong.h"

#include <gtest/gtest.h>

#include <random>

namespace linlangok {
namespace {

constexpr std::uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kYellow = 0xFFFFFF00;
constexpr std::uint32_t kBlack = 0xFF000000, kWhite = 0xFFFFFFFF;
constexpr std::array<std::uint8_t, 12> kLetter {0x21, 0x12, 0x0C, 0x0C, 0x12, 0x21, 0x3F, 0x00, 0x2A, 0x15, 0x3F, 0x01};
constexpr auto kNone = ECdgScroll::None, kForward = ECdgScroll::Forward, kBack = ECdgScroll::Back;

// Colours 0..7 black, red, green, blue, yellow, cyan, magenta, white; 8..15 darker ones.
std::string Palette()
{
    return CdgColourTable(false, {0x000, 0xF00, 0x0F0, 0x00F, 0xFF0, 0x0FF, 0xF0F, 0xFFF})
        + CdgColourTable(true, {0x800, 0x080, 0x008, 0x880, 0x088, 0x808, 0x888, 0x444});
}

// The letter tile in yellow with red strokes on a blue screen, at tile row and column.
std::string Letter(int row, int column)
{
    return Palette() + CdgMemoryPreset(3) + CdgTile(4, 1, row, column, kLetter);
}

std::string Twice(const std::string& packet)
{
    return packet + packet;
}

std::string Raw(std::uint8_t command, std::uint8_t instruction, std::uint8_t data0)
{
    std::string packet = CdgMemoryPreset(0);
    packet[kCdgCommandByte] = static_cast<char>(command);
    packet[kCdgInstructionByte] = static_cast<char>(instruction);
    packet[kCdgDataByte] = static_cast<char>(data0);
    return packet;
}

size_t Hash(const SongFrame& frame)
{
    return std::hash<std::string_view> {}(
        {reinterpret_cast<const char*>(frame.pixels.data()), frame.pixels.size() * 4});
}

struct Probe {
    int x, y;
    std::uint32_t argb;
};

struct StreamCase {
    const char* name;
    std::string stream;
    std::vector<Probe> probes;
    std::uint64_t hash;
};

TEST(CdgScreenTest, EveryInstructionDrawsTheFrameItShould)
{
    const std::string blueLetter = Letter(1, 1), red = Palette() + CdgMemoryPreset(1);
    const std::vector<StreamCase> cases {
        {"empty stream", "", {{0, 0, kBlack}, {287, 191, kBlack}}, 1524619639897578328u},
        {"memory preset", red, {{0, 0, kRed}, {287, 191, kRed}}, 12884154135931587719u},
        {"memory preset, high colour", Palette() + CdgMemoryPreset(9), {{100, 100, 0xFF008800}}, 6488762935493781091u},
        {"memory preset repeated", Palette() + CdgMemoryPreset(2, 1), {{5, 5, kGreen}}, 12931336364458625443u},
        {"border preset unseen", red + CdgBorderPreset(3), {{0, 0, kRed}, {287, 191, kRed}}, 12884154135931587719u},
        {"border seen through the offsets", red + CdgBorderPreset(3) + CdgScroll(0, kNone, 5, kNone, 11, false),
            {{287, 191, kBlue}, {0, 0, kRed}, {281, 179, kRed}}, 15577378535748407358u},
        {"tile", blueLetter, {{0, 0, kRed}, {1, 0, kYellow}, {5, 0, kRed}, {6, 0, kBlue}, {0, 12, kBlue}},
            16870470392494692519u},
        {"tile in the border unseen", Letter(0, 0), {{0, 0, kBlue}}, 13417132035112331835u},
        {"tile at the last shown place", Letter(16, 48), {{287, 191, kRed}, {282, 191, kYellow}, {281, 191, kBlue}},
            12762855474771946235u},
        {"tiles past the screen", Letter(18, 1) + CdgTile(4, 1, 31, 1, kLetter) + CdgTile(4, 1, 1, 50, kLetter),
            {{0, 0, kBlue}, {287, 0, kBlue}}, 13417132035112331835u},
        {"xor tile", red + CdgTile(0, 6, 1, 1, kLetter, true), {{0, 0, kWhite}, {1, 0, kRed}}, 9425382957106965038u},
        {"xor tile twice", red + Twice(CdgTile(0, 6, 1, 1, kLetter, true)), {{0, 0, kRed}}, 12884154135931587719u},
        {"xor with both colours", Palette() + CdgMemoryPreset(2) + CdgTile(3, 0, 1, 1, kLetter, true),
            {{0, 0, kGreen}, {1, 0, kRed}}, 288899500162732286u},
        {"xor over a tile", blueLetter + CdgTile(5, 5, 1, 1, {0x3F, 0x3F}, true),
            {{0, 0, kYellow}, {1, 0, kRed}, {0, 2, kRed}}, 157979937891314810u},
        {"scroll preset right", blueLetter + Twice(CdgScroll(2, kForward, 0, kNone, 0, false)),
            {{0, 0, kGreen}, {12, 0, kRed}, {13, 0, kYellow}, {18, 0, kBlue}}, 5970978098998911762u},
        {"scroll preset left", Letter(1, 3) + Twice(CdgScroll(2, kBack, 0, kNone, 0, false)),
            {{0, 0, kRed}, {1, 0, kYellow}, {287, 0, kGreen}, {281, 0, kBlue}}, 16133662554874965550u},
        {"scroll preset down", blueLetter + Twice(CdgScroll(2, kNone, 0, kForward, 0, false)),
            {{0, 0, kGreen}, {0, 24, kRed}, {1, 24, kYellow}, {0, 12, kBlue}}, 6937315680487016266u},
        {"scroll preset up", Letter(3, 1) + Twice(CdgScroll(2, kNone, 0, kBack, 0, false)),
            {{0, 0, kRed}, {0, 191, kGreen}, {0, 179, kBlue}}, 8780012065836521258u},
        {"scroll copy right wraps", Letter(1, 49) + Twice(CdgScroll(2, kForward, 0, kNone, 0, true)),
            {{0, 0, kRed}, {1, 0, kYellow}, {287, 0, kBlue}}, 16870470392494692519u},
        {"scroll copy left wraps", Letter(1, 0) + Twice(CdgScroll(2, kBack, 0, kNone, 0, true)),
            {{282, 0, kRed}, {283, 0, kYellow}, {0, 0, kBlue}}, 7464460108314097467u},
        {"scroll copy down wraps", Letter(17, 1) + Twice(CdgScroll(2, kNone, 0, kForward, 0, true)),
            {{0, 0, kRed}, {1, 0, kYellow}, {0, 191, kBlue}}, 16870470392494692519u},
        {"scroll copy up wraps", Letter(0, 1) + Twice(CdgScroll(2, kNone, 0, kBack, 0, true)),
            {{0, 180, kRed}, {1, 180, kYellow}, {0, 0, kBlue}}, 15477507603228476155u},
        {"scroll both ways", blueLetter + CdgScroll(2, kForward, 0, kForward, 0, false),
            {{6, 12, kRed}, {7, 12, kYellow}, {0, 0, kBlue}}, 8655596380515874143u},
        {"horizontal offset", blueLetter + CdgScroll(0, kNone, 3, kNone, 0, false),
            {{0, 0, kYellow}, {2, 0, kRed}, {3, 0, kBlue}}, 2113588467337881364u},
        {"vertical offset", blueLetter + CdgScroll(0, kNone, 0, kNone, 7, false),
            {{0, 0, kYellow}, {0, 1, kRed}, {0, 5, kBlue}}, 7753746288922936701u},
        {"horizontal offset past a tile", blueLetter + CdgScroll(0, kNone, 7, kNone, 0, false),
            {{0, 0, kRed}, {1, 0, kBlue}}, 3054925121471133986u},
        {"vertical offset past a tile", blueLetter + CdgScroll(0, kNone, 0, kNone, 15, false),
            {{0, 0, kYellow}, {5, 0, kRed}, {0, 1, kBlue}}, 3922723370166986613u},
        {"offsets back to zero",
            blueLetter + CdgScroll(0, kNone, 4, kNone, 9, true) + CdgScroll(0, kNone, 0, kNone, 0, true),
            {{0, 0, kRed}, {1, 0, kYellow}}, 16870470392494692519u},
        {"transparent colour", blueLetter + CdgTransparentColour(3), {{0, 0, kRed}, {10, 10, 0x000000FF}},
            9750435461531019700u},
        {"transparent colour changed", blueLetter + CdgTransparentColour(3) + CdgTransparentColour(4),
            {{10, 10, kBlue}, {1, 0, 0x00FFFF00}, {0, 0, kRed}}, 3025306969517362161u},
        {"palette reloaded",
            blueLetter + CdgColourTable(false, {0xFFF, 0xF0F, 0x0FF, 0xFF0, 0x00F, 0x0F0, 0xF00, 0x000}),
            {{0, 0, 0xFFFF00FF}, {1, 0, 0xFF0000FF}, {10, 10, kYellow}}, 7089719989408348932u},
        {"high colours only",
            CdgColourTable(true, {0x800, 0x080, 0x008, 0x880, 0x088, 0x808, 0x888, 0x444}) + CdgMemoryPreset(8)
                + CdgTile(1, 15, 1, 1, kLetter),
            {{0, 0, 0xFF444444}, {1, 0, kBlack}, {10, 10, 0xFF880000}}, 13935299284640785364u},
        {"high colours reloaded", Palette() + CdgMemoryPreset(8) + CdgColourTable(true, {0x123}),
            {{10, 10, 0xFF112233}}, 9615855525626929431u},
        {"other modes draw nothing", red + Raw(0x0A, 1, 2) + Raw(0x00, 1, 2), {{0, 0, kRed}}, 12884154135931587719u},
        {"upper bits of the command and the instruction", red + Raw(0xC9, 0xC1, 2), {{0, 0, kGreen}},
            12931336364458625443u},
        {"unknown instructions", red + Raw(0x09, 3, 2) + Raw(0x09, 0x3F, 2), {{0, 0, kRed}}, 12884154135931587719u},
        {"upper bits of the data", red + Raw(0x09, 1, 0xF2), {{0, 0, kGreen}}, 12931336364458625443u},
        {"last packet cut short", red + CdgMemoryPreset(2).substr(0, 23), {{0, 0, kRed}}, 12884154135931587719u},
        {"memory preset clears the tiles", blueLetter + CdgMemoryPreset(5), {{0, 0, 0xFF00FFFF}, {1, 0, 0xFF00FFFF}},
            3510406573333872717u},
        {"scroll command that means nothing", blueLetter + Raw(0x09, 20, 0).replace(5, 1, 1, '\x32'),
            {{0, 0, kYellow}, {3, 0, kRed}}, 3804783954416047340u},
        {"border brought in by a copy", red + CdgBorderPreset(3) + CdgScroll(0, kForward, 0, kNone, 0, true),
            {{0, 0, kBlue}, {6, 0, kRed}, {287, 191, kRed}}, 5553943246390120819u},
        {"xor after a scroll",
            Palette() + CdgMemoryPreset(0) + CdgTile(4, 1, 1, 1, kLetter) + CdgScroll(0, kForward, 0, kNone, 0, true)
                + CdgTile(4, 1, 1, 2, kLetter, true),
            {{6, 0, kBlack}, {7, 0, kBlack}, {0, 0, kBlack}}, 1524619639897578328u},
    };
    for (const StreamCase& test : cases) {
        CCdgPicture picture(test.stream);
        const auto frame = picture.FrameAt(1e9);
        ASSERT_TRUE(frame) << test.name;
        ASSERT_EQ(frame->pixels.size(), size_t {288 * 192}) << test.name;
        for (const Probe& probe : test.probes)
            EXPECT_EQ(frame->pixels[static_cast<size_t>(probe.y * 288 + probe.x)], probe.argb)
                << test.name << " at " << probe.x << "," << probe.y;
        EXPECT_EQ(Hash(*frame), test.hash) << test.name;
    }
}

// Ten seconds of every instruction at random, tiles the most.
std::string RandomStream(std::mt19937& random)
{
    std::string stream = Palette();
    auto next = [&random](int limit) { return static_cast<std::uint8_t>(random() % static_cast<unsigned>(limit)); };
    while (stream.size() < 3000 * kCdgPacketBytes) {
        const std::array<std::uint8_t, 12> lines {
            next(64), next(64), next(64), next(64), next(64), next(64), next(64), next(64)};
        const std::uint8_t colour = next(16), kind = next(100);
        const auto scroll = [&next] { return static_cast<ECdgScroll>(next(3)); };
        if (kind < 85)
            stream += CdgTile(colour, next(16), next(19), next(51), lines, next(2) == 1);
        else if (kind < 90)
            stream += CdgScroll(colour, scroll(), next(6), scroll(), next(12), next(2) == 1);
        else if (kind < 93)
            stream
                += CdgColourTable(next(2) == 1, {lines[0], lines[1], lines[2], lines[3], lines[4], lines[5], next(64)});
        else
            stream += kind < 95 ? CdgMemoryPreset(colour)
                : kind < 98     ? CdgBorderPreset(colour)
                                : CdgTransparentColour(colour);
    }
    return stream;
}

TEST(CdgPictureTest, FrameAtAnyTimeAfterAnySeekIsTheScreenAfterItsPacket)
{
    std::mt19937 random(7);
    const std::string stream = RandomStream(random);
    CCdgPicture picture(stream);
    std::vector<double> times {0.0, 1.0 / 300, 0.5, 9.99, 10.0, 3.0, 2.999, 1.0, 1.0, 0.0, 120.0};
    for (int i = 0; i < 30; ++i)
        times.push_back(std::uniform_real_distribution<double>(0.0, 10.5)(random));
    for (double time : times) {
        CCdgScreen expected;
        for (std::uint64_t packet = 0;
             packet <= std::min<std::uint64_t>(static_cast<std::uint64_t>(std::floor(time * 300)), 2999); ++packet)
            expected.Apply(reinterpret_cast<const std::uint8_t*>(&stream[packet * kCdgPacketBytes]));
        std::vector<std::uint32_t> pixels(288 * 192);
        expected.Render(pixels.data());
        ASSERT_EQ(picture.FrameAt(time)->pixels, pixels) << "at " << time;
    }
    EXPECT_EQ(picture.FrameAt(-0.01), nullptr);
    EXPECT_EQ(picture.FrameAt(std::nan("")), nullptr);
    EXPECT_EQ(picture.FrameAt(120.0), picture.FrameAt(130.0)) << "an unchanged picture is the same frame";
}

TEST(Mp3gSongTest, MemberNamesThatClimbOutAreUnsafe)
{
    for (const char* name : {"song.cdg", "a/b/song.mp3", "..song.mp3", "a..b/c.cdg", "songs/./x.mp3"})
        EXPECT_TRUE(IsSafeMemberName(name)) << name;
    for (const char* name : {"", "../song.mp3", "a/../../song.cdg", "/etc/passwd", "\\server\\x.mp3", "a\\..\\..\\x",
             "C:song.mp3", "c:/x.cdg", "a/.."})
        EXPECT_FALSE(IsSafeMemberName(name)) << name;
}

} // namespace
} // namespace linlangok
