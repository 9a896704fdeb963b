#include "platform/video/VideoMelody.h"
#include "common/WavHeader.h"
#include "core/audio/SampleFormat.h"
#include "platform/pitch/AubioPitchTracker.h"
#include "platform/video/FfmpegVideoSongs.h"
#include "tests/support/TemporaryFolder.h"
#include "tests/support/TestSinger.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace linlangok {
namespace {

// A KTV video made with the ffmpeg command: the backing on the left, the singer over it on the
// right (the default layout), in FLAC.
TEST(VideoMelodyTest, AVideosMelodyIsDerivedFromItsRightChannel)
{
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "the ffmpeg command is not installed";
    const std::vector<MelodyNote> tune = TestTune(16);
    const double seconds = tune.back().end + 1.0;
    const std::vector<float> voice = Sing(tune, SingerVoice {}, seconds).samples;
    const std::vector<float> backing = TestBacking(tune, kStreamSampleRate, seconds, 0.1);
    std::string wav = CaptureFormatWavHeader(static_cast<std::uint32_t>(voice.size() * 4));
    for (size_t at = 0; at < voice.size(); ++at) {
        for (const float sample : {backing[at], voice[at] + 0.7f * backing[at]}) {
            const std::int16_t value = FloatToInt16(sample);
            wav.append(reinterpret_cast<const char*>(&value), 2);
        }
    }
    const test::CTemporaryFolder folder;
    folder.WriteFile("sound.wav", wav);
    const std::string make = "cd '" + folder.Path().string()
        + "' && ffmpeg -v error -y -f lavfi -i color=c=black:s=64x48:r=5:d=20 -i sound.wav -map 0:v -map 1:a "
          "-c:v mpeg4 -c:a flac -shortest song.mkv";
    ASSERT_EQ(std::system(make.c_str()), 0);

    CFfmpegVideoSongs videos;
    CVideoMelodyDeriver deriver(videos, MakeAubioPitchTracker);
    const std::filesystem::path song = folder.Path() / "song.mkv";
    EXPECT_EQ(deriver.DefaultLayout(song), VocalLayout {});
    const std::optional<VocalMelodyResult> result = deriver.Derive(song, VocalLayout {}, {});
    ASSERT_TRUE(result);
    ASSERT_EQ(result->verdict, EVocalMelodyVerdict::Melody);
    EXPECT_GE(NotesFound(tune, result->melody.notes), 15u);

    const std::optional<VideoVoices> voices = DecodeVideoVoices(videos, song, VocalLayout {}, {});
    ASSERT_TRUE(voices);
    ASSERT_EQ(voices->backing.size(), voice.size());
    EXPECT_NEAR(voices->backing[voice.size() / 2], backing[voice.size() / 2], 1e-4);
    std::stop_source stop;
    stop.request_stop();
    EXPECT_FALSE(DecodeVideoVoices(videos, song, VocalLayout {}, stop.get_token()));
    EXPECT_EQ(deriver.Derive(folder.WriteFile("garbage.mkv", std::string(5000, 'x')), VocalLayout {}, {})->verdict,
        EVocalMelodyVerdict::Unreadable);
}

} // namespace
} // namespace linlangok
