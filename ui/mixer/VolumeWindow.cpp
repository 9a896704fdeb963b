#include "ui/mixer/VolumeWindow.h"

#include "common/Text.h"
#include "core/mixer/VolumeTool.h"
#include "core/performance/LatencyCalibration.h"
#include "core/performance/RecordingController.h"
#include "ui/mixer/MixerWidgets.h"
#include "ui/mixer/VoiceControls.h"
#include "ui/widgets/Artwork.h"
#include "ui/widgets/DialogTemplate.h"
#include "ui/widgets/DialogUnits.h"
#include "ui/widgets/ProgramSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QSocketNotifier>
#include <QTimer>

#include <poll.h>

namespace linlangok {
namespace {

// The dialog template, in creation order (later controls lie above earlier ones). Each column
// has its label above the slider and its check box below.
constexpr ControlTemplate kControls[] = {
    {0, EControlKind::GroupBox, QT_TRANSLATE_NOOP("CVolumeWindow", "播放"), 6, 26, 136, 122},
    {0, EControlKind::GroupBox, QT_TRANSLATE_NOOP("CVolumeWindow", "录音"), 148, 26, 78, 122},
    {0, EControlKind::Label, QT_TRANSLATE_NOOP("CVolumeWindow", "录音设备:"), 6, 8, 40, 10, nullptr,
        Qt::AlignLeft | Qt::AlignVCenter},
    {kRecordingDeviceList, EControlKind::ComboBox, "", 48, 6, 178, 14, QT_TRANSLATE_NOOP("CVolumeWindow", "录音设备")},
    {0, EControlKind::Label, QT_TRANSLATE_NOOP("CVolumeWindow", "主音量"), 12, 38, 28, 10, nullptr, Qt::AlignCenter},
    {kMasterVolumeSlider, EControlKind::VerticalSlider, "", 16, 50, 20, 66,
        QT_TRANSLATE_NOOP("CVolumeWindow", "主音量")},
    {kMasterMuteBox, EControlKind::CheckBox, QT_TRANSLATE_NOOP("CVolumeWindow", "静音"), 12, 120, 28, 10,
        QT_TRANSLATE_NOOP("CVolumeWindow", "主音量静音")},
    {0, EControlKind::Label, QT_TRANSLATE_NOOP("CVolumeWindow", "Wav"), 44, 38, 28, 10, nullptr, Qt::AlignCenter},
    {kWaveVolumeSlider, EControlKind::VerticalSlider, "", 48, 50, 20, 66,
        QT_TRANSLATE_NOOP("CVolumeWindow", "Wav 音量")},
    {kWaveMuteBox, EControlKind::CheckBox, QT_TRANSLATE_NOOP("CVolumeWindow", "静音"), 44, 120, 28, 10,
        QT_TRANSLATE_NOOP("CVolumeWindow", "Wav 静音")},
    {0, EControlKind::Label, QT_TRANSLATE_NOOP("CVolumeWindow", "MIDI"), 76, 38, 28, 10, nullptr, Qt::AlignCenter},
    {kMidiVolumeSlider, EControlKind::VerticalSlider, "", 80, 50, 20, 66,
        QT_TRANSLATE_NOOP("CVolumeWindow", "MIDI 音量")},
    {kMidiMuteBox, EControlKind::CheckBox, QT_TRANSLATE_NOOP("CVolumeWindow", "静音"), 76, 120, 28, 10,
        QT_TRANSLATE_NOOP("CVolumeWindow", "MIDI 静音")},
    {0, EControlKind::Label, QT_TRANSLATE_NOOP("CVolumeWindow", "麦克风"), 108, 38, 28, 10, nullptr, Qt::AlignCenter},
    {kMicrophoneVolumeSlider, EControlKind::VerticalSlider, "", 112, 50, 20, 66,
        QT_TRANSLATE_NOOP("CVolumeWindow", "麦克风音量")},
    {kMicrophoneMuteBox, EControlKind::CheckBox, QT_TRANSLATE_NOOP("CVolumeWindow", "静音"), 108, 120, 28, 10,
        QT_TRANSLATE_NOOP("CVolumeWindow", "麦克风静音")},
    {0, EControlKind::Label, QT_TRANSLATE_NOOP("CVolumeWindow", "立体声"), 154, 38, 30, 10, nullptr, Qt::AlignCenter},
    {kStereoMixRecordSlider, EControlKind::VerticalSlider, "", 159, 50, 20, 66,
        QT_TRANSLATE_NOOP("CVolumeWindow", "立体声混音录音音量")},
    {kStereoMixSelectBox, EControlKind::CheckBox, QT_TRANSLATE_NOOP("CVolumeWindow", "选择"), 154, 120, 30, 10,
        QT_TRANSLATE_NOOP("CVolumeWindow", "选择立体声混音录音")},
    {0, EControlKind::Label, QT_TRANSLATE_NOOP("CVolumeWindow", "麦克风"), 188, 38, 30, 10, nullptr, Qt::AlignCenter},
    {kMicrophoneRecordSlider, EControlKind::VerticalSlider, "", 193, 50, 20, 66,
        QT_TRANSLATE_NOOP("CVolumeWindow", "麦克风录音音量")},
    {kMicrophoneSelectBox, EControlKind::CheckBox, QT_TRANSLATE_NOOP("CVolumeWindow", "选择"), 188, 120, 30, 10,
        QT_TRANSLATE_NOOP("CVolumeWindow", "选择麦克风录音")},
    {kMicrophoneBoostBox, EControlKind::CheckBox, QT_TRANSLATE_NOOP("CVolumeWindow", "放大"), 188, 132, 30, 10,
        QT_TRANSLATE_NOOP("CVolumeWindow", "麦克风放大")},
    {kDefaultSettingsButton, EControlKind::Button, QT_TRANSLATE_NOOP("CVolumeWindow", "默认设置"), 6, 156, 50, 14},
    {kPlaybackSettingsButton, EControlKind::Button, QT_TRANSLATE_NOOP("CVolumeWindow", "播放设置"), 62, 156, 50, 14},
    {kRecordingSettingsButton, EControlKind::Button, QT_TRANSLATE_NOOP("CVolumeWindow", "录音设置"), 118, 156, 50, 14},
    {kVolumeHelpButton, EControlKind::Button, QT_TRANSLATE_NOOP("CVolumeWindow", "帮助"), 176, 156, 50, 14},
    {kCalibrateLatencyButton, EControlKind::Button, QT_TRANSLATE_NOOP("CVolumeWindow", "校准延迟"), 6, 176, 50, 14},
    {kLevelingBox, EControlKind::CheckBox, QT_TRANSLATE_NOOP("CVolumeWindow", "音量均衡"), 62, 178, 60, 10},
    {0, EControlKind::Label, QT_TRANSLATE_NOOP("CVolumeWindow", "效果:"), 6, 198, 24, 10, nullptr,
        Qt::AlignLeft | Qt::AlignVCenter},
    {kVoiceEffectList, EControlKind::ComboBox, "", 32, 196, 110, 14, QT_TRANSLATE_NOOP("CVolumeWindow", "效果")},
    {kMoreEffectsButton, EControlKind::Button, QT_TRANSLATE_NOOP("CVolumeWindow", "更多效果…"), 148, 196, 78, 14},
    {kEarMonitorBox, EControlKind::CheckBox, QT_TRANSLATE_NOOP("CVolumeWindow", "耳返"), 6, 218, 30, 10},
    {0, EControlKind::Label, QT_TRANSLATE_NOOP("CVolumeWindow", "音量"), 38, 218, 20, 10, nullptr,
        Qt::AlignLeft | Qt::AlignVCenter},
    {kEarMonitorVolumeSlider, EControlKind::Custom, "", 60, 216, 82, 14,
        QT_TRANSLATE_NOOP("CVolumeWindow", "耳返音量")},
    {kEarMonitorLatencyLabel, EControlKind::Label, QT_TRANSLATE_NOOP("CVolumeWindow", "延迟 --"), 148, 218, 78, 10,
        QT_TRANSLATE_NOOP("CVolumeWindow", "耳返延迟"), Qt::AlignLeft | Qt::AlignVCenter},
};

constexpr int kClientWidth = 232; // dialog units
constexpr int kClientHeight = 236;

// The calibration's result is looked at this often, and given up after kLongestCalibration.
constexpr int kCalibrationPollMs = 50;
constexpr int kLongestCalibrationPolls = 200; // 10 s

enum class EBindingKind { Fader, Switch, StereoMixSlider, Selector };

// What each widget is bound to, in binding order.
struct BindingTemplate {
    int id;
    EBindingKind kind;
    std::uint32_t destination; // faders and switches
    std::uint32_t source; // the source line, or for a selector the source it selects
    std::uint32_t control; // faders and switches
    ESourceNameVariant nameVariant = ESourceNameVariant::None; // selectors
};

constexpr BindingTemplate kBindings[] = {
    {kMasterVolumeSlider, EBindingKind::Fader, kMixerDestinationSpeakers, kMixerNoSource, kMixerControlVolume},
    {kMasterMuteBox, EBindingKind::Switch, kMixerDestinationSpeakers, kMixerNoSource, kMixerControlMute},
    {kWaveVolumeSlider, EBindingKind::Fader, kMixerDestinationSpeakers, kMixerSourceWaveOut, kMixerControlVolume},
    {kWaveMuteBox, EBindingKind::Switch, kMixerDestinationSpeakers, kMixerSourceWaveOut, kMixerControlMute},
    {kMidiVolumeSlider, EBindingKind::Fader, kMixerDestinationSpeakers, kMixerSourceSynthesizer, kMixerControlVolume},
    {kMidiMuteBox, EBindingKind::Switch, kMixerDestinationSpeakers, kMixerSourceSynthesizer, kMixerControlMute},
    {kMicrophoneVolumeSlider, EBindingKind::Fader, kMixerDestinationSpeakers, kMixerSourceMicrophone,
        kMixerControlVolume},
    {kMicrophoneMuteBox, EBindingKind::Switch, kMixerDestinationSpeakers, kMixerSourceMicrophone, kMixerControlMute},
    {kStereoMixRecordSlider, EBindingKind::StereoMixSlider, 0, 0, 0},
    {kStereoMixSelectBox, EBindingKind::Selector, 0, kMixerSourceAnalog, 0, ESourceNameVariant::StereoMix},
    {kMicrophoneRecordSlider, EBindingKind::Fader, kMixerDestinationWaveIn, kMixerSourceMicrophone,
        kMixerControlVolume},
    {kMicrophoneSelectBox, EBindingKind::Selector, 0, kMixerSourceMicrophone, 0, ESourceNameVariant::None},
    {kMicrophoneBoostBox, EBindingKind::Switch, kMixerDestinationWaveIn, kMixerSourceMicrophone, kMixerControlOnOff},
};

constexpr int kDefaultStereoMixPercent = 12;

// Where the 音量均衡 switch is kept.
const QString kLevelingApplication = QStringLiteral("VolumeControl");
const QString kLevelingKey = QStringLiteral("Leveling");

} // namespace

CVolumeWindow::CVolumeWindow(const VolumeWindowParts& parts, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , m_parts(parts)
{
    setWindowTitle(tr("音量控制"));
    setWindowIcon(ApplicationIcon());
    setModal(false);

    SetTiledBackground(*this);

    const CDialogUnits units(font());
    // The sliders and check boxes are the ones the mixer bindings drive.
    m_controls.Build(*this, "CVolumeWindow", kControls, units, [this](const ControlTemplate& control) -> QWidget* {
        switch (control.kind) {
        case EControlKind::VerticalSlider:
            return new CMixerSlider(this);
        case EControlKind::CheckBox:
            return control.id == kLevelingBox || control.id == kEarMonitorBox
                ? nullptr
                : new CMixerCheckBox(m_controls.Text(control), this);
        case EControlKind::Custom:
            return new QSlider(Qt::Horizontal, this);
        default:
            return nullptr;
        }
    });
    m_deviceList = m_controls.Control<QComboBox>(kRecordingDeviceList);
    setFixedSize(units.X(kClientWidth), units.Y(kClientHeight));
    m_calibrationPoll = new QTimer(this);
    m_calibrationPoll->setInterval(kCalibrationPollMs);
    auto* leveling = m_controls.Control<QCheckBox>(kLevelingBox);
    leveling->setToolTip(tr("每首歌以相同的响度播放 (EBU R128, -18 LUFS), 从下一次播放起生效"));
    leveling->setChecked(QSettings(kSettingsOrganisation, kLevelingApplication).value(kLevelingKey, true).toBool());
    m_parts.session.Leveling().SetOn(leveling->isChecked());
    m_voiceEffect = std::make_unique<CVoiceEffectControls>(m_parts.voiceEffect, m_parts.prompts,
        *m_controls.Control<QComboBox>(kVoiceEffectList), *m_controls.Control<QPushButton>(kMoreEffectsButton));
    auto* earMonitorBox = m_controls.Control<QCheckBox>(kEarMonitorBox);
    auto* earMonitorVolume = m_controls.Control<QSlider>(kEarMonitorVolumeSlider);
    auto* earMonitorLatency = m_controls.Control<QLabel>(kEarMonitorLatencyLabel);
    if (m_parts.earMonitor) {
        m_earMonitor = std::make_unique<CEarMonitorControls>(*m_parts.earMonitor, m_parts.voiceEffect, m_parts.prompts,
            *earMonitorBox, *earMonitorVolume, *earMonitorLatency);
        connect(m_voiceEffect.get(), &CVoiceEffectControls::changed, m_earMonitor.get(),
            &CEarMonitorControls::EffectChanged);
    } else {
        for (QWidget* widget : {static_cast<QWidget*>(earMonitorBox), static_cast<QWidget*>(earMonitorVolume)})
            widget->setEnabled(false);
    }
    BindControls();
    Connect();
}

CVolumeWindow::~CVolumeWindow()
{
    m_calibration.reset();
    m_notifiers.clear();
    CLineVolumeSlider& stereoMix = m_parts.recording.StereoMixSlider();
    stereoMix.Close();
    stereoMix.Attach(nullptr);
}

void CVolumeWindow::BindControls()
{
    for (const std::u16string& name : m_parts.recording.DeviceNames())
        m_deviceList->addItem(QString::fromStdU16String(name));
    if (m_deviceList->count() > 0) {
        try {
            m_parts.recording.SelectDevice(m_deviceList->itemText(0).toStdU16String());
        } catch (const std::exception&) {
            // The device records all the same; its disabled stereo-mix slider says what is missing.
        }
    }

    for (const BindingTemplate& binding : kBindings) {
        auto* slider = m_controls.Control<CMixerSlider>(binding.id);
        auto* checkBox = m_controls.Control<CMixerCheckBox>(binding.id);
        CMixerClient* client = nullptr;
        switch (binding.kind) {
        case EBindingKind::Fader: {
            auto& fader = *m_faders.emplace_back(std::make_unique<CMixerFader>(m_parts.mixers));
            fader.Attach(slider);
            fader.Init(binding.destination, binding.source, binding.control, EFaderKind::Main);
            connect(slider, &QSlider::valueChanged, this, [this, &fader] {
                fader.OnScroll();
                DeliverChanges();
            });
            client = &fader;
            break;
        }
        case EBindingKind::Switch: {
            auto& mixerSwitch = *m_switches.emplace_back(std::make_unique<CMixerSwitch>(m_parts.mixers));
            mixerSwitch.Attach(checkBox);
            mixerSwitch.Init(binding.destination, binding.source, binding.control);
            connect(checkBox, &QCheckBox::clicked, this, [this, &mixerSwitch] {
                mixerSwitch.OnClick();
                DeliverChanges();
            });
            client = &mixerSwitch;
            break;
        }
        case EBindingKind::StereoMixSlider: {
            CLineVolumeSlider& stereoMix = m_parts.recording.StereoMixSlider();
            stereoMix.Attach(slider);
            m_parts.recording.BindStereoMixSlider();
            connect(slider, &QSlider::valueChanged, this, [this, &stereoMix] {
                stereoMix.OnScroll();
                DeliverChanges();
            });
            client = &stereoMix;
            break;
        }
        case EBindingKind::Selector: {
            auto& selector = *m_selectors.emplace_back(std::make_unique<CRecordingSourceSelector>(m_parts.mixers));
            selector.Init(checkBox, binding.source, binding.nameVariant);
            connect(checkBox, &QCheckBox::clicked, this, [this, &selector] {
                selector.Select();
                DeliverChanges();
            });
            if (binding.nameVariant == ESourceNameVariant::StereoMix)
                m_stereoMixSelector = &selector;
            client = &selector;
            break;
        }
        }
        m_clients.push_back(client);
        Watch(*client);
    }
}

void CVolumeWindow::Connect()
{
    const auto onClick = [this](int id, auto&& action) {
        connect(m_controls.Control<QPushButton>(id), &QPushButton::clicked, this, action);
    };
    onClick(kDefaultSettingsButton, [this] { ApplyDefaultSettings(); });
    onClick(kPlaybackSettingsButton,
        [this] { OpenVolumeTool(EVolumeToolView::Playback, m_parts.programs, m_parts.prompts); });
    onClick(kRecordingSettingsButton,
        [this] { OpenVolumeTool(EVolumeToolView::Recording, m_parts.programs, m_parts.prompts); });
    onClick(kVolumeHelpButton, [this] { m_parts.desktop.OpenDocument(m_parts.helpFolder / "Volume.html"); });
    onClick(kCalibrateLatencyButton, [this] { StartLatencyCalibration(); });
    connect(m_controls.Control<QCheckBox>(kLevelingBox), &QCheckBox::toggled, this, [this](bool on) {
        m_parts.session.Leveling().SetOn(on);
        QSettings(kSettingsOrganisation, kLevelingApplication).setValue(kLevelingKey, on);
    });
    connect(m_calibrationPoll, &QTimer::timeout, this, [this] {
        if (m_calibration->IsDone() || ++m_calibrationPolls >= kLongestCalibrationPolls)
            FinishLatencyCalibration();
    });
    connect(m_deviceList, &QComboBox::activated, this, [this](int index) {
        try {
            m_parts.recording.SelectDevice(m_deviceList->itemText(index).toStdU16String());
        } catch (const std::exception& error) {
            m_parts.prompts.ShowError(CaptionError(), Utf8ToUtf16(error.what()));
        }
        CLineVolumeSlider& stereoMix = m_parts.recording.StereoMixSlider();
        m_notifiers.erase(&stereoMix); // binding closes its mixer, and a message box may run events meanwhile
        m_parts.recording.BindStereoMixSlider();
        Watch(stereoMix);
    });
}

void CVolumeWindow::Watch(CMixerClient& client)
{
    auto& notifiers = m_notifiers[&client];
    notifiers.clear();
    for (const MixerPollDescriptor& descriptor : client.PollDescriptors()) {
        const auto type = (descriptor.events & POLLOUT) ? QSocketNotifier::Write : QSocketNotifier::Read;
        auto& notifier = notifiers.emplace_back(std::make_unique<QSocketNotifier>(descriptor.fd, type));
        connect(notifier.get(), &QSocketNotifier::activated, this, [&client] { client.HandleMixerEvents(); });
    }
}

void CVolumeWindow::DeliverChanges()
{
    for (CMixerClient* client : m_clients)
        client->HandleMixerEvents();
}

void CVolumeWindow::ApplyDefaultSettings()
{
    m_stereoMixSelector->Select();
    if (CMixerLine* line = m_parts.recording.StereoMixSlider().Line())
        line->SetVolumePercent(kDefaultStereoMixPercent);
    DeliverChanges();
}

void CVolumeWindow::reject()
{
    QDialog::reject();
    m_parts.controller.Handle(command::CompanionClosed {ECompanion::Volume});
}

void CVolumeWindow::StartLatencyCalibration()
{
    if (m_calibration)
        return;
    const CWaveRecorder* selected = m_parts.recording.SelectedRecorder();
    m_calibration = std::make_unique<CLatencyCalibration>(
        m_parts.audioOutput, m_parts.waveIn, selected ? selected->DeviceNumber() : kWaveMapper);
    if (!m_calibration->Start()) {
        m_calibration.reset();
        m_parts.prompts.ShowError(CaptionError(), tr("Can't open WAVE In Device!").toStdU16String());
        return;
    }
    m_controls.Control(kCalibrateLatencyButton)->setEnabled(false);
    m_calibrationPolls = 0;
    m_calibrationPoll->start();
}

void CVolumeWindow::FinishLatencyCalibration()
{
    m_calibrationPoll->stop();
    const std::optional<double> roundTrip = m_calibration->Finish();
    const double reported = m_calibration->ReportedLatencyMs();
    const LatencyCorrection correction = m_calibration->Correction(roundTrip.value_or(0));
    m_calibration.reset();
    m_controls.Control(kCalibrateLatencyButton)->setEnabled(true);
    if (!roundTrip) {
        m_parts.prompts.ShowError(CaptionWarning(),
            tr("没有听到校准的咔嗒声。请把麦克风放在音箱旁边，或用线把输出接到输入，调高录音音量后再试。")
                .toStdU16String());
        return;
    }
    if (!SaveLatencyCorrection(m_parts.programFolder, correction)) {
        m_parts.prompts.ShowError(
            CaptionError(), tr("无法保存 %1。").arg(QStringLiteral("Latency.ini")).toStdU16String());
        return;
    }
    const QString text = tr("往返延迟为 %1 毫秒（设备报告 %2 毫秒），已保存。")
                             .arg(correction.roundTripMs, 0, 'f', 1)
                             .arg(reported, 0, 'f', 1);
    m_parts.prompts.ShowMessage(MessageRequest {ApplicationTitle(), text.toStdU16String()});
}

} // namespace linlangok
