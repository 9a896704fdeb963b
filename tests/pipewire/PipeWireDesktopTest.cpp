// The programs on a PipeWire desktop, each case inside a private stack (scripts/pipewire-stack.sh):
// the default output is the null sink "linlangok-sink", the default input a virtual microphone
// that hears what is played into "linlangok-voice".
#include "platform/audio/PortAudioOutput.h"
#include "tests/platform/AudioTestSignals.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <thread>

namespace linlangok {
namespace {

using namespace std::chrono_literals;

class PipeWireDesktopTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("LINLANGOK_PIPEWIRE_STACK"))
            GTEST_SKIP() << "runs inside scripts/pipewire-stack.sh";
        test::WriteWavFile(m_folder.Path() / "tone.wav", test::SineFrames(10 * 44100, 1000, 0.5));
        test::WriteWavFile(m_folder.Path() / "song.wav", test::SineFrames(44100, 1000, 0.5));
    }
    // Runs a shell script in the folder, the program folder too, on the desktop's devices; its exit code.
    int Run(const std::string& script)
    {
        const int status = std::system(("cd '" + m_folder.Path().string()
            + "' && export LINLANGOK_HOME=. LINLANGOK_AUDIO_OUT=default && (" + script + ") > output.txt 2> errors.txt")
                                           .c_str());
        m_output = test::ReadWholeFile(m_folder.Path() / "output.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // The script's part that polls `condition` every 20 ms, for up to 10 s.
    static std::string Await(const std::string& condition)
    {
        return "for poll in $(seq 500); do " + condition + " && break; sleep 0.02; done; ";
    }
    // The level of the sound in a file, and how long it lasts.
    test::SoundingSpan Measure(const char* name, double& level) const
    {
        const auto audio = test::ReadAudioFile(m_folder.Path() / name);
        const auto span = test::FindSoundingSpan(audio.samples, 2, 8000);
        level = span.frames > 8820
            ? test::LevelDecibels(&audio.samples[(span.first + 4410) * 2], span.frames - 8820, 2, 0)
            : 0;
        return span;
    }

    test::CTemporaryFolder m_folder;
    std::string m_output;
};

TEST_F(PipeWireDesktopTest, TheApplicationBuildsItsVolumeWindowAndEndsOnSigterm)
{
    // Its media player is on the session bus once every window is built. 19 is the menu's quit code.
    EXPECT_EQ(Run("QT_QPA_PLATFORM=offscreen '" LINLANGOK_APPLICATION "' & "
                  + Await("dbus-send --session --print-reply --dest=org.freedesktop.DBus / "
                          "org.freedesktop.DBus.NameHasOwner string:org.mpris.MediaPlayer2.linlangok | grep -q true")
                  + "kill -TERM $!; wait $!"),
        19);
}

TEST_F(PipeWireDesktopTest, TheToolRecordsPlaysAndSingsAtTheSongsLevel)
{
    double level = 0;
    ASSERT_EQ(Run("paplay --device=linlangok-voice tone.wav & "
                  + Await("pactl list short sinks | grep -q 'linlangok-voice.*RUNNING'")
                  + "'" LINLANGOK_TOOL "' record take.mp3 --seconds 1; code=$?; kill $!; exit $code"),
        0);
    Measure("take.mp3", level);
    EXPECT_NEAR(level, -9.03, 0.2);
    // A second after the coder's delay of 1105 frames, in whole MP3 frames.
    EXPECT_EQ(
        test::ReadAudioFile(m_folder.Path() / "take.mp3").samples.size() / 2, (44100 + 1105 + 1151) / 1152 * 1152);

    ASSERT_EQ(Run("parecord --latency-msec=20 --device=linlangok-sink.monitor --file-format=wav heard.wav & "
                  + Await("pactl list short sources | grep -q 'linlangok-sink.monitor.*RUNNING'")
                  + "'" LINLANGOK_TOOL "' play song.wav; code=$?; sleep 0.2; kill $!; wait $!; exit $code"),
        0);
    EXPECT_NEAR(Measure("heard.wav", level).frames, 44100, 441);
    EXPECT_NEAR(level, -9.03, 0.2);

    ASSERT_EQ(Run("'" LINLANGOK_TOOL "' sing song.wav voice.mp3 --seconds 1 --performance mix.wav"), 0);
    EXPECT_EQ(m_output.rfind("{\"alignment_ms\":", 0), 0u) << m_output;
}

// pipewire-alsa, like ALSA's null device, reports no overflow of a capture stream that is not read:
// it drops the input silently.
TEST_F(PipeWireDesktopTest, AStalledOutputCountsADropout)
{
    struct CStallingSource final : IAudioSource {
        void MixInto(float*, size_t, const AudioBufferTiming&) noexcept override
        {
            if (++buffers == 20)
                std::this_thread::sleep_for(300ms);
        }
        int buffers = 0;
    } source;
    CPortAudioOutput output("default", 512);
    output.AddSource(source);
    for (int poll = 0; poll < 150 && output.DropoutCount() == 0; ++poll)
        std::this_thread::sleep_for(20ms);
    EXPECT_GE(output.DropoutCount(), 1u);
    output.RemoveSource(source);
}

} // namespace
} // namespace linlangok
