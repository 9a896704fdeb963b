#include "ui/main/MainWindow.h"

#include "ui/main/LanguageMenu.h"

#include "common/Product.h"
#include "core/playback/AudioStretcher.h"
#include "ui/main/InputLevelMeterWidget.h"
#include "ui/main/StatusDisplay.h"
#include "ui/widgets/Artwork.h"
#include "ui/widgets/DialogTemplate.h"
#include "ui/widgets/DialogUnits.h"
#include "ui/widgets/QtText.h"
#include "ui/widgets/UpDownControl.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSpinBox>

#include <algorithm>

namespace linlangok {
namespace {

// The dialog template, in creation order (later controls lie above earlier ones).
constexpr ControlTemplate kControls[] = {
    {kStatusDisplay, EControlKind::Custom, "", 0, 0, 246, 31},
    {kLevelMeter, EControlKind::Custom, "", 209, 0, 37, 31},
    {0, EControlKind::Label, QT_TRANSLATE_NOOP("CMainWindow", "伴奏文件:"), 6, 45, 34, 14},
    {kAccompanimentEdit, EControlKind::Edit, "", 47, 43, 139, 14, QT_TRANSLATE_NOOP("CMainWindow", "伴奏文件")},
    {kBrowseAccompanimentButton, EControlKind::Button, QT_TRANSLATE_NOOP("CMainWindow", "浏览..."), 190, 43, 50, 14},
    {0, EControlKind::Label, QT_TRANSLATE_NOOP("CMainWindow", "歌词文件:"), 6, 59, 34, 14},
    {kLyricEdit, EControlKind::Edit, "", 47, 60, 139, 14, QT_TRANSLATE_NOOP("CMainWindow", "歌词文件")},
    {kBrowseLyricButton, EControlKind::Button, QT_TRANSLATE_NOOP("CMainWindow", "浏览..."), 190, 60, 50, 14},
    {kStartTogetherBox, EControlKind::CheckBox, QT_TRANSLATE_NOOP("CMainWindow", "同步播放开始"), 6, 81, 60, 10},
    {kStopTogetherBox, EControlKind::CheckBox, QT_TRANSLATE_NOOP("CMainWindow", "同步播放结束"), 122, 81, 60, 10},
    // No default button: Enter never quits.
    {kExitButton, EControlKind::Button, QT_TRANSLATE_NOOP("CMainWindow", "退出"), 190, 80, 50, 14},
    {kRecordButton, EControlKind::Button, QT_TRANSLATE_NOOP("CMainWindow", "录音"), 6, 97, 50, 14},
    {kStopRecordingButton, EControlKind::Button, QT_TRANSLATE_NOOP("CMainWindow", "停止"), 59, 97, 50, 14},
    {kPitchLabel, EControlKind::Label, QT_TRANSLATE_NOOP("CMainWindow", "音调调整:"), 122, 97, 35, 14},
    {kPlayButton, EControlKind::Button, QT_TRANSLATE_NOOP("CMainWindow", "播放"), 6, 116, 50, 14},
    {kStopButton, EControlKind::Button, QT_TRANSLATE_NOOP("CMainWindow", "停止"), 59, 116, 50, 14},
    {kPitchEdit, EControlKind::Edit, "", 122, 115, 48, 14, QT_TRANSLATE_NOOP("CMainWindow", "音调调整")},
    {kPitchUpDown, EControlKind::Custom, "", 172, 115, 11, 14, QT_TRANSLATE_NOOP("CMainWindow", "音调调整")},
    {kSaveAsButton, EControlKind::Button, QT_TRANSLATE_NOOP("CMainWindow", "另存为"), 190, 115, 50, 14},
    {kToggleSongListButton, EControlKind::Button, QT_TRANSLATE_NOOP("CMainWindow", "隐藏列表"), 6, 135, 50, 14},
    {kToggleVolumeButton, EControlKind::Button, QT_TRANSLATE_NOOP("CMainWindow", "隐藏控制"), 59, 135, 50, 14},
    {kToggleLyricsButton, EControlKind::Button, QT_TRANSLATE_NOOP("CMainWindow", "隐藏歌词"), 122, 135, 50, 14},
    {kHelpButton, EControlKind::Button, QT_TRANSLATE_NOOP("CMainWindow", "帮助"), 190, 135, 50, 14},
    // In the free place of the right-hand column, beside the pitch.
    {kMelodyBox, EControlKind::CheckBox, QT_TRANSLATE_NOOP("CMainWindow", "原唱旋律"), 190, 99, 50, 10},
    // In the free place between the two check boxes, above the pitch.
    {kTempoLabel, EControlKind::Label, QT_TRANSLATE_NOOP("CMainWindow", "速度:"), 68, 81, 17, 10},
    {kTempoSpin, EControlKind::Custom, "", 86, 79, 32, 14, QT_TRANSLATE_NOOP("CMainWindow", "速度")},
};

constexpr int kClientWidth = 247; // dialog units
constexpr int kClientHeight = 156;

} // namespace

CMainWindow::CMainWindow(const MainWindowParts& parts, QWidget* parent)
    : QDialog(parent,
        Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
            | Qt::WindowCloseButtonHint)
    , m_prompts(parts.prompts)
{
    setWindowTitle(ToQString(ApplicationTitle()));
    setWindowIcon(ApplicationIcon());
    setModal(false);

    SetTiledBackground(*this);

    BuildMenu();
    const CDialogUnits units(font());
    const int top = m_menuBar->sizeHint().height();
    m_menuBar->setGeometry(0, 0, units.X(kClientWidth), top);
    m_controls.Build(*this, "CMainWindow", kControls, units,
        [this, &parts](const ControlTemplate& control) -> QWidget* {
            switch (control.id) {
            case kStatusDisplay:
                return m_statusDisplay = new CStatusDisplay(this);
            case kLevelMeter:
                return m_levelMeter = new CInputLevelMeterWidget(parts.meterInput, parts.prompts, this);
            case kPitchUpDown:
                return m_pitchUpDown = new CUpDownControl(this);
            case kTempoSpin:
                return m_tempo = new QSpinBox(this);
            default:
                return nullptr;
            }
        },
        {0, top});
    m_accompanimentEdit = m_controls.Control<QLineEdit>(kAccompanimentEdit);
    m_lyricEdit = m_controls.Control<QLineEdit>(kLyricEdit);
    m_pitchEdit = m_controls.Control<QLineEdit>(kPitchEdit);
    m_startTogether = m_controls.Control<QCheckBox>(kStartTogetherBox);
    m_stopTogether = m_controls.Control<QCheckBox>(kStopTogetherBox);
    m_melody = m_controls.Control<QCheckBox>(kMelodyBox);
    setFixedSize(units.X(kClientWidth), top + units.Y(kClientHeight));
    m_statusDisplay->SetTextRight(m_levelMeter->x() - m_statusDisplay->x());

    m_controller = std::make_unique<CMainController>(MainControllerParts {parts.session, *this, parts.prompts,
        *m_levelMeter, parts.desktop, parts.companions, parts.helpFolder, parts.performanceOffer, parts.scoring});
    Connect();
    AddShortcuts();
    setAcceptDrops(true);

    m_pitchUpDown->SetRange(0, kPitchUpDownMaximum);
    m_tempo->setRange(kTempoMinimumPercent, kTempoMaximumPercent);
    m_tempo->setSingleStep(kTempoStepPercent);
    m_tempo->setSuffix(QStringLiteral("%"));
    PlaceOnScreen();
    m_controller->Initialize();
    m_displayTick.start(200);
    Control(kPlayButton)->setFocus();
}

CMainWindow::~CMainWindow()
{
    m_displayTick.stop();
    m_recordTick.stop();
}

void CMainWindow::BuildMenu()
{
    m_menuBar = new QMenuBar(this);
    QMenu* file = m_menuBar->addMenu(tr("文件(&F)"));
    file->addAction(tr("退出(&X)"), this, &CMainWindow::QuitFromMenu);
    QMenu* download = m_menuBar->addMenu(tr("下载(&D)"));
    download->addAction(tr("下载最新版(&D)"), this, [this] { m_controller->Handle(command::OpenDownloadPage {}); });
    m_helpMenu = m_menuBar->addMenu(tr("帮助(&H)"));
    m_helpMenu->addAction(tr("帮助主题(&H)"), this, [this] { m_controller->Handle(command::OpenHelpTopics {}); });
    m_helpMenu->addMenu(new CLanguageMenu(m_prompts, m_helpMenu));
    m_helpMenu->addAction(tr("关于琳朗卡拉OK(&A)"), this, &CMainWindow::ShowAbout);
}

QMenu* CMainWindow::AddMenu(const QString& title)
{
    auto* menu = new QMenu(title, m_menuBar);
    m_menuBar->insertMenu(m_helpMenu->menuAction(), menu);
    return menu;
}

void CMainWindow::Connect()
{
    CMainController& controller = *m_controller;
    const std::pair<int, MainCommand> clicks[] = {
        {kPlayButton, command::Play {}},
        {kStopButton, command::Stop {}},
        {kRecordButton, command::Record {}},
        {kStopRecordingButton, command::StopRecording {}},
        {kBrowseAccompanimentButton, command::Browse {EPathEdit::Accompaniment}},
        {kBrowseLyricButton, command::Browse {EPathEdit::Lyric}},
        {kSaveAsButton, command::SaveAs {}},
        {kToggleLyricsButton, command::ToggleCompanion {ECompanion::Lyrics}},
        {kToggleSongListButton, command::ToggleCompanion {ECompanion::SongList}},
        {kToggleVolumeButton, command::ToggleCompanion {ECompanion::Volume}},
        {kHelpButton, command::OpenHelp {}},
    };
    for (const auto& [id, clicked] : clicks) {
        connect(m_controls.Control<QPushButton>(id), &QPushButton::clicked, this,
            [&controller, clicked] { controller.Handle(clicked); });
    }
    connect(
        m_controls.Control<QPushButton>(kExitButton), &QPushButton::clicked, this, [this] { Quit(kQuitByExitButton); });
    // Every change of an edit's text reaches the controller, typed or set by an assistive tool;
    // the controller's own writes are blocked so that they do not come back to it.
    const std::pair<QLineEdit*, EPathEdit> pathEdits[]
        = {{m_accompanimentEdit, EPathEdit::Accompaniment}, {m_lyricEdit, EPathEdit::Lyric}};
    for (const auto& [edit, which] : pathEdits) {
        connect(edit, &QLineEdit::textChanged, this, [&controller, which](const QString& text) {
            controller.Handle(command::PathEdited {which, text.toStdU16String()});
        });
    }
    connect(m_pitchEdit, &QLineEdit::textChanged, this,
        [&controller](const QString& text) { controller.Handle(command::PitchEdited {text.toStdU16String()}); });
    connect(m_tempo, &QSpinBox::valueChanged, this,
        [&controller](int percent) { controller.Handle(command::TempoEdited {percent}); });
    connect(m_melody, &QCheckBox::clicked, this,
        [&controller](bool checked) { controller.Handle(command::SetMelody {checked}); });
    connect(m_startTogether, &QCheckBox::clicked, this,
        [&controller](bool checked) { controller.Handle(command::SetStartTogether {checked}); });
    connect(m_stopTogether, &QCheckBox::clicked, this,
        [&controller](bool checked) { controller.Handle(command::SetStopTogether {checked}); });
    connect(m_pitchUpDown, &CUpDownControl::stepped, this,
        [&controller](int position) { controller.Handle(command::PitchStepped {position}); });
    connect(&m_displayTick, &QTimer::timeout, this, [this, &controller] {
        if (!controller.TimersMayRun())
            return;
        if (m_pendingQuit)
            Quit(*std::exchange(m_pendingQuit, std::nullopt));
        controller.DisplayTick();
        emit displayTicked();
    });
    connect(&m_recordTick, &QTimer::timeout, this, [&controller] { controller.RecordTick(); });
}

void CMainWindow::AddShortcuts()
{
    CMainController& controller = *m_controller;
    const auto add = [this](const QKeySequence& keys, auto&& action) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, action);
    };
    add(QKeySequence(Qt::CTRL | Qt::Key_R), [&controller] { controller.Handle(command::ToggleRecord {}); });
    for (const auto key : {Qt::Key_Plus, Qt::Key_Equal})
        add(QKeySequence(key), [&controller] { controller.Handle(command::StepPitch {+1}); });
    add(QKeySequence(Qt::Key_Minus), [&controller] { controller.Handle(command::StepPitch {-1}); });
    add(QKeySequence(Qt::Key_F1), [&controller] { controller.Handle(command::OpenHelp {}); });
    add(QKeySequence(Qt::Key_F11), [this] { emit stageViewRequested(); });
    const std::pair<int, QString> tips[] = {
        {kPlayButton, tr("播放 (空格键)")},
        {kStopButton, tr("停止播放 (空格键)")},
        {kRecordButton, tr("录音 (Ctrl+R)")},
        {kStopRecordingButton, tr("停止录音 (Ctrl+R)")},
        {kPitchUpDown, tr("升高 (+) / 降低 (-)")},
        {kPitchEdit, tr("音调调整：每步一个半音 (+/-)")},
        {kTempoSpin, tr("速度：原速的百分比，每步 5%")},
        {kHelpButton, tr("帮助 (F1)")},
        {kToggleLyricsButton, tr("歌词秀；全屏舞台视图 (F11)")},
    };
    for (const auto& [id, tip] : tips)
        Control(id)->setToolTip(tip);
}

void CMainWindow::keyPressEvent(QKeyEvent* event)
{
    // A focused button, check box or edit has taken its Space already; what reaches the window
    // plays or stops.
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        if (!event->isAutoRepeat())
            m_controller->Handle(command::TogglePlay {});
        return;
    }
    QDialog::keyPressEvent(event);
}

void CMainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); }))
        event->acceptProposedAction();
}

void CMainWindow::dropEvent(QDropEvent* event)
{
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            m_controller->Handle(command::DropFile {PathOfUrl(url)});
    }
    event->acceptProposedAction();
}

void CMainWindow::PlaceOnScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft() - QPoint(160, 120));
}

void CMainWindow::Quit(int code)
{
    if (m_quitting)
        return;
    if (!m_controller->TimersMayRun()) {
        m_pendingQuit = code;
        return;
    }
    m_controller->Handle(command::Quit {});
    if (m_controller->IsRecording())
        return;
    m_quitting = true;
    m_displayTick.stop();
    m_recordTick.stop();
    hide();
    emit quitRequested(code);
}

void CMainWindow::Terminate()
{
    m_prompts.StopAsking();
    QuitFromMenu();
}

void CMainWindow::reject()
{
    Quit(kQuitByClose);
}

void CMainWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    Quit(kQuitByClose);
}

void CMainWindow::ShowAbout()
{
    QMessageBox about(this);
    about.setWindowTitle(tr("关于琳朗卡拉OK"));
    about.setIconPixmap(QPixmap::fromImage(ApplicationIconImage(64)));
    about.setText(
        tr("<b>%1</b><br>版本 %2<br><a href=\"%3\">%3</a>")
            .arg(ToQString(ApplicationTitle()), QStringLiteral(LINLANGOK_VERSION), ToQString(kMakerWebAddress)));
    about.setTextFormat(Qt::RichText);
    about.setStandardButtons(QMessageBox::Ok);
    about.exec();
}

void CMainWindow::WriteControls(const MainControlValues& values)
{
    m_startTogether->setChecked(values.startTogether);
    m_stopTogether->setChecked(values.stopTogether);
    {
        const QSignalBlocker accompanimentBlocker(m_accompanimentEdit);
        const QSignalBlocker lyricBlocker(m_lyricEdit);
        m_accompanimentEdit->setText(ToQString(values.accompaniment));
        m_lyricEdit->setText(ToQString(values.lyric));
    }
    m_melody->setChecked(values.melody);
    WritePitchText(values.pitch);
}

void CMainWindow::WritePitchText(const std::u16string& text)
{
    const QSignalBlocker blocker(m_pitchEdit);
    m_pitchEdit->setText(ToQString(text));
}

void CMainWindow::SetPitchUpDownPosition(int position)
{
    m_pitchUpDown->SetPosition(position);
}

void CMainWindow::WriteTempoPercent(int percent)
{
    const QSignalBlocker blocker(m_tempo);
    m_tempo->setValue(percent);
}

void CMainWindow::WriteMelody(bool on)
{
    m_melody->setChecked(on);
}

void CMainWindow::ApplyEnableStates(const MainEnableStates& states)
{
    QWidget* const focused = focusWidget();
    const std::pair<int, bool> enables[] = {
        {kLyricEdit, states.lyricControls},
        {kBrowseLyricButton, states.lyricControls},
        {kRecordButton, states.record},
        {kStopRecordingButton, states.stopRecording},
        {kPlayButton, states.play},
        {kStopButton, states.stop},
        {kSaveAsButton, states.saveAs},
        {kPitchEdit, states.pitch},
        {kPitchUpDown, states.pitch},
        {kTempoLabel, states.pitch},
        {kTempoSpin, states.pitch},
    };
    for (const auto& [id, enabled] : enables)
        Control(id)->setEnabled(enabled);
    // A control that a command disabled hands the focus on to the button that undoes the command
    // (录音 to its 停止 and back), else to 播放 or 停止: Space pressed again undoes it, and never
    // lands on a control the user did not choose.
    if (!focused || focused->isEnabled())
        return;
    const bool recordButton = focused == Control(kRecordButton) || focused == Control(kStopRecordingButton);
    if (recordButton)
        Control(states.record ? kRecordButton : kStopRecordingButton)->setFocus();
    else
        Control(states.play ? kPlayButton : kStopButton)->setFocus();
}

int CMainWindow::ControlId(EControlRole role) const
{
    switch (role) {
    case EControlRole::PitchEdit:
        return kPitchEdit;
    case EControlRole::LyricsButton:
        return kToggleLyricsButton;
    case EControlRole::SongListButton:
        return kToggleSongListButton;
    case EControlRole::VolumeButton:
        break;
    }
    return kToggleVolumeButton;
}

void CMainWindow::SetButtonText(EControlRole role, std::u16string_view text)
{
    auto* button = m_controls.Control<QPushButton>(ControlId(role));
    button->setText(ToQString(text));
    button->setAccessibleName(button->text());
}

void CMainWindow::FocusControl(EControlRole control)
{
    Control(ControlId(control))->setFocus();
}

void CMainWindow::Beep()
{
    QApplication::beep();
}

void CMainWindow::SetRecordTickRunning(bool running)
{
    if (running)
        m_recordTick.start(1000);
    else
        m_recordTick.stop();
}

void CMainWindow::ShowStatus(const StatusValues& values)
{
    m_statusDisplay->SetValues(values);
}

} // namespace linlangok
