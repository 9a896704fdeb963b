// linlangok-tool play, record, calibrate, sing and encode, run as the user runs them, on the WAV-file devices.
#include "core/cdg/CdgPackets.h"
#include "core/controller/SongScoring.h"
#include "core/performance/LatencyCalibration.h"
#include "midi/MidiSong.h"
#include "tests/platform/audio/AudioTestSignals.h"
#include "tests/support/Latin1CodePage.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "tests/support/TemporaryFolder.h"
#include "tests/support/TestSinger.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sys/wait.h>

namespace linlangok {
namespace {

class AudioToolTest : public testing::Test {
protected:
    // Runs the tool in the temporary folder (also its program folder); returns the exit code.
    int Run(const std::string& environment, const std::string& arguments)
    {
        const std::string command = "cd '" + m_folder.Path().string() + "' && LINLANGOK_HOME=. " + environment
            + " '" LINLANGOK_TOOL "' " + arguments + " > output.txt 2> errors.txt";
        const int status = std::system(command.c_str());
        m_output = test::ReadWholeFile(m_folder.Path() / "output.txt");
        m_errors = test::ReadWholeFile(m_folder.Path() / "errors.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Runs a shell command in the temporary folder; true when it succeeds.
    bool Shell(const std::string& command) const
    {
        return std::system(("cd '" + m_folder.Path().string() + "' && " + command).c_str()) == 0;
    }

    test::CTemporaryFolder m_folder;
    std::string m_output;
    std::string m_errors;
};

TEST_F(AudioToolTest, PlayWritesTheFileToTheWavDeviceAndReportsPosition)
{
    // What reaches the device sample for sample is AudioPlayerTest's matter.
    test::WriteWavFile(m_folder.Path() / "song.wav", test::ChirpFrames(22050, 300, 3000, 0.5));
    ASSERT_EQ(Run("LINLANGOK_AUDIO_OUT=wav:out.wav", "play song.wav"), 0) << m_errors;
    EXPECT_EQ(m_output, "position 0.0 s, length 0 s\nposition 0.5 s, length 0 s\n");
    EXPECT_EQ(m_errors, "");
    EXPECT_GE(test::ReadAudioFile(m_folder.Path() / "out.wav").samples.size(), 22050u * 2);

    EXPECT_EQ(Run("LINLANGOK_AUDIO_OUT=null", "play missing.mp3"), 1);
    EXPECT_EQ(m_errors, "错误: 播放文件时出错!\n");
    EXPECT_EQ(Run("LINLANGOK_AUDIO_OUT=wav:no/such/folder.wav", "play song.wav"), 1);
    EXPECT_EQ(m_errors, "Can't create WAV file no/such/folder.wav.\n");
    EXPECT_EQ(Run("", "play"), 2);
}

TEST_F(AudioToolTest, ScoreJudgesASungTakeAgainstTheSongsMelodyAtItsKeyAndLatency)
{
    const std::string song = LINLANGOK_SOURCE_DIR "/resources/demo/jasmine.mid";
    const test::CLatin1CodePage codePage;
    CMidiSong midi(codePage);
    ASSERT_TRUE(midi.Load(std::filesystem::path(song)).loaded);
    const std::optional<ReferenceMelody> melody = MidiSongMelody(midi);
    ASSERT_TRUE(melody);
    ASSERT_EQ(Run("", "melody '" + song + "'"), 0) << m_errors;
    EXPECT_TRUE(m_output.starts_with("{\"reference\":\"midi\",\"notes\":[{\"start\":")) << m_output;
    EXPECT_EQ(std::count(m_output.begin(), m_output.end(), '{'), std::ptrdiff_t(melody->notes.size() + 1));

    // The singer sings the melody an octave down, heard 150 ms late.
    SingerVoice voice;
    voice.semitones = -12;
    const SungVoice sung = Sing(melody->notes, voice, melody->notes.back().end + 1);
    std::vector<std::int16_t> frames(2 * (6615 + sung.samples.size()), 0);
    for (size_t at = 0; at < sung.samples.size(); ++at)
        frames[2 * (6615 + at)] = frames[2 * (6615 + at) + 1] = std::int16_t(std::lround(sung.samples[at] * 32767));
    test::WriteWavFile(m_folder.Path() / "voice.wav", frames);
    const auto scoreOf = [&](const std::string& options) {
        EXPECT_EQ(Run("", "score '" + song + "' voice.wav " + options), 0) << m_errors;
        const size_t at = m_output.find("{\"score\":");
        return at == std::string::npos ? -1 : std::atoi(m_output.c_str() + at + 9);
    };
    EXPECT_GE(scoreOf("--latency-ms 150"), 95) << m_output;
    EXPECT_LE(scoreOf("--latency-ms 150 --transpose 2"), 10) << "two semitones off the song's new key";
    EXPECT_NEAR(scoreOf("--latency-ms 150 --transpose 2 --difficulty easy"), 60, 10)
        << "half credit, vibrato peaks nearer";
    EXPECT_NE(m_output.find("\"word\":\"不错\""), std::string::npos) << m_output;
    EXPECT_TRUE(m_output.ends_with(",\"reference\":\"midi\"}\n")) << m_output;

    EXPECT_EQ(Run("", "score voice.wav voice.wav"), 1);
    EXPECT_NE(m_errors.find("本歌曲无评分数据"), std::string::npos) << m_errors;
    EXPECT_EQ(Run("", "score '" + song + "' voice.wav --difficulty expert"), 2);
}

TEST_F(AudioToolTest, CdgFrameWritesThePictureAtASongTime)
{
    m_folder.WriteFile("song.cdg",
        CdgColourTable(false, {0x000, 0xF00, 0x0F0}) + std::string(148 * 24, '\0') + CdgMemoryPreset(1)
            + CdgTile(1, 2, 1, 1, {0x20}));
    ASSERT_EQ(Run("", "cdg-frame song.cdg --at 0.5 frame.png"), 0) << m_errors;
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, (m_folder.Path() / "frame.png").c_str()));
    image.format = PNG_FORMAT_BGRA;
    std::vector<std::uint32_t> pixels(image.width * image.height);
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
    EXPECT_EQ(image.width, 288u);
    EXPECT_EQ(image.height, 192u);
    EXPECT_EQ(pixels[0], 0xFF00FF00u);
    EXPECT_EQ(pixels[1], 0xFFFF0000u);
    EXPECT_EQ(Run("", "cdg-frame missing.zip --at 1 frame.png"), 1);
    EXPECT_EQ(m_errors, "missing.zip: 无法打开压缩包: 文件不存在\n");
    EXPECT_EQ(Run("", "cdg-frame song.cdg --at -1 frame.png"), 2);
}

TEST_F(AudioToolTest, CatalogFrameAndRenderSayWhatWentWrongAndFfmpegStaysQuiet)
{
    // An empty catalogue is set aside and said; a damaged video is listed, without FFmpeg's lines.
    m_folder.WriteFile("Catalog.db", "");
    std::filesystem::create_directory(m_folder.Path() / "songs");
    m_folder.WriteFile("songs/broken.mkv", std::string("\x1A\x45\xDF\xA3", 4) + std::string(4000, '\x01'));
    EXPECT_EQ(Run("", "catalog add songs"), 0);
    EXPECT_EQ(m_errors,
        "警告: 歌库数据库是空文件、已损坏或不是本程序的文件，已改名为 Catalog.db.damaged，歌库已重建，"
        "请重新扫描歌曲文件夹。\nunreadable: "
            + (m_folder.Path() / "songs/broken.mkv").string() + "\n");
    m_folder.WriteFile("refused.zip", "no archive");
    EXPECT_EQ(Run("", "render-audio refused.zip out.wav"), 1);
    EXPECT_EQ(m_errors, "错误: 播放文件时出错!\n无法打开压缩包: Not a zip archive\n");
    if (!Shell("ffmpeg -version >/dev/null 2>&1"))
        GTEST_SKIP() << "the ffmpeg command is not installed";
    ASSERT_TRUE(Shell("ffmpeg -v error -f lavfi -i color=s=64x48:d=1 -f lavfi -i sine=d=1 -c:v mpeg4 "
                      "-bsf:v noise=dropamount=1 a.mkv"));
    EXPECT_EQ(Run("", "frame a.mkv --at 0.5 frame.png"), 1); // every picture dropped
    EXPECT_EQ(m_errors, "错误: 视频文件中的画面无法解码: a.mkv\n");
}

// Times in seconds from the audio's start: #GAP 1000 ms, then a beat is 60 / (4 × 150) s.
TEST_F(AudioToolTest, InfoLyricsAndCatalogReadAnUltraStarSong)
{
    std::filesystem::create_directory(m_folder.Path() / "songs");
    m_folder.WriteFile("songs/song.txt",
        "#VERSION:1.1.0\n#TITLE:月光\n#ARTIST:小明\n#AUDIO:月光.wav\n#BPM:150\n#GAP:1000\n"
        ": 0 4 60 月\n: 4 4 62 光\n- 10\n* 12 6 64 照\nF 20 2 0 啊\nE\n");
    test::WriteWavFile(m_folder.Path() / "songs/月光.wav", std::vector<std::int16_t>(8000), 8000, 1);
    ASSERT_EQ(Run("", "info songs/song.txt"), 0) << m_errors;
    EXPECT_TRUE(m_output.starts_with(R"({"version":"1.1.0","encoding":"UTF-8",)")) << m_output;
    EXPECT_NE(m_output.find(R"("voices":1,"notes":4,"lines":2,"length_seconds":3.2)"), std::string::npos) << m_output;
    ASSERT_EQ(Run("", "lyrics songs/song.txt"), 0) << m_errors;
    EXPECT_EQ(m_output,
        R"({"encoding":"UTF-8","syllables":[{"time":1.000,"end":1.400,"text":"月","pitch":60,)"
        R"("type":"normal","voice":1,"line_break":false},{"time":1.400,"end":1.800,"text":"光",)"
        R"("pitch":62,"type":"normal","voice":1,"line_break":false},{"time":2.200,)"
        R"("end":2.800,"text":"照","pitch":64,"type":"golden","voice":1,"line_break":true},)"
        R"({"time":3.000,"end":3.200,"text":"啊","pitch":0,"type":"freestyle","voice":1,"line_break":false}]})"
        "\n");
    ASSERT_EQ(Run("", "catalog add songs"), 0) << m_errors;
    EXPECT_TRUE(m_output.starts_with(R"({"songs":1,)")) << "its sound is no song of its own: " << m_output;
    ASSERT_EQ(Run("", "catalog search yg"), 0) << m_errors;
    EXPECT_NE(m_output.find(R"("title":"月光","singer":"小明","path":")" + m_folder.Path().string()
                  + R"(/songs/song.txt","kind":"txt","length_ms":1000,)"),
        std::string::npos)
        << m_output;
}

TEST_F(AudioToolTest, GbkAndFfNamedSongsGoFromAListToPlay)
{
    const std::string folder = m_folder.Path().string();
    const std::string gbk = folder + "/\xD6\xD0\xCE\xC4.wav"; // 中文 in GBK
    const std::string ff = folder + "/a\xFF.wav";
    for (const std::string& song : {gbk, ff})
        test::WriteWavFile(song, test::SineFrames(4410, 440, 0.5));
    ASSERT_EQ(Run("LINLANGOK_CODEPAGE=GBK", "list create l.kpl '" + gbk + "' '" + ff + "'"), 0) << m_errors;
    ASSERT_EQ(Run("LINLANGOK_CODEPAGE=GBK", "list show l.kpl"), 0) << m_errors;
    EXPECT_EQ(m_output,
        "{\"name\":\"\",\"flag\":0,\"songs\":[{\"name\":\"中文.wav\",\"path\":\"" + folder
            + "/\\udcd6\\udcd0\\udcce\\udcc4.wav\",\"flag\":0},{\"name\":\"a\uFFFD.wav\",\"path\":\"" + folder
            + "/a\\udcff.wav\",\"flag\":0}]}\n");
    for (const std::string& song : {gbk, ff}) {
        ASSERT_EQ(Run("LINLANGOK_AUDIO_OUT=wav:out.wav", "play '" + song + "'"), 0) << m_errors;
        EXPECT_GE(test::ReadAudioFile(m_folder.Path() / "out.wav").samples.size(), 4410u * 2);
    }
}

TEST_F(AudioToolTest, RecordSavesWhatTheInputDeviceCapturesAtItsLevelAndLength)
{
    test::WriteWavFile(m_folder.Path() / "voice.wav", test::SineFrames(44100, 440, 0.5));
    ASSERT_EQ(Run("LINLANGOK_AUDIO_IN=wav:voice.wav", "record take.mp3 --seconds 0.5"), 0) << m_errors;
    EXPECT_EQ(m_output, "recording 0.5 s from wav:voice.wav\n");
    const auto take = test::ReadAudioFile(m_folder.Path() / "take.mp3");
    EXPECT_NEAR(test::MeasureSound(take.samples).frames, 22050, 50);
    EXPECT_NEAR(test::MeasureSound(take.samples).level, -9.03, 0.2);
    EXPECT_EQ(test::PeakFrequency(take.samples.data() + 4410 * 2, 4096, 2, 0, 44100, 400, 480), 440);
    EXPECT_FALSE(std::filesystem::exists(m_folder.Path() / ".$$a.tmp"));

    EXPECT_EQ(Run("LINLANGOK_AUDIO_IN=wav:missing.wav", "record x.mp3 --seconds 1"), 1);
    EXPECT_EQ(m_errors, "错误: Can't open WaveIN Device.\n");
    for (const char* arguments : {"record x.mp3 --seconds 0", "record x.mp3 --seconds 1s", "record x.mp3"})
        EXPECT_EQ(Run("LINLANGOK_AUDIO_IN=null", arguments), 2) << arguments;
    EXPECT_EQ(Run("LINLANGOK_AUDIO_IN=null,latency=x", "record x.mp3 --seconds 1"), 1);
    EXPECT_EQ(
        m_errors, "LINLANGOK_AUDIO_IN=null,latency=x: the latency must be a whole number of milliseconds, 0 to 5000\n");
    EXPECT_FALSE(std::filesystem::exists(m_folder.Path() / "x.mp3"));
}

TEST_F(AudioToolTest, CalibrateRefusesABadLoopbackAndKeepsItsCorrectionForTheNextSing)
{
    EXPECT_EQ(Run("LINLANGOK_AUDIO_OUT=loopback:x LINLANGOK_AUDIO_IN=loopback", "calibrate"), 1);
    EXPECT_EQ(
        m_errors, "LINLANGOK_AUDIO_OUT=loopback:x: the loopback output is loopback:MS, a delay of 0 to 5000 ms\n");
    EXPECT_EQ(Run("LINLANGOK_AUDIO_OUT=null", "calibrate now"), 2);
    EXPECT_EQ(m_output, "");
    // The round trip itself, in real time on a loaded machine, is the calibration tests' matter.
    const std::string loopback = "LINLANGOK_AUDIO_OUT=loopback:87 LINLANGOK_AUDIO_IN=loopback";
    ASSERT_EQ(Run(loopback, "calibrate"), 0) << m_errors;
    test::CScriptedUserPrompts prompts;
    const auto stored = LoadLatencyCorrection(m_folder.Path(), prompts);
    ASSERT_TRUE(stored);
    EXPECT_GT(stored->correctionMs, 0);

    test::WriteWavFile(m_folder.Path() / "song.wav", test::ChirpFrames(44100, 300, 3000, 0.5));
    ASSERT_EQ(Run(loopback, "sing song.wav voice.mp3 --seconds 1 --performance mix.WAV --balance 70"), 0) << m_errors;
    const std::string prefix = "{\"alignment_ms\":";
    ASSERT_EQ(m_output.substr(0, prefix.size()), prefix);
    EXPECT_NEAR(std::stod(m_output.substr(prefix.size())), stored->correctionMs, 1e-6);
    EXPECT_GE(test::ReadAudioFile(m_folder.Path() / "mix.WAV").samples.size() / 2, 44100u);
    EXPECT_TRUE(std::filesystem::exists(m_folder.Path() / "voice.mp3"));
    EXPECT_EQ(Run(loopback, "sing song.wav voice.mp3 --seconds 1 --balance 70"), 2);
}

TEST_F(AudioToolTest, EncodeWritesAnMp3OfTheSameLevelAndLength)
{
    test::WriteWavFile(m_folder.Path() / "in.wav", test::SineFrames(44100 * 5 / 2, 440, 0.5));
    m_folder.WriteFile("out.mp3", "an older file");
    ASSERT_EQ(Run("", "encode in.wav out.mp3"), 0) << m_errors;
    EXPECT_EQ(m_errors, "");
    const auto decoded = test::ReadAudioFile(m_folder.Path() / "out.mp3");
    EXPECT_GE(decoded.samples.size() / 2, 44100u * 5 / 2);
    EXPECT_LE(decoded.samples.size() / 2, 44100u * 5 / 2 + 1105 + 2 * 1152);
    EXPECT_EQ(test::PeakFrequency(decoded.samples.data() + 44100 * 2, 4096, 2, 0, 44100, 400, 480), 440);
    EXPECT_NEAR(test::MeasureSound(decoded.samples).level, -9.03, 0.2);
    EXPECT_FALSE(std::filesystem::exists(m_folder.Path() / ".$$a.tmp"));

    test::WriteWavFile(m_folder.Path() / "mono.wav", test::SineFrames(100, 440, 0.3, 44100, 1), 44100, 1);
    EXPECT_EQ(Run("", "encode mono.wav x.mp3"), 1);
    EXPECT_EQ(m_errors, "mono.wav: not a 44.1 kHz stereo sound file\n");
    EXPECT_EQ(Run("", "encode missing.wav x.mp3"), 1);
    EXPECT_NE(m_errors.find("missing.wav: "), std::string::npos);
    EXPECT_EQ(Run("", "encode in.wav no-such-folder/x.mp3"), 1);
    EXPECT_NE(m_errors.find("错误: 无法保存文件 no-such-folder/x.mp3"), std::string::npos) << m_errors;
    EXPECT_EQ(Run("", "encode in.wav"), 2);
    EXPECT_FALSE(std::filesystem::exists(m_folder.Path() / "x.mp3"));
}

TEST_F(AudioToolTest, RenderAudioAndPlayTakeAKeyAndATempo)
{
    test::WriteWavFile(m_folder.Path() / "song.wav", test::SineFrames(44100, 440, 0.5));
    ASSERT_EQ(Run("", "render-audio song.wav out.wav --transpose +2 --tempo 80 --no-normalize"), 0) << m_errors;
    EXPECT_EQ(m_output, "out.wav: 1.25 s\n");
    const auto rendered = test::ReadAudioFile(m_folder.Path() / "out.wav");
    ASSERT_EQ(rendered.samples.size(), 55125u * 2);
    EXPECT_NEAR(test::Cents(test::ToneFrequency(&rendered.samples[4410 * 2], 44100, 2, 0), 493.883), 0.0, 3.0);
    EXPECT_NEAR(test::MeasureSound(rendered.samples).level, -9.03, 0.2);

    // Leveled as the session plays the song, unless told not to.
    ASSERT_EQ(Run("", "loudness song.wav"), 0) << m_errors;
    const double gainDb = std::stod(m_output.substr(m_output.find("\"gain_db\":") + 10));
    EXPECT_NEAR(gainDb, -11.7, 0.5); // a 440 Hz sine at half scale: -6.3 LUFS
    for (const auto& [option, gain] : {std::pair {"", std::pow(10.0, gainDb / 20)}, {" --no-normalize", 1.0}}) {
        ASSERT_EQ(Run("", std::string("render-audio song.wav level.wav") + option), 0) << m_errors;
        const auto level = test::ReadAudioFile(m_folder.Path() / "level.wav").samples;
        EXPECT_NEAR(*std::max_element(level.begin(), level.end()), 16383 * gain, 30) << option;
    }

    m_folder.WriteFile("kept.wav", "an older file");
    for (const std::string arguments : {"--transpose 13", "--transpose +-2", "--tempo 49", "--tempo 151",
             "--transpose 1 --transpose 2", "--transpose", "--pitch 2"})
        EXPECT_EQ(Run("", "render-audio song.wav kept.wav " + arguments), 2) << arguments;
    EXPECT_EQ(Run("", "render-audio missing.mp3 kept.wav"), 1);
    EXPECT_EQ(m_errors, "错误: 播放文件时出错!\n");
    EXPECT_EQ(test::ReadWholeFile(m_folder.Path() / "kept.wav"), "an older file");

    // One second of song at 125 %: positions in song time, 0.8 s of sound three semitones down.
    ASSERT_EQ(Run("LINLANGOK_AUDIO_OUT=wav:played.wav", "play song.wav --transpose -3 --tempo 125"), 0) << m_errors;
    EXPECT_EQ(m_output, "position 0.0 s, length 1 s\nposition 1.0 s, length 1 s\n");
    const auto played = test::ReadAudioFile(m_folder.Path() / "played.wav");
    const size_t start = test::FirstSoundingFrame(played.samples);
    ASSERT_GE(played.samples.size() / 2, start + 35280);
    EXPECT_NEAR(test::Cents(test::ToneFrequency(&played.samples[(start + 4410) * 2], 26460, 2, 0), 369.994), 0.0, 3.0);
    EXPECT_EQ(Run("LINLANGOK_AUDIO_OUT=null", "play song.wav --transpose 13"), 2);
    EXPECT_EQ(Run("LINLANGOK_AUDIO_OUT=null", "play song.mid --tempo 151"), 2);
}

// The video commands on a KTV video of two seconds made with the ffmpeg command: 440 Hz (the
// backing) on the left, 880 Hz (the vocal) on the right, pictures numbered as sixteen bars.
TEST_F(AudioToolTest, VideoCommandsDescribeRenderAndShowAVideoSong)
{
    if (!Shell("ffmpeg -version >/dev/null 2>&1"))
        GTEST_SKIP() << "the ffmpeg command is not installed";
    ASSERT_TRUE(Shell("ffmpeg -v error -f lavfi -i \"color=s=64x48:r=25:d=2,geq=lum='if(bitand(N\\,pow(2\\,floor(X/4)))"
                      "\\,235\\,16)':cb=128:cr=128\" -f lavfi -i sine=f=440:d=2 -f lavfi -i sine=f=880:d=2 "
                      "-filter_complex '[1:a][2:a]join=inputs=2:channel_layout=stereo' -c:v mpeg2video -c:a mp2 "
                      "-b:a 256k ktv.mpg"));
    ASSERT_EQ(Run("", "info-video ktv.mpg"), 0) << m_errors;
    EXPECT_NE(m_output.find("\"audio_tracks\":1,\"picture\":true,\"vocal_layout\":\"right\",\"vocal_label\":"
                            "\"右声道原唱\",\"remembered\":false,\"choices\":[\"left\",\"right\"]}"),
        std::string::npos)
        << m_output;

    // The switch in a render: the vocal, then from 1 s on the backing, with no gap at the switch.
    ASSERT_EQ(Run("", "render-video-audio ktv.mpg out.wav --switch-at 1 --no-normalize"), 0) << m_errors;
    const auto heard = test::ReadAudioFile(m_folder.Path() / "out.wav").samples;
    ASSERT_GE(heard.size(), 2u * 88000);
    EXPECT_EQ(test::PeakFrequency(&heard[2 * 22050], 4410, 2, 1, 44100, 300, 1000), 880);
    EXPECT_EQ(test::PeakFrequency(&heard[2 * 44100], 2205, 2, 0, 44100, 300, 1000), 440);
    EXPECT_EQ(test::PeakFrequency(&heard[2 * 44100], 2205, 2, 1, 44100, 300, 1000), 440);
    for (size_t frame = 44100 - 2205; frame < 44100 + 2205; frame += 110)
        EXPECT_GT(std::abs(*std::max_element(&heard[2 * frame], &heard[2 * (frame + 220)],
                      [](std::int16_t a, std::int16_t b) { return std::abs(a) < std::abs(b); })),
            1000)
            << frame;

    // The picture shown at 1.5 s of song time, the song played at 150 %: picture 37.
    ASSERT_EQ(Run("", "frame ktv.mpg --at 1.5 picture.png --tempo 150"), 0) << m_errors;
    EXPECT_EQ(m_output, "picture.png: 64x48, picture 37\n");
    EXPECT_EQ(test::ReadWholeFile(m_folder.Path() / "picture.png").substr(1, 3), "PNG");
    EXPECT_EQ(Run("", "frame ktv.mpg picture.png"), 2);
    m_folder.WriteFile("bad.mpg", std::string(5000, 'x'));
    EXPECT_EQ(Run("", "info-video bad.mpg"), 1);
    EXPECT_NE(m_errors.find("无法读取视频文件"), std::string::npos);
}

} // namespace
} // namespace linlangok
