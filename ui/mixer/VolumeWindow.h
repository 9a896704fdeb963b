#pragma once

#include "common/ProgramLauncher.h"
#include "core/controller/DesktopOpener.h"
#include "core/controller/MainCommand.h"
#include "core/mixer/MixerFader.h"
#include "core/mixer/MixerSwitch.h"
#include "core/mixer/RecordingSourceSelector.h"
#include "core/playback/AudioOutput.h"
#include "core/recording/WaveIn.h"
#include "core/session/KaraokeSession.h"
#include "ui/widgets/DialogTemplate.h"

#include <QDialog>

#include <filesystem>
#include <map>
#include <memory>
#include <vector>

class QComboBox;
class QSocketNotifier;
class QTimer;

namespace linlangok {

class CLatencyCalibration;
class CVoiceEffectChoice;
class CVoiceEffectControls;
class CEarMonitor;
class CEarMonitorControls;
class CRecordingController;

// Control identifiers of the volume window (no fixed underlying type: lupdate misreads one).
enum EVolumeControl {
    kMasterVolumeSlider = 1032,
    kWaveVolumeSlider = 1033,
    kMidiVolumeSlider = 1034,
    kMicrophoneVolumeSlider = 1035,
    kMasterMuteBox = 1036,
    kWaveMuteBox = 1037,
    kMidiMuteBox = 1038,
    kMicrophoneMuteBox = 1039,
    kStereoMixRecordSlider = 1041,
    kMicrophoneBoostBox = 1042,
    kMicrophoneRecordSlider = 1043,
    kMicrophoneSelectBox = 1044,
    kStereoMixSelectBox = 1046,
    kDefaultSettingsButton = 1052,
    kRecordingDeviceList = 1057,
    kPlaybackSettingsButton = 1063,
    kRecordingSettingsButton = 1064,
    kVolumeHelpButton = 1069,
    kCalibrateLatencyButton = 1070,
    kLevelingBox = 1071,
    kVoiceEffectList = 1072,
    kMoreEffectsButton = 1073,
    kEarMonitorBox = 1074,
    kEarMonitorVolumeSlider = 1075,
    kEarMonitorLatencyLabel = 1076,
};

struct VolumeWindowParts {
    CRecordingController& recording; // its stereo-mix slider is bound to this window's slider
    IMixerSystem& mixers;
    IUserPrompts& prompts;
    IDesktopOpener& desktop;
    IProgramLauncher& programs;
    IMainCommands& controller; // hears when the window is closed
    std::filesystem::path helpFolder; // Volume.html
    IAudioOutput& audioOutput; // the latency calibration plays its clicks here
    IWaveInSystem& waveIn; // and listens on the first device
    std::filesystem::path programFolder; // Latency.ini
    CKaraokeSession& session; // levels its songs while 音量均衡 is ticked
    CVoiceEffectChoice& voiceEffect; // 效果
    CEarMonitor* earMonitor = nullptr; // 耳返; null: none this run
};

// The volume control window "音量控制": playback volumes and mutes, recording levels, the
// recording source, the microphone boost and the recording device, each widget bound to its
// mixer control and following changes made by other programs (the mixers' poll descriptors
// are watched). A widget whose control the sound card lacks is disabled. "校准延迟", in a row of
// its own below, measures the round trip from the output to the input and keeps it in
// Latency.ini; beside it "音量均衡" switches the session's leveling, on by default and kept
// with Qt's settings (the mixer's volumes are not touched); below them 效果, the sound of the
// singer's voice (CVoiceEffectControls), and 耳返, hearing it at once (CEarMonitorControls).
// Closing only hides it.
// Fixed size, laid out in dialog units. The parts outlive the window. UI thread.
class CVolumeWindow final : public QDialog, public ICompanionWindow {
    Q_OBJECT
public:
    // Selects the first recording device and binds every widget.
    explicit CVolumeWindow(const VolumeWindowParts& parts, QWidget* parent = nullptr);
    ~CVolumeWindow() override;

    bool IsShown() const override { return isVisible(); }
    void SetShown(bool shown) override { setVisible(shown); }

    // The control with the identifier, or null.
    QWidget* Control(int id) const { return m_controls.Control(id); }

    // Selects stereo mix as the recording source and sets its recording volume to 12 %.
    void ApplyDefaultSettings();

    // Plays the clicks and listens; the button is disabled until the result has been shown.
    void StartLatencyCalibration();

protected:
    // The close box and Esc: the window hides and the main window offers to show it again.
    void reject() override;

private:
    void Connect();
    void BindControls();
    // Watches the client's mixer: its notifications arrive when one of its descriptors is ready.
    void Watch(CMixerClient& client);
    // Lets every binding hear the changes just made through another (mixers without descriptors
    // deliver their notifications only when asked).
    void DeliverChanges();
    // Shows (and keeps) the calibration's result once it is done.
    void FinishLatencyCalibration();

    VolumeWindowParts m_parts;
    CDialogControls m_controls;
    QComboBox* m_deviceList = nullptr;
    std::vector<std::unique_ptr<CMixerFader>> m_faders;
    std::vector<std::unique_ptr<CMixerSwitch>> m_switches;
    std::vector<std::unique_ptr<CRecordingSourceSelector>> m_selectors;
    CRecordingSourceSelector* m_stereoMixSelector = nullptr;
    std::vector<CMixerClient*> m_clients; // every binding, the stereo-mix slider's too
    std::map<CMixerClient*, std::vector<std::unique_ptr<QSocketNotifier>>> m_notifiers;
    std::unique_ptr<CLatencyCalibration> m_calibration;
    std::unique_ptr<CVoiceEffectControls> m_voiceEffect;
    std::unique_ptr<CEarMonitorControls> m_earMonitor;
    QTimer* m_calibrationPoll = nullptr;
    int m_calibrationPolls = 0;
};

} // namespace linlangok
