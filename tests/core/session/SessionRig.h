#pragma once

#include "common/FilePath.h"
#include "common/Text.h"
#include "common/UiTaskQueue.h"
#include "core/mixer/MemoryMixer.h"
#include "core/recording/RecordingDevices.h"
#include "core/session/KaraokeSession.h"
#include "platform/audio/ClockedAudioOutput.h"
#include "platform/audio/RubberBandStretcher.h"
#include "platform/audio/SndFileDecoder.h"
#include "platform/codepage/IconvCodePage.h"
#include "platform/codepage/UchardetTextEncodings.h"
#include "tests/core/recording/FakeMp3Encoder.h"
#include "tests/core/recording/RecordingFakeWaveIn.h"
#include "tests/support/CaptureMidiOutput.h"
#include "tests/support/GrantedFileLocks.h"
#include "tests/support/ScriptedUserPrompts.h"
#include "tests/support/TemporaryFolder.h"
#include "timebase/ManualTimerDriver.h"

#include <sstream>

namespace linlangok::test {

// The services of a karaoke session on virtual devices: MIDI into a capture device paced by a
// manual timer, audio into a null output paced by hand, recording from an in-memory input into a
// fake encoder, and a temporary program folder.
struct CSessionDevices {
    CSessionDevices()
        : audioPacer(new CManualPacer)
        , audioOutput(CreateNullAudioOutput(441, std::unique_ptr<IFramePacer>(audioPacer)))
        , inputDevices(waveIn, mixers)
    {
        mixers.AddMixer();
    }

    // The devices and prompts above, or the MIDI devices, audio output and prompts given instead.
    SessionServices Services(IMidiOutputDeviceList* midiDevices = nullptr, IAudioOutput* output = nullptr,
        IUserPrompts* userPrompts = nullptr)
    {
        return SessionServices {userPrompts ? *userPrompts : prompts, uiThread, timer,
            midiDevices ? *midiDevices : midi, output ? *output : *audioOutput, CSndFileDecoder::Open,
            CRubberBandStretcher::Create, inputDevices, mixers, &encoder, gbk, textEncodings, standardOutput,
            home.Path(), fileLocks};
    }

    // Lets `milliseconds` of song time pass for both kinds of song.
    void Advance(std::uint32_t milliseconds)
    {
        timer.Advance(milliseconds);
        audioPacer->Release(milliseconds * 441 / 10);
        audioPacer->WaitUntilIdle();
    }

    static std::u16string DemoSong() { return Utf8ToUtf16(LINLANGOK_SOURCE_DIR "/resources/demo/jasmine.mid"); }

    CTemporaryFolder home;
    CScriptedUserPrompts prompts;
    CUiTaskQueue uiThread;
    CManualTimerDriver timer;
    CCaptureMidiOutputList midi;
    CManualPacer* audioPacer; // owned by the output
    std::unique_ptr<IAudioOutput> audioOutput;
    CFakeWaveIn waveIn;
    CMemoryMixerSystem mixers;
    CInputDeviceList inputDevices;
    FakeMp3Log encoderLog;
    CFakeMp3EncoderLibrary encoder {encoderLog};
    const CIconvCodePage gbk {"GBK"};
    const CUchardetTextEncodings textEncodings {gbk};
    std::ostringstream standardOutput;
    CGrantedFileLocks fileLocks;
};

// A session on those devices, recording from the in-memory input.
struct CSessionRig : CSessionDevices {
    CSessionRig() { session.Recording().SelectDevice(u"Microphone"); }

    CKaraokeSession session {Services()};
};

} // namespace linlangok::test
