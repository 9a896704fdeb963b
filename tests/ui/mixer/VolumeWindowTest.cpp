#include "ui/mixer/VolumeWindow.h"
#include "core/performance/LatencyCalibration.h"
#include "platform/audio/EarMonitorDevices.h"
#include "platform/fft/FftwRealFft.h"
#include "tests/ui/main/ApplicationRig.h"
#include "ui/mixer/MixerWidgets.h"
#include "ui/mixer/VoiceControls.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace linlangok {
namespace {

using Values = std::vector<std::int32_t>;

// The volume window of a whole application over virtual devices, whose first wave input belongs
// to the in-memory mixer `card`.
class VolumeWindowTest : public ::testing::Test, protected test::CApplicationRig {
protected:
    CVolumeWindow& Start()
    {
        ApplicationServices services = Services(devices.Services(), &devices.waveIn);
        services.voiceEffects = voiceEffects;
        services.earMonitor = earMonitor;
        karaoke = std::make_unique<CKaraokeApplication>(services);
        karaoke->Show();
        QApplication::processEvents();
        return karaoke->VolumeWindow();
    }

    CMixerSlider& Slider(int id) const { return *dynamic_cast<CMixerSlider*>(karaoke->VolumeWindow().Control(id)); }
    CMixerCheckBox& Box(int id) const { return *dynamic_cast<CMixerCheckBox*>(karaoke->VolumeWindow().Control(id)); }
    QString VolumeButtonText() const
    {
        return static_cast<QPushButton*>(karaoke->MainWindow().Control(kToggleVolumeButton))->text();
    }

    CMemoryMixerDevice& card = devices.mixers.Mixer(0);
    const IVoiceEffects* voiceEffects = nullptr;
    CEarMonitor* earMonitor = nullptr;
    std::unique_ptr<CKaraokeApplication> karaoke;
};

constexpr int kSliders[] = {kMasterVolumeSlider, kWaveVolumeSlider, kMidiVolumeSlider, kMicrophoneVolumeSlider,
    kStereoMixRecordSlider, kMicrophoneRecordSlider};
constexpr int kBoxes[] = {kMasterMuteBox, kWaveMuteBox, kMidiMuteBox, kMicrophoneMuteBox, kStereoMixSelectBox,
    kMicrophoneSelectBox, kMicrophoneBoostBox};

TEST_F(VolumeWindowTest, WidgetsShowTheMixerAndTheUsersMovesReachIt)
{
    const TypicalCardControls controls = LayOutTypicalCard(card.Layout());
    card.SetValues(controls.masterVolume, {40000, 20000});
    card.SetValues(controls.waveMute, {1, 1});
    card.SetValues(controls.recordingSource, {0, 1, 0});
    card.SetValues(controls.stereoMixVolume, {32768, 0});
    CVolumeWindow& window = Start();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(static_cast<QComboBox*>(window.Control(kRecordingDeviceList))->currentText(), u"Microphone");
    ASSERT_NE(karaoke->Session().Recording().SelectedRecorder(), nullptr);
    for (const int id : kSliders)
        EXPECT_TRUE(Slider(id).isEnabled()) << id;
    for (const int id : kBoxes)
        EXPECT_TRUE(Box(id).isEnabled()) << id;
    // The positions' arithmetic is MixerArithmeticTest's; here each kind of control shows its line.
    EXPECT_EQ(Slider(kMasterVolumeSlider).value(), 18); // 40000 / 2114
    EXPECT_EQ(Slider(kStereoMixRecordSlider).value(), 50);
    EXPECT_TRUE(Box(kWaveMuteBox).isChecked());
    EXPECT_TRUE(Box(kStereoMixSelectBox).isChecked());

    Slider(kMasterVolumeSlider).setValue(31); // the balance stays
    EXPECT_EQ(card.Values(controls.masterVolume), (Values {65534, 32767}));
    Box(kWaveMuteBox).click();
    EXPECT_EQ(card.Values(controls.waveMute), (Values {0}));
    EXPECT_FALSE(Box(kWaveMuteBox).isChecked());
    Box(kMicrophoneSelectBox).click(); // the multiplexer takes one source
    EXPECT_EQ(card.Values(controls.recordingSource), (Values {1, 0, 0}));
    EXPECT_TRUE(Box(kMicrophoneSelectBox).isChecked());
    EXPECT_FALSE(Box(kStereoMixSelectBox).isChecked());
    Slider(kStereoMixRecordSlider).setValue(25);
    QApplication::processEvents();
    EXPECT_EQ(card.Values(controls.stereoMixVolume), (Values {16383, 16383}));
    EXPECT_EQ(Slider(kStereoMixRecordSlider).value(), 25);
    EXPECT_TRUE(devices.prompts.m_messages.empty());
}

TEST_F(VolumeWindowTest, ChangesMadeElsewhereShowUpAlsoAfterClosingAndShowingAgain)
{
    const TypicalCardControls controls = LayOutTypicalCard(card.Layout());
    CVolumeWindow& window = Start();
    window.close();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(VolumeButtonText(), u"显示控制");

    // What each binding follows is MixerBindingTest's; here the hidden window hears the card.
    card.SetValues(controls.masterMute, {1});
    card.SetValues(controls.stereoMixVolume, {6554, 6554});
    QApplication::processEvents();
    EXPECT_TRUE(Box(kMasterMuteBox).isChecked());
    EXPECT_EQ(Slider(kStereoMixRecordSlider).value(), 10);

    static_cast<QPushButton*>(karaoke->MainWindow().Control(kToggleVolumeButton))->click();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(VolumeButtonText(), u"隐藏控制");
    card.SetValues(controls.masterVolume, {0, 2114});
    QApplication::processEvents();
    EXPECT_EQ(Slider(kMasterVolumeSlider).value(), 1);
    QTest::keyClick(&window, Qt::Key_Escape); // as the close box
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(VolumeButtonText(), u"显示控制");
}

TEST_F(VolumeWindowTest, DefaultSettingsSelectStereoMixAtTwelvePercent)
{
    const TypicalCardControls controls = LayOutTypicalCard(card.Layout());
    card.SetValues(controls.recordingSource, {1, 0, 0});
    Start();
    EXPECT_TRUE(Box(kMicrophoneSelectBox).isChecked());
    static_cast<QPushButton*>(karaoke->VolumeWindow().Control(kDefaultSettingsButton))->click();
    EXPECT_EQ(card.Values(controls.recordingSource), (Values {0, 1, 0}));
    EXPECT_EQ(card.Values(controls.stereoMixVolume), (Values {7864, 7864}));
    EXPECT_TRUE(Box(kStereoMixSelectBox).isChecked());
    EXPECT_FALSE(Box(kMicrophoneSelectBox).isChecked());
    EXPECT_EQ(Slider(kStereoMixRecordSlider).value(), 12);
}

TEST_F(VolumeWindowTest, ControlsTheCardLacksAreDisabledAndTheLayoutFits)
{
    auto& layout = card.Layout();
    const auto speakers = layout.AddDestination(kMixerDestinationSpeakers, u"Master", 2);
    const auto master = layout.AddControl(speakers, {.type = kMixerControlVolume, .maximum = 65535, .steps = 31});
    layout.AddDestination(kMixerDestinationWaveIn, u"Capture", 2); // no sources, so no stereo mix
    CVolumeWindow& window = Start();
    for (const int id : kSliders)
        EXPECT_EQ(Slider(id).isEnabled(), id == kMasterVolumeSlider) << id;
    for (const int id : kBoxes) {
        EXPECT_FALSE(Box(id).isEnabled()) << id;
        EXPECT_FALSE(Box(id).isChecked()) << id;
    }
    static_cast<QPushButton*>(window.Control(kDefaultSettingsButton))->click();
    EXPECT_EQ(card.Values(master), (Values {0, 0}));
    EXPECT_TRUE(devices.prompts.m_messages.empty());
    test::ExpectTextsFitAndControlsNamed(window);
}

// When the session takes the switch up is KaraokeSessionLeveling's matter.
TEST_F(VolumeWindowTest, LevelingBoxSwitchesTheSessionsLevelingAndIsRemembered)
{
    for (const bool on : {true, false}) {
        CVolumeWindow& window = Start();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        auto& box = *static_cast<QCheckBox*>(window.Control(kLevelingBox));
        EXPECT_EQ(box.isChecked(), on);
        QTest::mouseClick(&box, Qt::LeftButton);
        EXPECT_EQ(karaoke->Session().Leveling().IsOn(), !on);
        karaoke.reset();
    }
}

TEST_F(VolumeWindowTest, WithoutAMixerEveryWidgetIsDisabledQuietly)
{
    LayOutTypicalCard(card.Layout());
    devices.mixers.RefuseOpening(true);
    Start();
    for (const int id : kSliders)
        EXPECT_FALSE(Slider(id).isEnabled()) << id;
    for (const int id : kBoxes)
        EXPECT_FALSE(Box(id).isEnabled()) << id;
    EXPECT_NE(karaoke->Session().Recording().SelectedRecorder(), nullptr); // it records all the same
    EXPECT_TRUE(devices.prompts.m_messages.empty());
}

TEST_F(VolumeWindowTest, WithoutRecordingDevicesTheListStaysEmpty)
{
    LayOutTypicalCard(card.Layout());
    devices.waveIn.devices.clear();
    CVolumeWindow& window = Start();
    EXPECT_EQ(static_cast<QComboBox*>(window.Control(kRecordingDeviceList))->count(), 0);
    EXPECT_EQ(karaoke->Session().Recording().SelectedRecorder(), nullptr);
    EXPECT_FALSE(Slider(kStereoMixRecordSlider).isEnabled());
    EXPECT_TRUE(Slider(kMasterVolumeSlider).isEnabled());
}

TEST_F(VolumeWindowTest, ChoosingAnotherDeviceRecordsFromItAndBindsItsStereoMix)
{
    const TypicalCardControls controls = LayOutTypicalCard(card.Layout());
    devices.waveIn.devices.push_back({u"USB Audio", kWaveFormat4S16, 2});
    devices.waveIn.devices.push_back({u"Bluetooth", kWaveFormat4S16, 2});
    CMemoryMixerDevice& usb = devices.mixers.AddMixer(); // belongs to wave input 1
    const auto waveIn = usb.Layout().AddDestination(kMixerDestinationWaveIn, u"Capture", 2);
    const auto stereoMix = usb.Layout().AddSource(waveIn, kMixerSourceAnalog, u"立体声混音", 2);
    const auto usbVolume = usb.Layout().AddControl(stereoMix, {.type = kMixerControlVolume, .maximum = 100});
    usb.SetValues(usbVolume, {30, 30});
    card.SetValues(controls.stereoMixVolume, {65535, 65535});
    CVolumeWindow& window = Start();
    EXPECT_EQ(Slider(kStereoMixRecordSlider).value(), 100);

    auto& list = *static_cast<QComboBox*>(window.Control(kRecordingDeviceList));
    list.setCurrentIndex(1);
    emit list.activated(1);
    EXPECT_EQ(karaoke->Session().Recording().SelectedRecorder()->Capabilities().name, u"USB Audio");
    EXPECT_EQ(Slider(kStereoMixRecordSlider).value(), 30);
    usb.SetValues(usbVolume, {70, 70});
    QApplication::processEvents();
    EXPECT_EQ(Slider(kStereoMixRecordSlider).value(), 70);
    Slider(kStereoMixRecordSlider).setValue(40);
    EXPECT_EQ(usb.Values(usbVolume), (Values {40, 40}));
    EXPECT_EQ(card.Values(controls.stereoMixVolume), (Values {65535, 65535}));

    list.setCurrentIndex(2); // a device without a mixer
    emit list.activated(2);
    EXPECT_EQ(karaoke->Session().Recording().SelectedRecorder()->Capabilities().name, u"Bluetooth");
    EXPECT_FALSE(Slider(kStereoMixRecordSlider).isEnabled());
    EXPECT_EQ(devices.prompts.MessageTexts(), std::vector<std::string> {"Can't open Mixer Device."});
}

TEST_F(VolumeWindowTest, SettingsButtonsOpenTheDesktopsMixerProgramAndHelpItsPage)
{
    struct Row {
        std::set<std::string> programs;
        int button;
        bool starts;
        std::optional<ProgramCommand> command; // nothing: a message instead
    };
    const Row rows[] = {
        {{"pavucontrol", "alsamixer", "xterm"}, kPlaybackSettingsButton, true, ProgramCommand {"pavucontrol", {}}},
        {{"pavucontrol"}, kRecordingSettingsButton, true, ProgramCommand {"pavucontrol", {"-t", "4"}}},
        {{"alsamixer", "gnome-terminal", "xterm"}, kRecordingSettingsButton, true,
            ProgramCommand {"gnome-terminal", {"--", "alsamixer", "-V", "capture"}}},
        {{"alsamixer", "xterm"}, kPlaybackSettingsButton, true, ProgramCommand {"xterm", {"-e", "alsamixer"}}},
        {{"alsamixer"}, kPlaybackSettingsButton, true, std::nullopt},
        {{"xterm"}, kRecordingSettingsButton, true, std::nullopt},
        {{"pavucontrol"}, kPlaybackSettingsButton, false, ProgramCommand {"pavucontrol", {}}},
    };
    CVolumeWindow& window = Start();
    for (const Row& row : rows) {
        programs.m_programs = row.programs;
        programs.m_startSucceeds = row.starts;
        programs.m_started.clear();
        devices.prompts.m_messages.clear();
        static_cast<QPushButton*>(window.Control(row.button))->click();
        EXPECT_EQ(programs.m_started, row.command ? std::vector {*row.command} : std::vector<ProgramCommand> {})
            << *row.programs.begin();
        EXPECT_EQ(devices.prompts.m_messages.size(), row.command && row.starts ? 0u : 1u) << *row.programs.begin();
    }
    static_cast<QPushButton*>(window.Control(kVolumeHelpButton))->click();
    EXPECT_EQ(desktop.documents,
        (std::vector<std::filesystem::path> {
            std::filesystem::path(LINLANGOK_SOURCE_DIR "/resources/help/Volume.html")}));
}

// The calibration button over the rig's devices, in virtual time: the input hears the clicks
// 100 ms after they are rendered, or hears nothing.
TEST_F(VolumeWindowTest, CalibrationButtonMeasuresAndKeepsTheRoundTripOrSaysNothingWasHeard)
{
    CVolumeWindow& window = Start();
    auto& button = *static_cast<QPushButton*>(window.Control(kCalibrateLatencyButton));
    const std::filesystem::path ini = devices.home.Path() / "Latency.ini";
    for (const bool heard : {false, true}) {
        devices.prompts.m_messages.clear();
        button.click();
        EXPECT_FALSE(button.isEnabled());
        for (std::uint64_t frame = 0; frame < ClickTrain::kFrames + kLongestRoundTripFrames + 441;) {
            devices.Advance(10);
            for (const std::uint64_t end = frame + 441; frame < end; ++frame) {
                const auto sample = static_cast<std::int16_t>(
                    heard && frame >= 4410 ? std::lround(ClickTrain::Sample(frame - 4410) * 8000) : 0);
                devices.waveIn.Capture(1, sample, sample);
            }
        }
        for (int poll = 0; poll < 100 && !button.isEnabled(); ++poll)
            QTest::qWait(50); // the window looks at the calibration every 50 ms
        EXPECT_TRUE(button.isEnabled());
        ASSERT_EQ(devices.prompts.m_messages.size(), 1u);
        EXPECT_EQ(std::filesystem::exists(ini), heard);
    }
    EXPECT_EQ(devices.prompts.MessageTexts().front(), "往返延迟为 100.0 毫秒（设备报告 0.0 毫秒），已保存。");
    const auto kept = LoadLatencyCorrection(devices.home.Path(), devices.prompts);
    ASSERT_TRUE(kept);
    EXPECT_NEAR(kept->roundTripMs, 100.0, 0.05);
    EXPECT_FALSE(kept->output.empty() || kept->input.empty()); // it holds for these devices only
}

// The room the presets use and a plate with a level and a switch; nothing of them runs here.
struct CInstalledEffects final : IVoiceEffects {
    std::vector<VoicePluginInfo> Plugins() const override
    {
        return {{"urn:dragonfly:plate", "Dragonfly Plate Reverb", "Reverb Plugin"},
            {"urn:dragonfly:room", "Dragonfly Room Reverb", "Reverb Plugin"}};
    }
    std::vector<VoiceControlInfo> Controls(std::string_view uri) const override
    {
        if (uri != "urn:dragonfly:plate")
            return {};
        return {{"wet", "Wet Level", 0, 100, 25}, {"bypass", "Bypass", 0, 1, 0, true}};
    }
    std::unique_ptr<IVoiceEffect> Start(const VoiceEffectChain&) const override { return nullptr; }
};

TEST_F(VolumeWindowTest, EffectListSaysAMissingPluginsPackageAndAPickedPluginIsRemembered)
{
    const CInstalledEffects effects;
    voiceEffects = &effects;
    CVolumeWindow& window = Start();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    auto& list = *static_cast<QComboBox*>(window.Control(kVoiceEffectList));
    EXPECT_EQ(list.currentText(), "无");
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_Down); // KTV echoes through mda Delay, which is missing
    EXPECT_EQ(karaoke->VoiceEffect().Name(), "KTV");
    EXPECT_EQ(devices.prompts.MessageTexts(),
        std::vector<std::string> {
            "找不到效果插件“http://drobilla.net/plugins/mda/Delay”。请安装软件包 mda-lv2。\n人声没有加效果。"});
    QTest::keyClick(&list, Qt::Key_Down); // 录音棚 is the room alone
    EXPECT_EQ(devices.prompts.m_messages.size(), 1u);

    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<CMoreEffectsDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        test::ExpectTextsFitAndControlsNamed(*dialog);
        dialog->findChild<QDoubleSpinBox*>()->setValue(40);
        dialog->accept();
    });
    QTest::mouseClick(static_cast<QPushButton*>(window.Control(kMoreEffectsButton)), Qt::LeftButton);
    EXPECT_EQ(karaoke->VoiceEffect().Text(), "lv2 urn:dragonfly:plate wet=40 bypass=0");
    EXPECT_EQ(list.currentText(), "Dragonfly Plate Reverb");

    karaoke.reset();
    Start();
    EXPECT_EQ(karaoke->VoiceEffect().Text(), "lv2 urn:dragonfly:plate wet=40 bypass=0");
    karaoke->VoiceEffect().SwitchOff(); // as a failing effect is
    EXPECT_EQ(static_cast<QComboBox*>(karaoke->VolumeWindow().Control(kVoiceEffectList))->currentText(), "无");
}

TEST_F(VolumeWindowTest, EarMonitorIsOffAtStartShowsItsDelayAndSaysWhyItCannotOpen)
{
    CEarMonitor monitor(EarMonitorDevicesForSelection("null", "null,latency=5", 128), CFftwRealFft::Create);
    earMonitor = &monitor;
    CVolumeWindow& window = Start();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    auto& box = *static_cast<QCheckBox*>(window.Control(kEarMonitorBox));
    auto& volume = *static_cast<QSlider*>(window.Control(kEarMonitorVolumeSlider));
    auto& latency = *static_cast<QLabel*>(window.Control(kEarMonitorLatencyLabel));
    EXPECT_FALSE(box.isChecked());
    EXPECT_FALSE(monitor.IsRunning());
    volume.setFocus();
    QTest::keyClick(&volume, Qt::Key_PageDown);
    EXPECT_EQ(monitor.Volume(), 70);
    box.setFocus();
    QTest::keyClick(&box, Qt::Key_Space);
    EXPECT_TRUE(monitor.IsRunning());
    EXPECT_TRUE(QTest::qWaitFor([&] { return latency.text().endsWith("毫秒"); })) << latency.text().toStdString();
    QTest::keyClick(&box, Qt::Key_Space);
    EXPECT_FALSE(monitor.IsRunning());
    EXPECT_EQ(latency.text(), "延迟 --");
    EXPECT_TRUE(devices.prompts.m_messages.empty());

    karaoke.reset();
    CEarMonitor broken(EarMonitorDevicesForSelection("null", "wav:/nonexistent/ear.wav", 128), CFftwRealFft::Create);
    earMonitor = &broken;
    CVolumeWindow& again = Start();
    EXPECT_EQ(static_cast<QSlider*>(again.Control(kEarMonitorVolumeSlider))->value(), 70);
    auto& brokenBox = *static_cast<QCheckBox*>(again.Control(kEarMonitorBox));
    QTest::mouseClick(&brokenBox, Qt::LeftButton);
    EXPECT_FALSE(brokenBox.isChecked());
    EXPECT_FALSE(broken.IsRunning());
    ASSERT_EQ(devices.prompts.m_messages.size(), 1u);
    EXPECT_NE(devices.prompts.MessageTexts().front().find("ear.wav"), std::string::npos)
        << devices.prompts.MessageTexts().front();
    karaoke.reset(); // before the monitors it switches off
}

} // namespace
} // namespace linlangok
