#include "ui/mixer/VoiceControls.h"

#include "common/Text.h"
#include "common/Translation.h"
#include "core/performance/VoicePresets.h"
#include "ui/widgets/ProgramSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSettings>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace linlangok {
namespace {

const QString kVoiceApplication = QStringLiteral("VolumeControl");
const QString kVoiceEffectKey = QStringLiteral("VoiceEffect");
const QString kEarMonitorVolumeKey = QStringLiteral("EarMonitorVolume");
constexpr int kDefaultEarMonitorVolume = 80;
constexpr int kEarMonitorPollMs = 200;

QString FromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A spin box's range for a control whose plugin gives none.
constexpr double kUnboundedControl = 1e6;

double Bounded(float limit)
{
    return std::isfinite(limit) ? limit : std::copysign(kUnboundedControl, limit);
}

// A form row's label, which screen readers say as the name without its colon.
QLabel* RowLabel(const QString& name, QWidget* buddy)
{
    auto* label = new QLabel(name + QStringLiteral(":"), buddy->parentWidget());
    label->setAccessibleName(name);
    label->setBuddy(buddy);
    return label;
}

} // namespace

CVoiceEffectControls::CVoiceEffectControls(
    CVoiceEffectChoice& choice, IUserPrompts& prompts, QComboBox& list, QPushButton& more)
    : QObject(&list)
    , m_choice(choice)
    , m_prompts(prompts)
    , m_list(list)
    , m_more(more)
{
    for (const VoicePreset& preset : VoicePresets())
        m_list.addItem(QCoreApplication::translate("VoicePresets", preset.name.data()), FromUtf8(preset.name));
    m_choice.SetText(
        QSettings(kSettingsOrganisation, kVoiceApplication).value(kVoiceEffectKey).toString().toStdString());
    m_choice.SetListener([this] {
        QSettings(kSettingsOrganisation, kVoiceApplication).setValue(kVoiceEffectKey, FromUtf8(m_choice.Text()));
        ShowChoice();
        emit changed();
    });
    ShowChoice();
    m_more.setEnabled(m_choice.Effects() != nullptr);
    connect(&m_list, &QComboBox::activated, this, &CVoiceEffectControls::ChoosePreset);
    connect(&m_more, &QPushButton::clicked, this, &CVoiceEffectControls::PickPlugin);
}

CVoiceEffectControls::~CVoiceEffectControls()
{
    m_choice.SetListener({});
}

void CVoiceEffectControls::ShowChoice()
{
    const int presets = static_cast<int>(VoicePresets().size());
    while (m_list.count() > presets)
        m_list.removeItem(presets);
    if (const auto& custom = m_choice.Custom()) {
        QString name = FromUtf8(custom->uri);
        if (m_choice.Effects()) {
            for (const VoicePluginInfo& plugin : m_choice.Effects()->Plugins())
                if (plugin.uri == custom->uri)
                    name = FromUtf8(plugin.name);
        }
        m_list.addItem(name);
        m_list.setCurrentIndex(presets);
        return;
    }
    m_list.setCurrentIndex(m_list.findData(FromUtf8(m_choice.Name())));
}

void CVoiceEffectControls::ChoosePreset(int index)
{
    if (index >= static_cast<int>(VoicePresets().size()))
        return;
    m_choice.ChoosePreset(VoicePresets()[static_cast<size_t>(index)].name);
    SayWhatIsMissing();
}

void CVoiceEffectControls::PickPlugin()
{
    if (!m_choice.Effects())
        return;
    if (m_choice.Effects()->Plugins().empty()) {
        m_prompts.ShowMessage(
            {std::u16string(CaptionWarning()), tr("这台电脑上没有安装 LV2 混响或延迟插件。").toStdU16String(),
                EMessageButtons::Ok, EMessageIcon::Warning});
        return;
    }
    CMoreEffectsDialog dialog(*m_choice.Effects(), m_choice.Custom(), m_more.window());
    if (dialog.exec() == QDialog::Accepted)
        m_choice.ChooseCustom(dialog.Setting());
}

void CVoiceEffectControls::SayWhatIsMissing()
{
    const VoicePreset* preset = FindVoicePreset(m_choice.Name());
    if (!preset)
        return;
    const std::vector<VoicePluginInfo> installed
        = m_choice.Effects() ? m_choice.Effects()->Plugins() : std::vector<VoicePluginInfo> {};
    for (const VoiceEffectStage& stage : preset->chain) {
        if (std::none_of(installed.begin(), installed.end(),
                [&](const VoicePluginInfo& plugin) { return plugin.uri == stage.uri; })) {
            m_prompts.ShowMessage({std::u16string(CaptionWarning()),
                tr("%1\n人声没有加效果。").arg(FromUtf8(MissingVoicePluginText(stage.uri))).toStdU16String(),
                EMessageButtons::Ok, EMessageIcon::Warning});
            return;
        }
    }
}

CEarMonitorControls::CEarMonitorControls(CEarMonitor& monitor, CVoiceEffectChoice& choice, IUserPrompts& prompts,
    QCheckBox& on, QSlider& volume, QLabel& latency)
    : QObject(&on)
    , m_monitor(monitor)
    , m_choice(choice)
    , m_prompts(prompts)
    , m_on(on)
    , m_volume(volume)
    , m_latency(latency)
    , m_poll(new QTimer(this))
{
    m_on.setChecked(false);
    m_on.setToolTip(tr("从音箱或耳机里听到自己的声音 (加上效果); 用音箱时小心啸叫"));
    m_volume.setRange(0, 100);
    m_volume.setValue(QSettings(kSettingsOrganisation, kVoiceApplication)
                          .value(kEarMonitorVolumeKey, kDefaultEarMonitorVolume)
                          .toInt());
    m_monitor.SetVolume(m_volume.value());
    m_latency.setText(tr("延迟 --"));
    m_poll->setInterval(kEarMonitorPollMs);
    connect(&m_on, &QCheckBox::toggled, this, &CEarMonitorControls::Switch);
    connect(&m_volume, &QSlider::valueChanged, this, [this](int percent) {
        m_monitor.SetVolume(percent);
        QSettings(kSettingsOrganisation, kVoiceApplication).setValue(kEarMonitorVolumeKey, percent);
    });
    connect(m_poll, &QTimer::timeout, this, &CEarMonitorControls::Poll);
}

CEarMonitorControls::~CEarMonitorControls()
{
    m_monitor.Stop();
}

void CEarMonitorControls::EffectChanged()
{
    if (m_monitor.IsRunning())
        Switch(true);
}

void CEarMonitorControls::Switch(bool on)
{
    if (!on) {
        m_poll->stop();
        m_monitor.Stop();
        m_latency.setText(tr("延迟 --"));
        return;
    }
    std::string why;
    std::unique_ptr<IVoiceEffect> effect = m_choice.Start(why);
    if (!why.empty())
        Warn(tr("%1\n耳返没有加效果。").arg(FromUtf8(why)).toStdString());
    std::string failure;
    if (!m_monitor.Start(std::move(effect), failure)) {
        Warn(failure);
        const QSignalBlocker quiet(m_on);
        m_on.setChecked(false);
        return;
    }
    m_poll->start();
}

void CEarMonitorControls::Poll()
{
    for (const std::string& message : m_monitor.TakeMessages()) {
        if (message == CEarMonitor::kHowlMessage) {
            Warn(TrUtf8("CEarMonitor", CEarMonitor::kHowlMessage));
        } else {
            Warn(message);
            m_choice.SwitchOff(); // its effect failed: the voice goes on dry
        }
    }
    if (!m_monitor.IsRunning()) {
        m_on.setChecked(false);
        return;
    }
    if (const std::optional<double> latency = m_monitor.LatencyMs())
        m_latency.setText(tr("延迟 %1 毫秒").arg(*latency, 0, 'f', 1));
}

void CEarMonitorControls::Warn(const std::string& text)
{
    m_prompts.ShowMessage({CaptionWarning(), Utf8ToUtf16(text), EMessageButtons::Ok, EMessageIcon::Warning});
}

CMoreEffectsDialog::CMoreEffectsDialog(
    const IVoiceEffects& effects, const std::optional<VoiceEffectSetting>& current, QWidget* parent)
    : QDialog(parent)
    , m_effects(effects)
    , m_plugins(effects.Plugins())
{
    setWindowTitle(tr("更多效果"));
    auto* layout = new QVBoxLayout(this);
    auto* pluginRow = new QFormLayout;
    m_pluginList = new QComboBox(this);
    m_pluginList->setAccessibleName(tr("效果插件"));
    int chosen = 0;
    for (size_t i = 0; i < m_plugins.size(); ++i) {
        m_pluginList->addItem(FromUtf8(m_plugins[i].name + " (" + m_plugins[i].className + ")"));
        if (current && current->uri == m_plugins[i].uri)
            chosen = static_cast<int>(i);
    }
    pluginRow->addRow(RowLabel(tr("插件"), m_pluginList), m_pluginList);
    layout->addLayout(pluginRow);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    auto* controls = new QWidget(scroll);
    m_form = new QFormLayout(controls);
    scroll->setWidget(controls);
    layout->addWidget(scroll);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    for (const auto& [button, text] :
        {std::pair {QDialogButtonBox::Ok, tr("确定")}, std::pair {QDialogButtonBox::Cancel, tr("取消")}}) {
        buttons->button(button)->setText(text);
        buttons->button(button)->setAccessibleName(text);
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    m_pluginList->setCurrentIndex(chosen);
    ShowControls(chosen, current ? &*current : nullptr);
    connect(m_pluginList, &QComboBox::activated, this, [this](int index) { ShowControls(index, nullptr); });
    resize(420, 420);
}

void CMoreEffectsDialog::ShowControls(int pluginIndex, const VoiceEffectSetting* values)
{
    while (m_form->rowCount() > 0)
        m_form->removeRow(0);
    m_controlWidgets.clear();
    m_controlInfo.clear();
    if (pluginIndex < 0 || pluginIndex >= static_cast<int>(m_plugins.size()))
        return;
    const std::string& uri = m_plugins[static_cast<size_t>(pluginIndex)].uri;
    m_controlInfo = m_effects.Controls(uri);
    for (const VoiceControlInfo& control : m_controlInfo) {
        float value = control.defaultValue;
        if (values && values->uri == uri) {
            for (const auto& [symbol, set] : values->controls)
                if (symbol == control.symbol)
                    value = set;
        }
        const QString name = FromUtf8(control.name.empty() ? control.symbol : control.name);
        QWidget* widget = nullptr;
        if (control.toggled) {
            auto* box = new QCheckBox(m_form->parentWidget());
            box->setChecked(value > 0);
            widget = box;
        } else if (control.integer) {
            auto* spin = new QSpinBox(m_form->parentWidget());
            spin->setRange(static_cast<int>(Bounded(control.minimum)), static_cast<int>(Bounded(control.maximum)));
            spin->setValue(static_cast<int>(std::lround(value)));
            widget = spin;
        } else {
            auto* spin = new QDoubleSpinBox(m_form->parentWidget());
            spin->setDecimals(3);
            spin->setRange(Bounded(control.minimum), Bounded(control.maximum));
            spin->setSingleStep((Bounded(control.maximum) - Bounded(control.minimum)) / 100);
            spin->setValue(value);
            widget = spin;
        }
        widget->setAccessibleName(name);
        m_form->addRow(RowLabel(name, widget), widget);
        m_controlWidgets.push_back(widget);
    }
}

VoiceEffectSetting CMoreEffectsDialog::Setting() const
{
    VoiceEffectSetting setting;
    const int index = m_pluginList->currentIndex();
    if (index < 0 || index >= static_cast<int>(m_plugins.size()))
        return setting;
    setting.uri = m_plugins[static_cast<size_t>(index)].uri;
    for (size_t i = 0; i < m_controlInfo.size(); ++i) {
        float value = 0;
        if (auto* box = qobject_cast<QCheckBox*>(m_controlWidgets[i]))
            value = box->isChecked() ? 1.0f : 0.0f;
        else if (auto* spin = qobject_cast<QSpinBox*>(m_controlWidgets[i]))
            value = static_cast<float>(spin->value());
        else if (auto* decimal = qobject_cast<QDoubleSpinBox*>(m_controlWidgets[i]))
            value = static_cast<float>(decimal->value());
        setting.controls.emplace_back(m_controlInfo[i].symbol, value);
    }
    return setting;
}

} // namespace linlangok
