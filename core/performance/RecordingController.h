#pragma once

#include "common/UserPrompts.h"
#include "core/mixer/LineVolumeSlider.h"
#include "core/performance/PerformanceRecorder.h"
#include "core/performance/PerformanceTake.h"
#include "core/playback/AudioOutput.h"
#include "core/recording/Mp3StreamWriter.h"
#include "core/recording/RecordingDevices.h"
#include "core/recording/TakeFiles.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace linlangok {

// Starts and stops recordings on the selected input device, each into a new MP3 stream writer
// (128 kbit/s, no resampling) and its temporary file, and runs the save-as flow when one ends.
// While the accompaniment plays into `output`, a recording also keeps its performance take.
// UI thread. Errors of start and stop are written, each followed by a line break, to
// `standardOutput`, and shown with the same text through the prompts.
class CRecordingController {
public:
    // `devices`, `mixers`, `encoder` (null when no encoder is available), `fileLocks`, `prompts`,
    // `standardOutput` and `output` outlive the controller; the takes' temporary files lie in
    // `programFolder`. Without `output` no recording keeps a performance take.
    CRecordingController(CInputDeviceList& devices, IMixerSystem& mixers, IMp3EncoderLibrary* encoder,
        std::filesystem::path programFolder, IFileLocks& fileLocks, IUserPrompts& prompts, std::ostream& standardOutput,
        IAudioOutput* output = nullptr);
    // A recording in progress is stopped and left in its temporary file, to be offered at the
    // next start.
    ~CRecordingController();

    CRecordingController(const CRecordingController&) = delete;
    CRecordingController& operator=(const CRecordingController&) = delete;

    // Records from the selected device into a new writer's temporary file. Does nothing while a
    // recording runs; with no device selected (none can record), says so. A failed start leaves
    // no recording behind, nor its temporary file. The take keeps at most `frameLimit` frames, its
    // first ones.
    void StartRecording(std::uint64_t frameLimit = kNoFrameLimit);
    // Stops the recording, finishes its MP3 file and runs its save flow (CMp3StreamWriter::SaveAs:
    // saved, discarded, or kept under a dated name when nobody answers). An encoder or disk
    // failure during the recording is reported first; what was recorded before it is still
    // offered for saving. Does nothing (Discarded) when nothing records.
    TakeSaveResult StopRecording();
    // After StopRecording, the take of the recording that just ended, or null when no
    // accompaniment played during it. Handing it out clears it.
    std::unique_ptr<CPerformanceTake> TakePerformance();
    // The takes that processes which ended without saving them left in the program folder, offered
    // for saving (OfferDeadTakes). Another running instance's takes are left alone.
    void OfferDeadTakes();

    // Makes the named device the one that records and opens its mixer lines. Raises
    // "Device not found." (the selection is then unchanged) or "Can't open Mixer Device.".
    void SelectDevice(const std::u16string& name);
    // The stereo-mix line's volume slider, which the volume window attaches to its trackbar.
    CLineVolumeSlider& StereoMixSlider() { return m_stereoMixSlider; }
    // Binds that slider to the selected device's stereo-mix line: the first line named
    // "Stereo Mix", "StereoMix", "立体声混音" or "立體聲混音", in that order; none disables it.
    void BindStereoMixSlider();

    // The names of the input device list, in list order.
    std::vector<std::u16string> DeviceNames();
    // The selected device's mixer line names.
    const std::vector<std::u16string>& LineNames() const { return m_lineNames; }
    CWaveRecorder* SelectedRecorder() const { return m_selected; }
    // What the stored calibration adds to the selected device's reported latencies (ms): 0 when
    // it was measured on other devices, or never.
    double CalibratedCorrectionMs() const;
    bool IsRecording() const { return m_recording != nullptr; }
    // Frames the running recording has captured so far (CWaveRecorder::RecordedFrames).
    std::uint64_t RecordedFrames() const { return m_recording ? m_recording->recorder.RecordedFrames() : 0; }
    // Input lost during the running or the last recording (CWaveRecorder::DropoutCount).
    std::uint64_t DropoutCount() const { return m_recording ? m_recording->recorder.DropoutCount() : m_lastDropouts; }

    static constexpr std::uint64_t kNoFrameLimit = UINT64_MAX;

private:
    // One recording: the writer, the recorder's view of it, and the recorder that feeds it.
    struct Recording : IRecordingSink {
        Recording(CWaveRecorder& recorder, IMp3EncoderLibrary* encoder, CTakeFolder& takes, std::uint64_t frameLimit);
        void Write(const std::uint8_t* samples, size_t byteCount,
            std::chrono::steady_clock::time_point firstFrameTime) override;

        std::uint64_t bytesLeft; // of the frame limit; capture thread
        CMp3StreamWriter writer;
        CWaveRecorder& recorder;
        std::unique_ptr<CPerformanceRecorder> performance; // while the output can be tapped
        std::chrono::microseconds inputLatency {0};
    };

    void Report(const std::exception& error);
    double CorrectionMsFor(const CWaveRecorder& recorder) const;
    // Starts keeping the recording's performance take, when there is an output to tap.
    void StartPerformance(Recording& recording);

    CInputDeviceList& m_devices;
    IMp3EncoderLibrary* m_encoder;
    CTakeFolder m_takes;
    IUserPrompts& m_prompts;
    std::ostream& m_standardOutput;
    IAudioOutput* m_output;
    CLineVolumeSlider m_stereoMixSlider;
    CWaveRecorder* m_selected = nullptr;
    std::vector<std::u16string> m_lineNames;
    std::unique_ptr<Recording> m_recording; // while recording
    std::unique_ptr<CPerformanceTake> m_take; // the last recording's, until handed out
    std::uint64_t m_lastDropouts = 0;
};

} // namespace linlangok
