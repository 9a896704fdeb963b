#pragma once

#include "common/UserPrompts.h"
#include "core/performance/EarMonitor.h"
#include "core/performance/VoiceEffectChoice.h"

#include <QDialog>

#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QPushButton;
class QSlider;
class QTimer;

namespace linlangok {

// The volume window's 效果: the presets and, while it is the choice, the plugin picked under
// 更多效果…, which its button opens. The choice is kept with Qt's settings and shown again when
// it changes elsewhere (an effect that failed switches it off). A chosen chain whose plugin is
// not installed is said at once, with the package that brings it. The installed plugins are
// looked at only when needed (a preset picked, 更多效果…, a plugin's name), not as the window is
// made. UI thread.
class CVoiceEffectControls final : public QObject {
    Q_OBJECT
public:
    // The widgets and the choice outlive the controls; the choice is restored from the settings.
    CVoiceEffectControls(CVoiceEffectChoice& choice, IUserPrompts& prompts, QComboBox& list, QPushButton& more);
    ~CVoiceEffectControls() override;

signals:
    // The choice has changed, here or elsewhere.
    void changed();

private:
    void ShowChoice();
    void ChoosePreset(int index);
    void PickPlugin();
    // Says which of the choice's plugins is not installed, and the package that brings it.
    void SayWhatIsMissing();

    CVoiceEffectChoice& m_choice;
    IUserPrompts& m_prompts;
    QComboBox& m_list;
    QPushButton& m_more;
};

// The volume window's 耳返: its switch (off at every start, since speakers and an open microphone
// can howl), its volume (kept with Qt's settings) and the delay the running monitor measures. The
// monitor hears the voice through the chosen effect, started again when the choice changes; what
// it says (a howl closed it, its effect failed) is shown as a warning, and an effect that failed
// is switched off as in the performance. UI thread.
class CEarMonitorControls final : public QObject {
    Q_OBJECT
public:
    // The monitor, the choice and the widgets outlive the controls; the switch is turned off.
    CEarMonitorControls(CEarMonitor& monitor, CVoiceEffectChoice& choice, IUserPrompts& prompts, QCheckBox& on,
        QSlider& volume, QLabel& latency);
    ~CEarMonitorControls() override;

    // The effect chosen has changed: a running monitor starts again with it.
    void EffectChanged();

private:
    void Switch(bool on);
    // The monitor's messages and its delay; a monitor that stopped itself unticks the switch.
    void Poll();
    void Warn(const std::string& text);

    CEarMonitor& m_monitor;
    CVoiceEffectChoice& m_choice;
    IUserPrompts& m_prompts;
    QCheckBox& m_on;
    QSlider& m_volume;
    QLabel& m_latency;
    QTimer* m_poll = nullptr;
};

// "更多效果": an installed reverb or delay and its controls, each by its own widget (a check box
// for a switch, a whole-number or decimal spin box for the others), set as `current` when it is
// that plugin and at their defaults otherwise.
class CMoreEffectsDialog final : public QDialog {
    Q_OBJECT
public:
    CMoreEffectsDialog(
        const IVoiceEffects& effects, const std::optional<VoiceEffectSetting>& current, QWidget* parent = nullptr);

    // The plugin chosen and every control's value; an empty URI when none is installed.
    VoiceEffectSetting Setting() const;

private:
    void ShowControls(int pluginIndex, const VoiceEffectSetting* values);

    const IVoiceEffects& m_effects;
    std::vector<VoicePluginInfo> m_plugins;
    std::vector<VoiceControlInfo> m_controlInfo;
    std::vector<QWidget*> m_controlWidgets;
    QComboBox* m_pluginList = nullptr;
    QFormLayout* m_form = nullptr;
};

} // namespace linlangok
