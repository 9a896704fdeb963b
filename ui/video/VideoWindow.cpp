#include "ui/video/VideoWindow.h"

#include "core/session/KaraokeSession.h"
#include "ui/widgets/DialogUnits.h"
#include "ui/widgets/PicturePainting.h"
#include "ui/widgets/QtText.h"
#include "ui/widgets/ResizableWindow.h"

#include <QActionGroup>
#include <QBoxLayout>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>

namespace linlangok {
namespace {

constexpr int kClientWidth = 247; // dialog units: the main window's width
constexpr int kClientHeight = 156;
constexpr int kSizeDialogId = 210;

// The layout a song with these streams plays by, and its choices; no choices for another song.
struct VocalState {
    VocalLayout layout;
    std::vector<VocalLayout> choices;
};

VocalState CurrentVocalState(const CSongVideo& video)
{
    const VideoSongInfo* info = video.Info();
    const std::vector<MediaStream> tracks = info ? info->AudioTracks() : std::vector<MediaStream> {};
    if (tracks.empty())
        return {};
    const auto count = static_cast<int>(tracks.size());
    return {FitVocalLayout(video.SongVocalLayout(), count), VocalLayoutChoices(count, tracks.front().channels)};
}

} // namespace

CPictureView::CPictureView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QCoreApplication::translate("CPictureView", "视频画面"));
}

void CPictureView::Show(std::shared_ptr<const SongFrame> picture, const QString& text)
{
    if (picture == m_picture && text == m_text)
        return;
    m_picture = std::move(picture);
    m_text = text;
    update();
}

void CPictureView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_picture) {
        PaintSongFrame(painter, rect(), *m_picture);
        return;
    }
    painter.fillRect(rect(), Qt::black);
    painter.setPen(QColor(128, 128, 128));
    painter.drawText(rect(), Qt::AlignCenter, m_text);
}

CVideoWindow::CVideoWindow(const VideoWindowParts& parts, QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , m_parts(parts)
{
    setWindowTitle(tr("视频"));
    setAccessibleName(windowTitle());
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    black.setColor(QPalette::WindowText, QColor(224, 224, 224));
    setPalette(black);
    setAutoFillBackground(true);

    m_view = new CPictureView(this);
    m_vocalSwitch = new QPushButton(tr("原唱"), this);
    m_vocalSwitch->setCheckable(true);
    m_vocalSwitch->setAccessibleName(tr("原唱/伴唱"));
    m_vocalSwitch->setToolTip(tr("切换原唱/伴唱 (F2)"));
    m_vocalSwitch->setFocusPolicy(Qt::NoFocus);
    m_vocalPlace = new QLabel(this);
    m_vocalPlace->setAccessibleName(tr("原唱位置"));
    auto* strip = new QHBoxLayout;
    strip->setContentsMargins(6, 4, 6, 4);
    strip->setSpacing(10);
    strip->addWidget(m_vocalSwitch);
    strip->addWidget(m_vocalPlace, 1);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_view, 1);
    column->addLayout(strip);

    const CDialogUnits units(font());
    resize(units.X(kClientWidth), units.Y(kClientHeight));
    m_resizer = new CResizableWindow(*this, QStringLiteral("VideoWindow"), kSizeDialogId, false);
    connect(m_vocalSwitch, &QPushButton::clicked, this, [this] {
        m_parts.controller.Handle(command::ToggleMelody {});
        ShowVocalState();
    });
    connect(&m_frameTimer, &QTimer::timeout, this, &CVideoWindow::FrameTick);
    ShowVocalState();
}

CVideoWindow::~CVideoWindow()
{
    m_frameTimer.stop();
    m_resizer->StoreSize();
}

void CVideoWindow::FrameTick()
{
    if (!m_parts.controller.TimersMayRun())
        return;
    CKaraokeSession& session = m_parts.session;
    std::shared_ptr<const SongFrame> picture = session.Video().PictureFrame();
    const bool silentVideo = m_parts.controller.IsPlaying() && session.Video().Info() && !session.Video().Picture();
    m_view->Show(
        std::move(picture), silentVideo ? tr("这首歌没有画面") : tr("播放视频或 MP3+G 歌曲时, 画面在这里显示"));
    ShowVocalState();
}

void CVideoWindow::ShowVocalState()
{
    const VocalState state = CurrentVocalState(m_parts.session.Video());
    const bool original = m_parts.session.Melody();
    const bool switchable = !state.choices.empty() || m_parts.session.Video().HasBacking();
    m_vocalSwitch->setEnabled(switchable);
    m_vocalSwitch->setChecked(switchable && original);
    const QString text = original ? tr("原唱") : tr("伴唱");
    if (m_vocalSwitch->text() != text)
        m_vocalSwitch->setText(text);
    const QString place = state.choices.empty() ? QString() : ToQString(VocalLayoutLabel(state.layout));
    if (m_vocalPlace->text() != place)
        m_vocalPlace->setText(place);
}

void CVideoWindow::AddVocalLayoutItems(QMenu& menu)
{
    const VocalState state = CurrentVocalState(m_parts.session.Video());
    auto* group = new QActionGroup(&menu);
    for (const VocalLayout& choice : state.choices) {
        QAction* item = menu.addAction(ToQString(VocalLayoutLabel(choice)), this, [this, choice] {
            m_parts.session.Video().SetVocalLayout(choice);
            ShowVocalState();
        });
        item->setCheckable(true);
        item->setChecked(choice == state.layout);
        group->addAction(item);
    }
    if (state.choices.empty())
        menu.addAction(tr("(没有可切换的原唱)"))->setEnabled(false);
}

std::unique_ptr<QMenu> CVideoWindow::MakeContextMenu()
{
    auto menu = std::make_unique<QMenu>(this);
    QAction* original = menu->addAction(tr("原唱"), this, [this] {
        m_parts.controller.Handle(command::ToggleMelody {});
        ShowVocalState();
    });
    original->setShortcut(Qt::Key_F2);
    original->setCheckable(true);
    original->setChecked(m_parts.session.Melody());
    original->setEnabled(m_vocalSwitch->isEnabled());
    menu->addSection(tr("原唱位置"));
    AddVocalLayoutItems(*menu);
    menu->addSeparator();
    QAction* stage = menu->addAction(tr("舞台视图"), this, &CVideoWindow::stageViewRequested);
    stage->setShortcut(Qt::Key_F11);
    return menu;
}

void CVideoWindow::contextMenuEvent(QContextMenuEvent* event)
{
    MakeContextMenu()->exec(event->globalPos());
}

void CVideoWindow::showEvent(QShowEvent* event)
{
    FrameTick();
    m_frameTimer.start(kFramePeriod);
    QWidget::showEvent(event);
}

void CVideoWindow::hideEvent(QHideEvent* event)
{
    m_frameTimer.stop();
    m_view->Show(nullptr, m_view->Text()); // the decoder's frames are not held while nobody looks
    QWidget::hideEvent(event);
}

} // namespace linlangok
