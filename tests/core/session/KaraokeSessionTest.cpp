#include "core/session/KaraokeSession.h"
#include "core/cdg/CdgPackets.h"
#include "core/lyrics/LrcLyricView.h"
#include "midi/MidiFileWriter.h"
#include "midi/MidiSong.h"
#include "platform/fft/FftwRealFft.h"
#include "platform/mp3g/Mp3gSongFiles.h"
#include "tests/core/session/SessionRig.h"
#include "tests/platform/audio/AudioTestSignals.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

namespace linlangok {
namespace {

// The keys of the note-ons the capture device received, drums (channel 9, never transposed) left out.
std::vector<int> NoteOnKeys(const CCaptureMidiOutputList& midi)
{
    std::vector<int> keys;
    for (const std::uint32_t message : midi.ShortMessages())
        if ((message & 0xFF) != 0x99 && (message & 0xF0) == 0x90 && (message >> 16 & 0x7F) != 0)
            keys.push_back(static_cast<int>(message >> 8 & 0x7F));
    return keys;
}

class KaraokeSessionTest : public ::testing::Test {
protected:
    test::CSessionRig rig;
    CKaraokeSession& session = rig.session;
};

TEST_F(KaraokeSessionTest, PlayReloadsAndTransposesFromTheFileEachTime)
{
    EXPECT_EQ(session.Position(), 0.0);
    EXPECT_EQ(session.Length(), 0);
    session.SetAccompanimentPath(test::CSessionRig::DemoSong());
    session.Play();
    rig.Advance(2000);
    const std::vector<int> plain = NoteOnKeys(rig.midi);
    ASSERT_FALSE(plain.empty());
    EXPECT_GT(session.Length(), 40);
    EXPECT_GE(session.Position(), 1.9);

    // 127 moves each track as far up as its highest key allows; 128 is out of range and plays the
    // song as it is.
    for (const std::int32_t pitch : {127, -3, 128}) {
        rig.midi.Clear();
        session.KeyAndTempo().SetPitch(pitch);
        session.Play(); // starts again from the file, never transposing twice
        EXPECT_LT(session.Position(), 0.1);
        rig.Advance(2000);
        const std::vector<int> keys = NoteOnKeys(rig.midi);
        ASSERT_EQ(keys.size(), plain.size()) << pitch;
        for (size_t i = 0; i < keys.size(); ++i) {
            if (pitch == 127)
                EXPECT_GT(keys[i], plain[i]);
            else
                EXPECT_EQ(keys[i], plain[i] + (pitch == -3 ? -3 : 0)) << pitch;
        }
    }
}

TEST_F(KaraokeSessionTest, AnEncodingOverrideWinsOverDetectionForTheSongAndItsLrcFile)
{
    const std::string title = rig.gbk.FromWide(u"茉莉花");
    const auto lrc = rig.home.WriteFile("song.lrc", "[00:01]" + title + "\n");
    session.SetAccompanimentPath(test::CSessionRig::DemoSong());
    const std::string& big5 = session.Texts().TextEncodings().Choices()[3].name;
    // A name that finds no encoding leaves detection in charge.
    for (const std::string& name : {std::string(), big5, std::string("big5"), std::string("KOI8-R")}) {
        session.Texts().SetEncodingOverride(name);
        session.Play();
        const ICodePage* found = session.Texts().TextEncodings().Find(name);
        const ICodePage& expected = found ? *found : rig.gbk;
        EXPECT_EQ(session.Song().CodePage().Name(), expected.Name()) << name;
        EXPECT_EQ(session.Song().Title(), expected.ToWide(title)) << name;
        CLrcLyricView view(rig.gbk);
        view.Load(lrc, session.Texts().TextEncoding());
        ASSERT_EQ(view.Lines().size(), 1u);
        EXPECT_EQ(view.Lines()[0].text, expected.ToWide(title)) << name;
    }
}

TEST_F(KaraokeSessionTest, EachKindStopsTheOtherBeforePlaying)
{
    const auto wav = rig.home.Path() / "song.wav";
    test::WriteWavFile(wav, test::SineFrames(44100 * 2, 440, 0.5));
    session.SetAccompanimentPath(test::CSessionRig::DemoSong());
    session.Play();
    EXPECT_TRUE(session.Sequencer().IsPlaying());
    session.SetAccompanimentPath(Utf8ToUtf16(wav.string()));
    session.Play();
    EXPECT_EQ(session.Kind(), ESongKind::Audio);
    EXPECT_FALSE(session.Sequencer().IsPlaying());
    EXPECT_EQ(session.Length(), 2);
    session.SetAccompanimentPath(test::CSessionRig::DemoSong());
    session.Play();
    EXPECT_FALSE(session.AudioPlayer().IsOpen()); // closed
    EXPECT_TRUE(session.Sequencer().IsPlaying());
}

TEST(KaraokeSessionMp3g, AnMp3gSongPlaysWithItsPictureAndABrokenOneSaysWhy)
{
    test::CSessionDevices devices;
    SessionServices services = devices.Services();
    services.openMp3gSong = [](const std::filesystem::path& song) { return OpenMp3gSong(song); };
    CKaraokeSession session(services);
    test::WriteWavFile(devices.home.Path() / "song.wav", test::SineFrames(44100, 440, 0.5));
    devices.home.WriteFile("song.cdg", CdgColourTable(false, {0x000, 0x0F0}) + CdgMemoryPreset(1));
    session.SetAccompanimentPath(Utf8ToUtf16((devices.home.Path() / "song.wav").string()));
    session.Play();
    ASSERT_TRUE(session.Video().Picture());
    devices.Advance(100);
    EXPECT_EQ(session.Video().Picture()->FrameAt(session.Position())->pixels[0], 0xFF00FF00u);
    ASSERT_TRUE(session.Video().PictureFrame()); // what the windows draw
    EXPECT_TRUE(session.Video().PictureFrame()->pixelArt);
    EXPECT_EQ(session.Length(), 1);
    session.Stop();
    EXPECT_FALSE(session.Video().Picture());

    session.SetAccompanimentPath(Utf8ToUtf16((devices.home.WriteFile("lone.cdg", "")).string()));
    session.Play();
    EXPECT_FALSE(session.Video().Picture());
    EXPECT_FALSE(session.AudioPlayer().IsOpen());
    ASSERT_EQ(devices.prompts.m_messages.size(), 1u);
    EXPECT_EQ(devices.prompts.m_messages[0].text,
        u"播放文件时出错!\n找不到与“lone.cdg”同名的音频文件(.mp3、.ogg、.wav、.flac)");
}

// A WAV-file output paced by hand, for what a session makes heard.
struct CHeardOutput {
    explicit CHeardOutput(std::filesystem::path path)
        : file(std::move(path))
        , output(CreateWavFileAudioOutput(file, 441, std::unique_ptr<IFramePacer>(pacer)))
    {
    }
    // Half a second of the song with its original vocal, then half a second of its backing.
    void PlaySwitchingHalfWay(CKaraokeSession& session)
    {
        session.Play();
        pacer->Release(22050);
        pacer->WaitUntilIdle();
        session.SetMelody(false);
        pacer->Release(22050);
        pacer->WaitUntilIdle();
        session.Stop();
    }
    // Once the sessions on the output are gone.
    test::DecodedAudio Heard()
    {
        output.reset();
        return test::ReadAudioFile(file);
    }

    std::filesystem::path file;
    CManualPacer* pacer = new CManualPacer; // owned by the output
    std::unique_ptr<IAudioOutput> output;
};

TEST(KaraokeSessionUltraStar, ItsMixAndInstrumentalSwitchLiveItsLyricsAreItsOwnAndAMissingSoundSaysWhy)
{
    test::CSessionDevices devices;
    CHeardOutput heard(devices.home.Path() / "heard.wav");
    test::WriteWavFile(devices.home.Path() / "mix.wav", test::SineFrames(44100, 440, 0.5));
    test::WriteWavFile(devices.home.Path() / "backing.wav", test::SineFrames(88200, 220, 0.5));
    const std::filesystem::path song = devices.home.WriteFile("song.txt",
        "#TITLE:t\n#ARTIST:a\n#AUDIO:mix.wav\n#INSTRUMENTAL:backing.wav\n#BPM:60\n: 0 2 2 la\n- 3\n* 4 2 4 ha\nE\n");
    {
        CKaraokeSession session(devices.Services(nullptr, heard.output.get()));
        for (const auto& [text, message] : {std::pair {"#TITLE:t\n#BPM:60\n#AUDIO:none.wav\n: 0 2 2 la\n",
                                                u"播放文件时出错!\n找不到歌曲的音频文件“none.wav”"},
                 std::pair {"#TITLE:t\n#BPM:60\n", u"播放文件时出错!\n歌曲中没有音符"}}) {
            devices.prompts.m_messages.clear();
            session.SetAccompanimentPath(PathToUtf16(devices.home.WriteFile("broken.txt", text)));
            session.Play();
            EXPECT_FALSE(session.AudioPlayer().IsOpen());
            ASSERT_EQ(devices.prompts.m_messages.size(), 1u);
            EXPECT_EQ(devices.prompts.m_messages[0].text, message);
        }
        session.SetAccompanimentPath(PathToUtf16(song));
        session.Play();
        EXPECT_TRUE(session.Video().HasBacking());
        EXPECT_EQ(session.Length(), 2) << "as long as the longer file";
        EXPECT_EQ(session.Lyrics().Path(), PathToUtf16(song));
        ASSERT_TRUE(session.Video().UltraStar());
        EXPECT_EQ(session.Video().UltraStar()->lines.size(), 2u);
        heard.PlaySwitchingHalfWay(session); // 伴唱: the instrumental, at once
    }
    const test::DecodedAudio audio = heard.Heard();
    ASSERT_GE(audio.samples.size(), 2u * 44100);
    EXPECT_NEAR(test::PeakFrequency(audio.samples.data() + 2 * 4410, 13230, 2, 0, 44100, 100, 1000), 440, 2);
    EXPECT_NEAR(test::PeakFrequency(audio.samples.data() + 2 * 26460, 13230, 2, 0, 44100, 100, 1000), 220, 2);
}

TEST(KaraokeSessionVocalReduction, AStereoSongsBackingIsItsCentreTakenOutSwitchedLive)
{
    test::CSessionDevices devices;
    CHeardOutput heard(devices.home.Path() / "heard.wav");
    const std::filesystem::path song = devices.home.Path() / "song.wav";
    test::WriteWavFile(song, test::VoiceFrames(44100, 330, 0.3, 0.3, {{1500, 0.2, 0}}));
    {
        SessionServices services = devices.Services(nullptr, heard.output.get());
        services.makeFft = CFftwRealFft::Create;
        CKaraokeSession session(services);
        session.SetAccompanimentPath(PathToUtf16(song));
        session.RecallSong();
        EXPECT_TRUE(session.Video().HasBacking());
        heard.PlaySwitchingHalfWay(session);
    }
    const test::DecodedAudio audio = heard.Heard();
    ASSERT_GE(audio.samples.size(), 2u * 44100);
    std::vector<float> frames(audio.samples.begin(), audio.samples.end());
    const auto level = [&](size_t from, double hertz) { return test::Level(&frames[2 * from], 13230, 2, 0, hertz); };
    EXPECT_GT(level(4410, 330) - level(26460, 330), 20) << "the centre voice is gone after the switch";
    EXPECT_NEAR(level(4410, 1500), level(26460, 1500), 1) << "the tone on the left stays";
}

TEST_F(KaraokeSessionTest, TheSongEndsAtItsExactLengthNotItsWholeSeconds)
{
    const auto wav = rig.home.Path() / "song.wav";
    test::WriteWavFile(wav, test::SineFrames(44100 * 3 / 2, 440, 0.5)); // 1.5 s
    for (const std::u16string& path : {Utf8ToUtf16(wav.string()), test::CSessionRig::DemoSong()}) {
        session.SetAccompanimentPath(path);
        session.Play();
        const double length = session.Kind() == ESongKind::Midi ? session.Song().LengthSeconds() : 1.5;
        ASSERT_GT(length - session.Length(), 0.2) << "a length with a fraction";
        rig.Advance(static_cast<std::uint32_t>(session.Length() * 1000 + 100));
        EXPECT_FALSE(session.HasReachedEnd()); // the last fraction of a second still plays
        // The decode thread wakes in real time to deliver the file's last frames.
        for (int wait = 0; wait < 400 && !session.HasReachedEnd(); ++wait) {
            rig.Advance(10);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_TRUE(session.HasReachedEnd()) << session.Position() << " of " << length;
    }
}

TEST_F(KaraokeSessionTest, AMidiSongAtEightyPercentPlaysItsNotesAndLyricsInSongTime)
{
    session.SetAccompanimentPath(test::CSessionRig::DemoSong());
    session.KeyAndTempo().SetTempoPercent(10);
    EXPECT_EQ(session.KeyAndTempo().TempoPercent(), 50);
    session.KeyAndTempo().SetTempoPercent(80);
    session.Play();
    CMidiSong& song = session.Song();
    const double tickSeconds = song.TicksToSeconds(1); // the demo keeps one tempo
    std::uint32_t real = 0;
    for (const std::uint32_t step : {1000u, 4000u, 7000u}) {
        // A change waits for the next Play.
        session.KeyAndTempo().SetTempoPercent(120);
        rig.Advance(step);
        real += step;
        // The lyrics run on the position, the notes on the ticks: both are at 0.8 × real time.
        EXPECT_NEAR(session.Position(), real * 0.0008, 1e-9);
        EXPECT_NEAR(song.TicksToSeconds(session.Sequencer().Clock().Timer().TickCounter()), real * 0.0008, tickSeconds);
    }
    const double length = song.LengthSeconds();
    EXPECT_EQ(session.Length(), static_cast<std::int32_t>(length));
    rig.Advance(static_cast<std::uint32_t>(length / 0.8 * 1000) - real - 20);
    EXPECT_FALSE(session.HasReachedEnd());
    rig.Advance(40);
    EXPECT_TRUE(session.HasReachedEnd());
    session.Play();
    rig.Advance(1000);
    EXPECT_NEAR(session.Position(), 1.2, 1e-9);
}

// A header of format 7 is refused after the song was cleared: neither the lyric view nor the
// sequencer's players (which the session's Stop walks) keep a track of the song before it.
TEST_F(KaraokeSessionTest, AMidiFileRefusedAfterClearingTheSongLeavesNoTrackBehindAndNoLength)
{
    struct : ILyricTrackView {
        void SetLyricTrack(const CMidiTrack* shown) override { track = shown; }
        const CMidiTrack* track = nullptr;
    } view;
    session.Lyrics().Attach(nullptr, &view);
    session.SetAccompanimentPath(test::CSessionRig::DemoSong());
    session.Play();
    EXPECT_EQ(view.track, session.Song().LyricTrack());
    EXPECT_NE(view.track, nullptr);
    const std::string badHeader("MThd\0\0\0\x06\0\x07\0\x01\0\x60", 14);
    session.SetAccompanimentPath(Utf8ToUtf16(rig.home.WriteFile("bad.mid", badHeader).string()));
    session.Play();
    session.Lyrics().Attach(nullptr, nullptr);
    EXPECT_EQ(view.track, nullptr);
    EXPECT_EQ(session.Length(), 0); // not the length of the song before it
    EXPECT_EQ(session.Position(), 0.0);
    EXPECT_TRUE(session.HasReachedEnd());
    EXPECT_FALSE(session.Sequencer().IsPlaying());
}

TEST_F(KaraokeSessionTest, SavingATransposedCopyLeavesThePlayingSongAloneAndAnUnreadableFileGivesNone)
{
    session.SetAccompanimentPath(test::CSessionRig::DemoSong());
    session.Play();
    rig.Advance(1500);
    const CMidiTrack* playingTrack = &session.Song().Track(1);
    const std::vector<int> before = NoteOnKeys(rig.midi);

    session.KeyAndTempo().SetPitch(2);
    const auto copy = rig.home.Path() / "copy.mid";
    session.SaveTransposed(copy);

    EXPECT_EQ(&session.Song().Track(1), playingTrack);
    EXPECT_TRUE(session.Sequencer().IsPlaying());
    rig.midi.Clear();
    rig.Advance(3000);
    EXPECT_GE(session.Position(), 4.4);
    EXPECT_FALSE(NoteOnKeys(rig.midi).empty()); // the song plays on, untransposed

    // The copy holds what Save As writes for the song transposed by 2.
    CMidiSong expected(rig.gbk);
    ASSERT_TRUE(expected.Load(Utf16ToPath(test::CSessionRig::DemoSong())));
    for (size_t track = 0; track < expected.TrackCount(); ++track)
        expected.Track(track).Transpose(2);
    const auto expectedPath = rig.home.Path() / "expected.mid";
    ASSERT_TRUE(CMidiFileWriter(expected, rig.prompts).Write(expectedPath, u""));
    EXPECT_EQ(test::ReadWholeFile(copy), test::ReadWholeFile(expectedPath));

    // A copy of an unreadable file is not written.
    const auto target = rig.home.WriteFile("target.mid", "keep me");
    session.SetAccompanimentPath(Utf8ToUtf16(rig.home.WriteFile("bad.mid", "not midi").string()));
    session.SaveTransposed(target);
    EXPECT_EQ(test::ReadWholeFile(target), "keep me");
    EXPECT_EQ(rig.prompts.m_messages.size(), 1u); // and nothing before
}

// Gives every song the same measure, at once.
struct CFixedLoudnessAnalyser final : ISongLoudnessAnalyser {
    std::optional<LoudnessMeasure> Analyse(const std::filesystem::path&, ESongKind, std::stop_token) override
    {
        return LoudnessMeasure {-30.0, -6.0};
    }
};

// The largest sample the output played.
struct CPeakTap final : IAudioTap {
    void OnPlayed(const float* mix, size_t frames, const AudioBufferTiming&) noexcept override
    {
        for (size_t i = 0; i < 2 * frames; ++i)
            peak = std::max(peak, std::abs(mix[i]));
    }
    float peak = 0.0f;
};

TEST(KaraokeSessionLeveling, PlayTakesTheGainOfTheMeasureKnownThenAndKeepsItToTheNextPlay)
{
    test::CSessionDevices rig;
    CFixedLoudnessAnalyser analyser;
    SessionServices services = rig.Services();
    services.loudnessAnalyser = &analyser;
    const auto wav = rig.home.Path() / "song.wav";
    test::WriteWavFile(wav, test::SineFrames(44100 * 2, 440, 0.5));
    CPeakTap tap;
    ASSERT_TRUE(rig.audioOutput->AddTap(tap));
    const auto playFor = [&](CKaraokeSession& session) {
        tap.peak = 0.0f;
        session.Play();
        rig.Advance(300);
        return tap.peak;
    };
    {
        CKaraokeSession session(services);
        session.SetAccompanimentPath(test::CSessionRig::DemoSong());
        session.Play();
        EXPECT_EQ(session.Leveling().GainDb(), kLevelingTargetLufs - kTypicalMidiLufs); // not measured yet
        session.SetAccompanimentPath(Utf8ToUtf16(wav.string()));
        EXPECT_NEAR(playFor(session), 0.5 * std::pow(10.0, (kLevelingTargetLufs - kTypicalAudioLufs) / 20), 0.01);
        // The measure arrives while the song plays, and waits for the next Play.
        for (size_t measured = 0; measured < 2 && rig.uiThread.WaitForTask(std::chrono::seconds(10));)
            measured += rig.uiThread.RunPending();
        EXPECT_EQ(session.Leveling().GainDb(), kLevelingTargetLufs - kTypicalAudioLufs);
        const float limited = playFor(session);
        EXPECT_EQ(session.Leveling().GainDb(), 12.0);
        EXPECT_LE(limited, std::pow(10.0, kLevelingCeilingDbtp / 20)); // 0.5 at +12 dB is 2.0
        EXPECT_GT(limited, 0.7);
        session.Leveling().SetOn(false);
        EXPECT_EQ(session.Leveling().GainDb(), 12.0); // the song plays on as it is
        EXPECT_NEAR(playFor(session), 0.5, 0.01);
        EXPECT_EQ(session.Leveling().GainDb(), std::nullopt);
    }
    // The song remembers its measure.
    CKaraokeSession session(rig.Services());
    session.SetAccompanimentPath(Utf8ToUtf16(wav.string()));
    session.Play();
    EXPECT_EQ(session.Leveling().GainDb(), 12.0);
    rig.audioOutput->RemoveTap(tap);
}

} // namespace
} // namespace linlangok
