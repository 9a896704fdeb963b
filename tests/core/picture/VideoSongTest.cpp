#include "core/picture/PictureFit.h"
#include "core/picture/VideoPicture.h"
#include "core/playback/ChannelPick.h"
#include "core/session/VocalLayout.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <random>

namespace linlangok {
namespace {

using namespace std::chrono_literals;

// Ten seconds of pictures at 25 a second from `start` on, each holding its number, with a key
// picture every ten.
class CCountingFrames final : public IVideoFrameDecoder {
public:
    explicit CCountingFrames(std::atomic<int>& converted, double start = 0.0)
        : m_converted(converted)
        , m_start(start)
    {
    }
    double FrameSeconds() const override { return 0.04; }
    std::optional<DecodedPicture> DecodeNext(SongFrame& frame, double keepFrom) override
    {
        if (m_next >= 250)
            return std::nullopt;
        const double seconds = m_next * 0.04 + m_start;
        const bool keep = !IsPictureOver(seconds, 0.04, keepFrom);
        if (keep) {
            frame = {1, 1, {static_cast<std::uint32_t>(m_next)}, 0.0, false, 0};
            ++m_converted;
        }
        ++m_next;
        return DecodedPicture {seconds, keep};
    }
    void Seek(double seconds) override
    {
        m_next = std::min(static_cast<int>(std::floor(seconds * 25 + 1e-9)), 249) / 10 * 10;
    }

private:
    std::atomic<int>& m_converted;
    double m_start;
    int m_next = 0;
};

int ShownPicture(CVideoPicture& picture, double seconds)
{
    const auto frame = picture.WaitForFrameAt(seconds, 5s);
    return frame ? static_cast<int>(frame->pixels.at(0)) : -1;
}

TEST(VideoPicture, ThePictureDueIsShownInStepAndAfterAnySeek)
{
    std::atomic<int> converted {0};
    CVideoPicture picture(std::make_unique<CCountingFrames>(converted));
    for (double seconds = 0.0; seconds < 1.0; seconds += 0.013)
        ASSERT_EQ(ShownPicture(picture, seconds), static_cast<int>(std::floor(seconds * 25 + 1e-9))) << seconds;
    // A jump of a second decodes on without converting what is already over.
    const int before = converted;
    EXPECT_EQ(ShownPicture(picture, 2.0), 50);
    // (What the worker had room for at the old time, and the queue at the new one, are converted.)
    EXPECT_LE(converted - before, 2 * static_cast<int>(CVideoPicture::kAheadPictures) + 2);
    // Within a picture's length before the one shown, that one stays: the time heard steps back
    // that little when the tempo rises, which is no seek.
    std::mt19937 random(20);
    for (int seek = 0; seek < 20; ++seek) {
        const double seconds = std::uniform_real_distribution<double>(0.0, 9.9)(random);
        EXPECT_NEAR(ShownPicture(picture, seconds), std::floor(seconds * 25 + 1e-9), 1.0) << seconds;
    }
    EXPECT_EQ(ShownPicture(picture, 9.99), 249);
    EXPECT_EQ(ShownPicture(picture, 30.0), 249); // the last one stays after the end
}

// Picture 6 is due at 0.251 and picture 7 at 0.291, which, in doubles, lies just after the time
// 0.291 that the player gives in whole milliseconds, while 0.251 + 0.04 does not.
TEST(VideoPicture, ThePictureBeforeTheDueOneSurvivesTimesThatRoundOver)
{
    std::atomic<int> converted {0};
    CVideoPicture picture(std::make_unique<CCountingFrames>(converted, 0.011));
    EXPECT_EQ(ShownPicture(picture, 0.0), -1); // none is due yet
    EXPECT_EQ(ShownPicture(picture, 0.291), 6);
}

TEST(PictureFit, VideoKeepsItsDisplayAspectAndPixelArtScalesByWholePixels)
{
    struct Row {
        SongFrame frame;
        int areaWidth;
        int areaHeight;
        PicturePlace place;
    };
    const Row rows[] = {
        {{640, 360, {}, 16.0 / 9}, 400, 400, {0, 87, 400, 225}},
        {{720, 576, {}, 16.0 / 9}, 1280, 720, {0, 0, 1280, 720}}, // a wide DVD picture
        {{720, 576, {}, 0.0}, 1000, 500, {187, 0, 625, 500}}, // no aspect: its own
        {{288, 192, {}, 4.0 / 3, true}, 1000, 700, {68, 62, 864, 576}}, // three times
        {{288, 192, {}, 4.0 / 3, true}, 150, 150, {0, 25, 150, 100}}, // smaller than the picture
        {{0, 0, {}}, 100, 100, {}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(FitPicture(row.frame, row.areaWidth, row.areaHeight), row.place) << row.frame.width;
}

TEST(VocalLayout, TheLayoutSaysWhichTracksDecodeAndWhichChannelsAreHeard)
{
    using EPlace = VocalLayout::EPlace;
    struct Row {
        VocalLayout asked;
        int tracks;
        VocalLayout fitted;
        std::vector<int> decoded;
        ChannelPick original;
        ChannelPick backing;
        std::string text;
        std::u16string label;
    };
    const Row rows[] = {
        {{}, 1, {EPlace::RightChannel}, {0}, {1, 1}, {0, 0}, "right", u"右声道原唱"},
        {{EPlace::LeftChannel}, 2, {EPlace::LeftChannel}, {0}, {0, 0}, {1, 1}, "left", u"左声道原唱"},
        {DefaultVocalLayout(2), 2, {EPlace::Track, 0}, {0, 1}, {0, 1}, {2, 3}, "track 1", u"音轨 1"},
        {{EPlace::Track, 1}, 2, {EPlace::Track, 1}, {0, 1}, {2, 3}, {0, 1}, "track 2", u"音轨 2"},
        {{EPlace::Track, 2}, 3, {EPlace::Track, 2}, {0, 2}, {2, 3}, {0, 1}, "track 3", u"音轨 3"},
        {{EPlace::Track, 2}, 2, {EPlace::Track, 0}, {0, 1}, {0, 1}, {2, 3}, "track 1", u"音轨 1"}, // gone
        {{EPlace::Track, 1}, 1, {EPlace::RightChannel}, {0}, {1, 1}, {0, 0}, "right", u"右声道原唱"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        const VocalLayout fitted = FitVocalLayout(row.asked, row.tracks);
        EXPECT_EQ(fitted, row.fitted);
        EXPECT_EQ(DecodedTracks(fitted), row.decoded);
        EXPECT_EQ(HeardChannels(fitted, true), row.original);
        EXPECT_EQ(HeardChannels(fitted, false), row.backing);
        EXPECT_EQ(VocalLayoutText(fitted), row.text);
        EXPECT_EQ(ParseVocalLayout(row.text), fitted);
        EXPECT_EQ(VocalLayoutLabel(fitted), row.label);
    }
    for (const char* text : {"", "middle", "track", "track 0", "track 100", "track 1x", "Left"})
        EXPECT_EQ(ParseVocalLayout(text), std::nullopt) << text;
    EXPECT_EQ(VocalLayoutChoices(2, 2).size(), 4u);
    EXPECT_EQ(VocalLayoutChoices(1, 2).size(), 2u);
    EXPECT_TRUE(VocalLayoutChoices(1, 1).empty()); // one mono track: nothing to switch
}

TEST(ChannelPicker, ASwitchFadesOverWithoutAGapAndAPickOutsideTheFramesHearsTheFirstPair)
{
    std::vector<float> quad;
    for (int frame = 0; frame < 400; ++frame)
        quad.insert(quad.end(), {0.1f, 0.2f, 0.3f, 0.4f});
    CChannelPicker picker;
    picker.Start(4, {0, 1});
    std::vector<float> heard(2 * 400, 0.0f);
    picker.MixInto(heard.data(), quad.data(), 10);
    picker.Pick({2, 3});
    picker.MixInto(&heard[20], &quad[40], 390);
    EXPECT_FLOAT_EQ(heard[0], 0.1f);
    for (size_t frame = 10; frame < 400; ++frame) {
        EXPECT_GE(heard[frame * 2], heard[frame * 2 - 2] - 1e-6f); // rises steadily, never dips
        EXPECT_LE(heard[frame * 2], 0.3f + 1e-6f);
    }
    EXPECT_FLOAT_EQ(heard[(10 + CChannelPicker::kFadeFrames) * 2], 0.3f);
    EXPECT_FLOAT_EQ(heard[(10 + CChannelPicker::kFadeFrames) * 2 + 1], 0.4f);
    picker.Start(2, {2, 3});
    EXPECT_EQ(picker.Heard(), (ChannelPick {0, 1}));
}

} // namespace
} // namespace linlangok
