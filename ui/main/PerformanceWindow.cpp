#include "ui/main/PerformanceWindow.h"

#include "core/controller/PerformanceController.h"
#include "core/session/KaraokeSession.h"
#include "ui/widgets/Artwork.h"
#include "ui/widgets/DialogUnits.h"
#include "ui/widgets/QtText.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

namespace linlangok {
namespace {

// The dialog template, in creation order.
constexpr ControlTemplate kControls[] = {
    {kPerformanceAlignmentLabel, EControlKind::Label, "", 7, 7, 182, 10},
    {0, EControlKind::Label, QT_TRANSLATE_NOOP("CPerformanceWindow", "伴奏"), 7, 25, 18, 10, nullptr,
        Qt::AlignLeft | Qt::AlignVCenter},
    {kPerformanceBalanceSlider, EControlKind::Custom, "", 27, 23, 142, 14,
        QT_TRANSLATE_NOOP("CPerformanceWindow", "人声与伴奏的平衡")},
    {0, EControlKind::Label, QT_TRANSLATE_NOOP("CPerformanceWindow", "人声"), 171, 25, 18, 10, nullptr,
        Qt::AlignRight | Qt::AlignVCenter},
    {kPerformanceAuditionButton, EControlKind::Button, QT_TRANSLATE_NOOP("CPerformanceWindow", "试听"), 7, 46, 50, 14},
    {kPerformanceSaveButton, EControlKind::DefaultButton, QT_TRANSLATE_NOOP("CPerformanceWindow", "保存演唱..."), 67,
        46, 62, 14},
    {kPerformanceCloseButton, EControlKind::Button, QT_TRANSLATE_NOOP("CPerformanceWindow", "关闭"), 139, 46, 50, 14},
};

constexpr int kClientWidth = 196; // dialog units
constexpr int kClientHeight = 67;

constexpr int kAuditionPollMs = 200;

} // namespace

CPerformanceWindow::CPerformanceWindow(CPerformanceController& controller, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , m_controller(controller)
{
    setWindowTitle(tr("保存演唱"));
    setWindowIcon(ApplicationIcon());
    setModal(true);
    SetTiledBackground(*this);

    const CDialogUnits units(font());
    m_controls.Build(*this, "CPerformanceWindow", kControls, units, [this](const ControlTemplate& control) -> QWidget* {
        if (control.id != kPerformanceBalanceSlider)
            return nullptr;
        return m_balance = new QSlider(Qt::Horizontal, this);
    });
    setFixedSize(units.X(kClientWidth), units.Y(kClientHeight));

    auto* alignment = m_controls.Control<QLabel>(kPerformanceAlignmentLabel);
    alignment->setText(ToQString(m_controller.AlignmentText()));
    alignment->setAccessibleName(alignment->text());
    m_balance->setRange(kVoicePercentMinimum, kVoicePercentMaximum);
    m_balance->setPageStep(10);
    m_balance->setTickPosition(QSlider::TicksBelow);
    m_balance->setTickInterval(kDefaultVoicePercent);
    m_balance->setValue(m_controller.VoicePercent());
    m_balance->setToolTip(tr("向左伴奏更响，向右人声更响；居中两者都是原音量"));
    m_audition = m_controls.Control<QPushButton>(kPerformanceAuditionButton);

    connect(m_balance, &QSlider::valueChanged, this, [this](int percent) { m_controller.SetVoicePercent(percent); });
    connect(m_audition, &QPushButton::clicked, this, [this] {
        m_controller.ToggleAudition();
        ShowAudition();
    });
    connect(m_controls.Control<QPushButton>(kPerformanceSaveButton), &QPushButton::clicked, this,
        [this] { m_controller.Save(); });
    connect(m_controls.Control<QPushButton>(kPerformanceCloseButton), &QPushButton::clicked, this,
        &CPerformanceWindow::reject);
    m_auditionPoll.setInterval(kAuditionPollMs);
    connect(&m_auditionPoll, &QTimer::timeout, this, [this] {
        m_controller.AuditionTick();
        ShowAudition();
    });
}

void CPerformanceWindow::reject()
{
    m_controller.Close();
    ShowAudition();
    QDialog::reject();
}

void CPerformanceWindow::ShowAudition()
{
    m_audition->setText(ToQString(m_controller.AuditionButtonText()));
    m_audition->setAccessibleName(m_audition->text());
    if (m_controller.IsAuditioning())
        m_auditionPoll.start();
    else
        m_auditionPoll.stop();
}

namespace {

// The take with a wait cursor while its mix is written: an MP3 of a whole song takes seconds.
class CBusyPerformance final : public IPerformance {
public:
    explicit CBusyPerformance(const IPerformance& performance)
        : m_performance(performance)
    {
    }

    double AlignmentMs() const override { return m_performance.AlignmentMs(); }
    std::optional<int> Score() const override { return m_performance.Score(); }
    std::string Write(const std::filesystem::path& path, int voicePercent) const override
    {
        const CWaitCursor waiting;
        return m_performance.Write(path, voicePercent);
    }

private:
    struct CWaitCursor {
        CWaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
        ~CWaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    };

    const IPerformance& m_performance;
};

} // namespace

void RunPerformanceWindow(std::unique_ptr<CPerformanceTake> take, const SessionServices& services,
    CVoiceEffectChoice* voiceEffect, QWidget* parent)
{
    const std::filesystem::path auditionPath = take->AuditionPath();
    const CTakePerformance recorded(std::move(take), services.mp3Encoder, voiceEffect);
    const CBusyPerformance performance(recorded);
    CAudioPlayer player(services.audioOutput, services.prompts, services.openAudioFile, services.makeAudioStretcher);
    CPerformanceController controller(performance, services.prompts, player, auditionPath);
    CPerformanceWindow window(controller, parent);
    window.exec();
}

} // namespace linlangok
