#include "tools/RenderSong.h"
#include "engine/ManualTimerDriver.h"
#include "midi/MidiSong.h"
#include "platform/midi/MidiOutputDeviceList.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "tests/support/TemporaryFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace linlangok {
namespace {

using test::CScriptedUserPrompts;
using test::CTemporaryFolder;

struct WavContent {
    int channels = 0;
    int sampleRate = 0;
    int bits = 0;
    std::vector<int16_t> samples; // interleaved
    size_t Frames() const { return channels ? samples.size() / channels : 0; }
    double Seconds() const { return sampleRate ? double(Frames()) / sampleRate : 0.0; }
};

uint32_t Little(const std::string& bytes, size_t at, int size)
{
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
    return value;
}

// Reads a PCM WAV file chunk by chunk.
WavContent ReadWav(const std::filesystem::path& path)
{
    const std::string bytes = test::ReadWholeFile(path);
    WavContent wav;
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0)
        return wav;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id = bytes.substr(at, 4);
        const uint32_t size = Little(bytes, at + 4, 4);
        if (at + 8 + size > bytes.size())
            break;
        if (id == "fmt ") {
            wav.channels = static_cast<int>(Little(bytes, at + 10, 2));
            wav.sampleRate = static_cast<int>(Little(bytes, at + 12, 4));
            wav.bits = static_cast<int>(Little(bytes, at + 22, 2));
        } else if (id == "data") {
            wav.samples.resize(size / 2);
            std::memcpy(wav.samples.data(), bytes.data() + at + 8, wav.samples.size() * 2);
        }
        at += 8 + size + (size & 1);
    }
    return wav;
}

// Root mean square of the left channel between two times, full scale = 1.
double Loudness(const WavContent& wav, double from, double to)
{
    const size_t first = static_cast<size_t>(from * wav.sampleRate);
    const size_t last = std::min(wav.Frames(), static_cast<size_t>(to * wav.sampleRate));
    double sum = 0.0;
    for (size_t frame = first; frame < last; ++frame)
        sum += std::pow(wav.samples[frame * wav.channels] / 32768.0, 2);
    return last > first ? std::sqrt(sum / double(last - first)) : 0.0;
}

// Seconds of the first left sample louder than the threshold at or after `from`; -1 if none.
double FirstLoud(const WavContent& wav, double from, double threshold)
{
    for (size_t frame = static_cast<size_t>(from * wav.sampleRate); frame < wav.Frames(); ++frame) {
        if (std::abs(wav.samples[frame * wav.channels] / 32768.0) > threshold)
            return double(frame) / wav.sampleRate;
    }
    return -1.0;
}

// Sign changes of the left channel per second between two times.
double CrossingRate(const WavContent& wav, double from, double to)
{
    int crossings = 0;
    const size_t first = static_cast<size_t>(from * wav.sampleRate);
    const size_t last = static_cast<size_t>(to * wav.sampleRate);
    for (size_t frame = first + 1; frame < last; ++frame)
        crossings += (wav.samples[frame * wav.channels] < 0) != (wav.samples[(frame - 1) * wav.channels] < 0);
    return crossings / (to - from);
}

size_t ClippedSamples(const WavContent& wav)
{
    return std::count_if(
        wav.samples.begin(), wav.samples.end(), [](int16_t sample) { return sample == 32767 || sample == -32768; });
}

// Format 0, division 96, 500000 µs per quarter: a flute C5 for a quarter note at beats 0 and 2.
std::string TwoFluteNotes()
{
    const std::string events = std::string("\x00\xFF\x51\x03\x07\xA1\x20", 7) + std::string("\x00\xC0\x49", 3)
        + std::string("\x00\x90\x48\x64", 4) + std::string("\x60\x80\x48\x00", 4) + std::string("\x60\x90\x48\x64", 4)
        + std::string("\x60\x80\x48\x00", 4) + std::string("\x00\xFF\x2F\x00", 4);
    const std::string length({char(0), char(0), char(events.size() >> 8), char(events.size() & 0xFF)});
    return std::string("MThd\x00\x00\x00\x06\x00\x00\x00\x01\x00\x60", 14) + "MTrk" + length + events;
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
        m_song = m_folder.WriteFile("two notes.mid", TwoFluteNotes());
    }

    WavContent Render(const RenderOptions& options)
    {
        const auto wav = m_folder.Path() / "out.wav";
        const auto result = RenderSong(m_prompts, m_song, wav, options);
        EXPECT_TRUE(result.has_value()) << testing::PrintToString(m_prompts.MessageTexts());
        return ReadWav(wav);
    }

    CTemporaryFolder m_folder;
    CScriptedUserPrompts m_prompts;
    std::filesystem::path m_song;
};

TEST_F(RenderSongTest, NotesSoundWhereTheSongPutsThem)
{
    const WavContent wav = Render({});
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.sampleRate, 44100);
    EXPECT_EQ(wav.bits, 16);
    // The last event is at 1.5 s; the flute's release follows.
    EXPECT_GT(wav.Seconds(), 1.5);
    EXPECT_LT(wav.Seconds(), 1.5 + kMaximumTailSeconds);
    EXPECT_GT(Loudness(wav, 0.1, 0.4), 0.01);
    EXPECT_GT(Loudness(wav, 1.1, 1.4), 0.01);
    EXPECT_LT(Loudness(wav, 0.8, 0.98), Loudness(wav, 0.1, 0.4) / 10);
    EXPECT_EQ(ClippedSamples(wav), 0u);
    // Each note goes out two ticks (10.4 ms) after its time, then the flute's attack.
    const double first = FirstLoud(wav, 0.0, 0.002);
    const double second = FirstLoud(wav, 0.9, 0.002);
    EXPECT_GT(first, 0.0104 - 0.002);
    EXPECT_LT(first, 0.05);
    EXPECT_NEAR(second - first, 1.0, 0.0015);
}

TEST_F(RenderSongTest, BufferSizeAndTranspositionChangeOnlyWhatTheyShould)
{
    RenderOptions options;
    const WavContent small = Render(options);
    options.bufferFrames = 512;
    const WavContent large = Render(options);
    EXPECT_NEAR(FirstLoud(large, 0.0, 0.002), FirstLoud(small, 0.0, 0.002), 64.0 / 44100);
    EXPECT_NEAR(FirstLoud(large, 0.9, 0.002), FirstLoud(small, 0.9, 0.002), 64.0 / 44100);

    // An octave up: about twice the zero crossings in the held part of the note.
    options.transpose = 12;
    const WavContent octave = Render(options);
    const double ratio = CrossingRate(octave, 0.1, 0.4) / CrossingRate(small, 0.1, 0.4);
    EXPECT_GT(ratio, 1.8);
    EXPECT_LT(ratio, 2.2);
}

TEST_F(RenderSongTest, FailuresLeaveNoFileBehind)
{
    EXPECT_FALSE(RenderSong(m_prompts, m_folder.Path() / "missing.mid", m_folder.Path() / "a.wav", {}));
    EXPECT_FALSE(m_prompts.m_messages.empty());
    m_prompts.m_messages.clear();
    EXPECT_FALSE(RenderSong(m_prompts, m_song, m_folder.Path() / "no folder" / "a.wav", {}));
    EXPECT_THAT(m_prompts.MessageTexts(), testing::ElementsAre(testing::HasSubstr("无法写入文件")));
    m_prompts.m_messages.clear();
    RenderOptions notASoundFont;
    notASoundFont.soundFont = m_song;
    EXPECT_FALSE(RenderSong(m_prompts, m_song, m_folder.Path() / "a.wav", notASoundFont));
    EXPECT_EQ(m_prompts.m_messages.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(m_folder.Path() / "a.wav"));
    EXPECT_FALSE(std::filesystem::exists(m_folder.Path() / ".a.wav.part"));
}

// Seconds during which at least one note of the song sounds, as [start, end) intervals.
std::vector<std::pair<double, double>> SoundingIntervals(const CMidiSong& song)
{
    std::vector<std::pair<double, double>> intervals;
    for (size_t track = 0; track < song.TrackCount(); ++track) {
        std::vector<int32_t> started(16 * 128, -1);
        for (const TrackEntry& entry : song.Track(track).Entries()) {
            const CChannelMessage* channel = AsChannelMessage(entry.message);
            if (!channel || (!channel->IsNoteOn() && !channel->IsNoteOff()))
                continue;
            int32_t& start = started[channel->Channel() * 128 + channel->Data1()];
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
    ASSERT_TRUE(std::filesystem::exists(demo));
    CManualTimerDriver driver;
    CMidiSong song(m_prompts, driver);
    ASSERT_TRUE(song.Load(demo));
    const double length = song.LengthSeconds();
    ASSERT_GT(length, 10.0);

    const auto wavPath = m_folder.Path() / "jasmine.wav";
    const auto result = RenderSong(m_prompts, demo, wavPath, {});
    ASSERT_TRUE(result.has_value());
    const WavContent wav = ReadWav(wavPath);
    EXPECT_GT(wav.Seconds(), length);
    EXPECT_LT(wav.Seconds(), length + kMaximumTailSeconds);
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
    EXPECT_LT(Loudness(wav, wav.Seconds() - 0.1, wav.Seconds()), 0.001);
}

} // namespace
} // namespace linlangok
