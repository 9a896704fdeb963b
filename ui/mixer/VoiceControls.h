#pragma once

#include "common/UserPrompts.h"
#include "core/performance/VoiceEffectChoice.h"

#include <QDialog>

#include <optional>
#include <vector>

class QComboBox;
class QFormLayout;
class QPushButton;

namespace linlangok {

// The volume window's 效果: the presets and, while it is the choice, the plugin picked under
// 更多效果…, which its button opens. The choice is kept with Qt's settings and shown again when
// it changes elsewhere (an effect that failed switches it off). A chosen chain whose plugin is
// not installed is said at once, with the package that brings it. UI thread.
class CVoiceEffectControls final : public QObject {
    Q_OBJECT
public:
    // The widgets and the choice outlive the controls; the choice is restored from the settings.
    CVoiceEffectControls(CVoiceEffectChoice& choice, IUserPrompts& prompts, QComboBox& list, QPushButton& more);
    ~CVoiceEffectControls() override;

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
