#include "platform/render/RenderSong.h"
#include "midi/MidiSong.h"
#include "platform/codepage/IconvCodePage.h"
#include "platform/midi/MidiOutputDeviceList.h"
#include "tests/midi/MidiTestSupport.h"
#include "tests/platform/audio/AudioTestSignals.h"
#include "tests/support/FileAccess.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "tests/support/TemporaryFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace linlangok {
namespace {

using test::CScriptedUserPrompts;
using test::CTemporaryFolder;

using Audio = test::DecodedAudio;

double Seconds(const Audio& wav)
{
    return double(wav.samples.size() / 2) / wav.rate;
}

// Root mean square of the left channel between two times, full scale = 1.
double Loudness(const Audio& wav, double from, double to)
{
    const size_t first = static_cast<size_t>(from * wav.rate);
    const size_t last = std::min(wav.samples.size() / 2, static_cast<size_t>(to * wav.rate));
    double sum = 0.0;
    for (size_t frame = first; frame < last; ++frame)
        sum += std::pow(wav.samples[frame * wav.channels] / 32768.0, 2);
    return last > first ? std::sqrt(sum / double(last - first)) : 0.0;
}

// Seconds of the first left sample louder than the threshold at or after `from`; -1 if none.
double FirstLoud(const Audio& wav, double from, double threshold)
{
    for (size_t frame = static_cast<size_t>(from * wav.rate); frame < wav.samples.size() / 2; ++frame) {
        if (std::abs(wav.samples[frame * wav.channels] / 32768.0) > threshold)
            return double(frame) / wav.rate;
    }
    return -1.0;
}

// The frequency (Hz) where the left channel's energy peaks between two times.
double PitchBetween(const Audio& wav, double from, double to)
{
    const auto first = static_cast<size_t>(from * wav.rate);
    return test::PeakFrequency(wav.samples.data() + first * wav.channels, static_cast<size_t>((to - from) * wav.rate),
        wav.channels, 0, wav.rate, 200, 2000);
}

size_t ClippedSamples(const Audio& wav)
{
    return std::count_if(wav.samples.begin(), wav.samples.end(),
        [](std::int16_t sample) { return sample == 32767 || sample == -32768; });
}

// A format 0 file of division 96 whose track holds `events` and its End of Track.
std::string Format0Song(const std::string& events)
{
    return test::SmfHeader(0, 1, 96) + test::SmfTrack(events + test::kEnd);
}

// 500000 µs per quarter, a flute: the events after the program change.
std::string FluteSong(const std::string& notes)
{
    return Format0Song(std::string("\x00\xFF\x51\x03\x07\xA1\x20\x00\xC0\x49", 10) + notes);
}

bool HaveSoundFont()
{
    return FindSoundFont(std::getenv("LINLANGOK_SOUNDFONT")).has_value();
}

class RenderSongTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveSoundFont())
            GTEST_SKIP() << "no SoundFont in /usr/share/sounds/sf2 and LINLANGOK_SOUNDFONT unset";
        // C5 for a quarter note at beats 0 and 2.
        m_song = m_folder.WriteFile("two notes.mid",
            FluteSong(std::string("\x00\x90\x48\x64\x60\x80\x48\x00\x60\x90\x48\x64\x60\x80\x48\x00", 16)));
    }

    Audio Render(const RenderOptions& options)
    {
        const auto wav = m_folder.Path() / "out.wav";
        const auto result = RenderSong(m_prompts, m_gbk, m_song, wav, options);
        EXPECT_TRUE(result.has_value()) << testing::PrintToString(m_prompts.MessageTexts());
        return test::ReadAudioFile(wav);
    }

    // Runs linlangok-tool in the folder; expects it to succeed.
    void RunTool(const std::string& command)
    {
        const int status
            = std::system(("cd '" + m_folder.Path().string() + "' && " + command + " 2> errors.txt").c_str());
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0)
            << test::ReadWholeFile(m_folder.Path() / "errors.txt");
    }

    CTemporaryFolder m_folder;
    CScriptedUserPrompts m_prompts;
    const CIconvCodePage m_gbk {"GBK"};
    std::filesystem::path m_song;
};

TEST_F(RenderSongTest, NotesSoundWhereTheSongPutsThemAndTransposeMovesThem)
{
    const Audio wav = Render({});
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.rate, 44100);
    EXPECT_EQ(test::ReadWholeFile(m_folder.Path() / "out.wav").substr(34, 2), std::string("\x10\x00", 2)); // 16 bits
    // The last event is at 1.5 s; the flute's release follows.
    EXPECT_GT(Seconds(wav), 1.5);
    EXPECT_LT(Seconds(wav), 1.5 + kMaximumTailSeconds);
    EXPECT_GT(Loudness(wav, 0.1, 0.4), 0.01);
    EXPECT_GT(Loudness(wav, 1.1, 1.4), 0.01);
    EXPECT_LT(Loudness(wav, 0.8, 0.98), Loudness(wav, 0.1, 0.4) / 10);
    EXPECT_EQ(ClippedSamples(wav), 0u);
    // Each note sounds at its time, after the flute's attack.
    const double first = FirstLoud(wav, 0.0, 0.002);
    const double second = FirstLoud(wav, 0.9, 0.002);
    EXPECT_GT(first, 0.0);
    EXPECT_LT(first, 0.04);
    EXPECT_NEAR(second - first, 1.0, 0.0015);

    // Transposition moves C5 an octave up.
    EXPECT_NEAR(PitchBetween(wav, 0.1, 0.4), 523.3, 3.0);
    RenderOptions options;
    options.transpose = 12;
    EXPECT_NEAR(PitchBetween(Render(options), 0.1, 0.4), 1046.5, 6.0);
}

// Division 96: side-stick hits at uneven ticks, 500000 µs per quarter up to tick 384 and 250000
// from there on. Returns the bytes and each hit's seconds on the tempo map.
std::string ClickSong(std::vector<double>& hitSeconds)
{
    const auto delta = [](std::int32_t ticks) { return test::VariableLength(static_cast<std::uint32_t>(ticks)); };
    std::string events = std::string("\x00\xFF\x51\x03\x07\xA1\x20", 7);
    std::int32_t last = 0;
    for (std::int32_t tick : {0, 100, 250, 390, 494, 614, 717}) {
        if (last < 384 && tick >= 384) {
            events += delta(384 - last) + std::string("\xFF\x51\x03\x03\xD0\x90", 6);
            last = 384;
        }
        events += delta(tick - last) + "\x99\x25\x7F" + delta(10) + std::string("\x89\x25\x00", 3);
        last = tick + 10;
        hitSeconds.push_back(tick <= 384 ? tick * 0.5 / 96 : 2.0 + (tick - 384) * 0.25 / 96);
    }
    return Format0Song(events);
}

TEST_F(RenderSongTest, EveryNoteSoundsAtItsTempoMapTimeWithinOneSynthesizerBlock)
{
    std::vector<double> hits;
    m_song = m_folder.WriteFile("clicks.mid", ClickSong(hits));
    struct Case {
        size_t bufferFrames;
        int tempoPercent;
    };
    for (const Case& row : {Case {64, 100}, Case {441, 80}, Case {4096, 150}}) {
        SCOPED_TRACE(testing::Message() << row.bufferFrames << " frames at " << row.tempoPercent << " %");
        RenderOptions options;
        options.bufferFrames = row.bufferFrames;
        options.tempoPercent = row.tempoPercent;
        const Audio wav = Render(options);
        // The same attack on every hit: the onsets minus the hits' times differ only by the
        // synthesizer's 64-frame blocks, whatever the tempo, the timer periods and the buffer,
        // and the hits are not held back by the two ticks the sequencer sends them late.
        std::vector<double> errors;
        for (double hit : hits) {
            const double at = hit * 100 / row.tempoPercent;
            const double onset = FirstLoud(wav, std::max(0.0, at - 0.003), 0.05);
            ASSERT_GT(onset, 0.0) << "hit at " << at;
            errors.push_back(onset - at);
        }
        const auto [lowest, highest] = std::minmax_element(errors.begin(), errors.end());
        EXPECT_LE((*highest - *lowest) * wav.rate, 64.5) << testing::PrintToString(errors);
        EXPECT_LT(*highest, 0.003);
    }
}

TEST_F(RenderSongTest, WithoutTheMelodyTheSongSoundsAsIfItsNotesWereNotThere)
{
    // Format 0: the melody (flute, channel 0) meets the syllables and ends last; a piano holds C3.
    const auto events = [](bool melody) {
        const auto part = [melody](std::string_view bytes) { return melody ? std::string(bytes) : std::string(); };
        using namespace std::string_view_literals;
        return std::string("\x00\xC1\x00\x00\xFF\x05\x01\x61"sv) + part("\x00\x90\x48\x64"sv)
            + std::string("\x00\x91\x30\x64\x60\xFF\x05\x01\x62"sv) + part("\x00\x80\x48\x00\x00\x90\x4A\x64"sv)
            + std::string("\x60\x81\x30\x00"sv) + part("\x60\x80\x4A\x00"sv);
    };
    m_folder.WriteFile("with.mid", FluteSong(events(true)));
    m_folder.WriteFile("without.mid", FluteSong(events(false)));
    RunTool("'" LINLANGOK_TOOL "' render with.mid muted.wav --no-melody --transpose 0 --no-normalize");
    const auto result
        = RenderSong(m_prompts, m_gbk, m_folder.Path() / "without.mid", m_folder.Path() / "plain.wav", {});
    ASSERT_TRUE(result.has_value());
    const Audio muted = test::ReadAudioFile(m_folder.Path() / "muted.wav");
    const Audio plain = test::ReadAudioFile(m_folder.Path() / "plain.wav");
    EXPECT_GT(Loudness(plain, 0.1, 0.9), 0.001);
    EXPECT_EQ(muted.samples.size(), plain.samples.size());
    EXPECT_TRUE(muted.samples == plain.samples);
}

TEST_F(RenderSongTest, FailuresLeaveNoFileBehind)
{
    EXPECT_FALSE(RenderSong(m_prompts, m_gbk, m_folder.Path() / "missing.mid", m_folder.Path() / "a.wav", {}));
    EXPECT_FALSE(m_prompts.m_messages.empty());
    m_prompts.m_messages.clear();
    EXPECT_FALSE(RenderSong(m_prompts, m_gbk, m_song, m_folder.Path() / "no folder" / "a.wav", {}));
    EXPECT_THAT(m_prompts.MessageTexts(), testing::ElementsAre(testing::HasSubstr("无法写入文件")));
    m_prompts.m_messages.clear();
    RenderOptions notASoundFont;
    notASoundFont.soundFont = m_song;
    EXPECT_FALSE(RenderSong(m_prompts, m_gbk, m_song, m_folder.Path() / "a.wav", notASoundFont));
    EXPECT_EQ(m_prompts.m_messages.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(m_folder.Path() / "a.wav"));
    // Lyrics at tick 0 and no note: a song of length 0 says so.
    m_prompts.m_messages.clear();
    const auto lyricsOnly = m_folder.WriteFile("lyrics.mid", Format0Song(std::string("\x00\xFF\x05\x02la", 6)));
    EXPECT_FALSE(RenderSong(m_prompts, m_gbk, lyricsOnly, m_folder.Path() / "a.wav", {}));
    EXPECT_THAT(m_prompts.MessageTexts(), testing::ElementsAre(testing::HasSubstr("乐曲中没有可以播放的事件")));

    // A disk that fills midway leaves an older file as it was.
    m_prompts.m_messages.clear();
    m_folder.WriteFile("a.wav", "old");
    {
        test::CFileSizeLimit limit(10000);
        EXPECT_FALSE(RenderSong(m_prompts, m_gbk, m_song, m_folder.Path() / "a.wav", {}));
    }
    EXPECT_THAT(m_prompts.MessageTexts(), testing::ElementsAre(testing::HasSubstr("无法写入文件")));
    EXPECT_EQ(test::ReadWholeFile(m_folder.Path() / "a.wav"), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_folder.Path()), {}), 3); // and the songs
}

// Seconds during which at least one note of the song sounds, as [start, end) intervals.
std::vector<std::pair<double, double>> SoundingIntervals(const CMidiSong& song)
{
    std::vector<std::pair<double, double>> intervals;
    for (size_t track = 0; track < song.TrackCount(); ++track) {
        std::vector<std::int32_t> started(16 * 128, -1);
        for (const TrackEntry& entry : song.Track(track).Entries()) {
            const CChannelMessage* channel = AsChannelMessage(entry.message);
            if (!channel || (!channel->IsNoteOn() && !channel->IsNoteOff()))
                continue;
            std::int32_t& start = started[channel->Channel() * 128 + channel->Data1()];
            if (channel->IsNoteOn() && start < 0) {
                start = entry.tick;
            } else if (channel->IsNoteOff() && start >= 0) {
                intervals.push_back({song.TicksToSeconds(start), song.TicksToSeconds(entry.tick)});
                start = -1;
            }
        }
    }
    return intervals;
}

TEST_F(RenderSongTest, DemoSongSoundsForItsWholeLengthWithoutClipping)
{
    const std::filesystem::path demo = LINLANGOK_SOURCE_DIR "/resources/demo/jasmine.mid";
    CMidiSong song(m_gbk);
    ASSERT_TRUE(song.Load(demo));
    const double length = song.LengthSeconds();
    ASSERT_GT(length, 10.0);

    const auto wavPath = m_folder.Path() / "jasmine.wav";
    const auto result = RenderSong(m_prompts, m_gbk, demo, wavPath, {});
    ASSERT_TRUE(result.has_value());
    const Audio wav = test::ReadAudioFile(wavPath);
    EXPECT_GT(Seconds(wav), length);
    EXPECT_LT(Seconds(wav), length + kMaximumTailSeconds);
    EXPECT_NEAR(result->songSeconds, length, 0.05);
    EXPECT_EQ(ClippedSamples(wav), 0u);
    // Every stretch of 50 ms inside a note is audible (the file lags the song by two ticks and
    // the attack, which the first 30 ms of each note absorb).
    size_t stretches = 0;
    size_t silent = 0;
    for (const auto& [start, end] : SoundingIntervals(song)) {
        for (double at = start + 0.03; at + 0.05 <= end; at += 0.05, ++stretches)
            silent += Loudness(wav, at, at + 0.05) < 0.001;
    }
    EXPECT_GT(stretches, 100u);
    EXPECT_EQ(silent, 0u);
    EXPECT_LT(Loudness(wav, Seconds(wav) - 0.1, Seconds(wav)), 0.001);
}

TEST_F(RenderSongTest, PlayMidiPlaysInRealTimeOnTheWavDevice)
{
    // C5 for a quarter note.
    m_folder.WriteFile("short.mid", FluteSong(std::string("\x00\x90\x48\x64\x60\x80\x48\x00", 8)));
    RunTool("LINLANGOK_AUDIO_OUT=wav:out.wav '" LINLANGOK_TOOL "' playmidi short.mid > output.txt");
    // Printed at the start and when the position reaches the length (a moment later).
    EXPECT_THAT(test::ReadWholeFile(m_folder.Path() / "output.txt"),
        testing::MatchesRegex("position 0\\.0 s, length 0 s\nposition 0\\.[5-9] s, length 0 s\n"));
    const Audio wav = test::ReadAudioFile(m_folder.Path() / "out.wav");
    const double onset = FirstLoud(wav, 0.0, 0.002);
    ASSERT_GT(onset, 0.0);
    EXPECT_GT(Loudness(wav, onset + 0.05, onset + 0.4), 0.01);
    EXPECT_NEAR(PitchBetween(wav, onset + 0.05, onset + 0.4), 523.3, 3.0);
}

} // namespace
} // namespace linlangok
