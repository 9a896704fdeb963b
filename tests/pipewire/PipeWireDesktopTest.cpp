// The programs on a PipeWire desktop, each case inside a private stack (scripts/pipewire-stack.sh):
// the default output is the null sink "linlangok-sink", the default input a virtual microphone
// that hears what is played into "linlangok-voice".
#include "core/session/SongLoudness.h"
#include "platform/audio/PortAudioOutput.h"
#include "platform/mixer/AlsaMixer.h"
#include "tests/platform/audio/AudioTestSignals.h"
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
    // Runs `command` in the folder (the program folder too) once `condition` holds, polled every 20 ms
    // for up to 10 s, with `background` running from the start; the command's exit code.
    int Run(const std::string& background, const std::string& condition, const std::string& command)
    {
        const std::string script = "cd '" + m_folder.Path().string()
            + "' || exit 1; export LINLANGOK_HOME=. LINLANGOK_AUDIO_OUT=default; " + background
            + " & for poll in $(seq 500); do " + condition + " && break; sleep 0.02; done; " + command
            + " > output.txt; code=$?; sleep 0.2; kill $! 2>/dev/null; wait $!; exit $code";
        const int status = std::system(script.c_str());
        m_output = test::ReadWholeFile(m_folder.Path() / "output.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    test::CTemporaryFolder m_folder;
    std::string m_output;
};

// Closing an ALSA mixer removes its elements, whose callbacks must find the mixer whole.
TEST_F(PipeWireDesktopTest, MixerTeardownRunsNoCallbackOnFreedMaps)
{
    auto mixer = CAlsaMixerSystem().Open(0, nullptr);
    ASSERT_TRUE(mixer && mixer->DestinationCount() > 0) << "the default control has elements through pipewire-alsa";
    mixer.reset();
}

TEST_F(PipeWireDesktopTest, TheApplicationBuildsItsVolumeWindowAndEndsOnSigterm)
{
    // Its media player is on the session bus once every window is built. 19 is the menu's quit code.
    EXPECT_EQ(Run("QT_QPA_PLATFORM=offscreen '" LINLANGOK_APPLICATION "'",
                  "dbus-send --session --print-reply --dest=org.freedesktop.DBus / "
                  "org.freedesktop.DBus.NameHasOwner string:org.mpris.MediaPlayer2.linlangok | grep -q true",
                  "kill -TERM $!; wait $!"),
        19);
}

TEST_F(PipeWireDesktopTest, TheToolRecordsPlaysAndSingsAtTheSongsLevel)
{
    ASSERT_EQ(Run("paplay --device=linlangok-voice tone.wav", "pactl list short sinks | grep -q 'voice.*RUNNING'",
                  "'" LINLANGOK_TOOL "' record take.mp3 --seconds 1"),
        0);
    const auto take = test::ReadAudioFile(m_folder.Path() / "take.mp3").samples;
    EXPECT_NEAR(test::MeasureSound(take).level, -9.03, 0.2);
    // A second after the coder's delay of 1105 frames, in whole MP3 frames.
    EXPECT_EQ(take.size() / 2, (44100 + 1105 + 1151) / 1152 * 1152);

    ASSERT_EQ(Run("parecord --latency-msec=20 --device=linlangok-sink.monitor --file-format=wav heard.wav",
                  "pactl list short sources | grep -q 'monitor.*RUNNING'", "'" LINLANGOK_TOOL "' play song.wav"),
        0);
    const test::Sound heard = test::MeasureSound(test::ReadAudioFile(m_folder.Path() / "heard.wav").samples);
    EXPECT_NEAR(heard.frames, 44100, 441);
    EXPECT_NEAR(heard.level, -9.03 + SongLevelingGainDb(ESongKind::Audio, std::nullopt), 0.2); // not yet measured

    ASSERT_EQ(Run("true", "true", "'" LINLANGOK_TOOL "' sing song.wav voice.mp3 --seconds 1 --performance mix.wav"), 0);
    EXPECT_EQ(m_output.rfind("{\"alignment_ms\":", 0), 0u) << m_output;
}

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
