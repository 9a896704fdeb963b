#include "ui/lyrics/LyricsShowWindow.h"

#include "common/FilePath.h"
#include "common/Product.h"
#include "common/Text.h"
#include "core/session/KaraokeSession.h"
#include "ui/lyrics/PitchLanePainting.h"
#include "ui/widgets/DialogUnits.h"
#include "ui/widgets/QtText.h"
#include "ui/widgets/ResizableWindow.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QShortcut>

namespace linlangok {
namespace {

constexpr int kClientWidth = 171; // dialog units
constexpr int kClientHeight = 100;
constexpr int kFramePeriod = 100; // milliseconds
constexpr int kSizeDialogId = 204;
constexpr int kFontPixels = 18;
// Rendered lines kept between paints: more than a tall screen shows at once.
constexpr std::size_t kMaxLineImages = 512;

// 宋体 at a character cell of 18 pixels. Its cell is its em, so whichever Song face stands in
// gets an em of 18 pixels: the same size of glyphs on the 26-pixel lines.
QFont LyricFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"), QStringLiteral("Noto Serif CJK SC")});
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(kFontPixels);
    return font;
}

// Text in one colour on black, one line height tall and as wide as the text's advance; null for
// no text.
QPixmap RenderLine(const QString& text, const QColor& colour, const QFont& font, qreal pixelRatio)
{
    const int width = QFontMetrics(font).horizontalAdvance(text);
    if (width <= 0)
        return {};
    QPixmap image(QSize(width, kLyricLineHeight) * pixelRatio);
    image.setDevicePixelRatio(pixelRatio);
    image.fill(ToQColor(kLyricBackground));
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(QRect(0, 0, width, kLyricLineHeight), Qt::AlignLeft | Qt::AlignTop, text);
    return image;
}

int ImageWidth(const QPixmap& image)
{
    return image.isNull() ? 0 : TruncateToInt(image.deviceIndependentSize().width());
}

} // namespace

CLyricsShowWindow::CLyricsShowWindow(const LyricsShowParts& parts, QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , m_parts(parts)
    , m_source(parts.session, parts.controller)
    , m_presenter(parts.codePage, m_source)
    , m_font(LyricFont())
{
    setWindowTitle(tr("歌词秀"));
    setAccessibleName(windowTitle());
    // Every paint covers the whole client area itself: nothing is erased first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    const CDialogUnits units(font());
    resize(units.X(kClientWidth), units.Y(kClientHeight));
    m_resizer = new CResizableWindow(*this, QStringLiteral("DialogResizeEx"), kSizeDialogId, false);
    connect(&m_frameTimer, &QTimer::timeout, this, &CLyricsShowWindow::FrameTick);
    m_frameTimer.start(kFramePeriod);
    connect(&m_laneTimer, &QTimer::timeout, this, [this] {
        if (ReadScoring())
            update();
    });
    m_stageWindow = std::make_unique<CStageWindow>(*this);
    connect(new QShortcut(Qt::Key_F11, this), &QShortcut::activated, this, &CLyricsShowWindow::ToggleStageView);
}

CLyricsShowWindow::~CLyricsShowWindow()
{
    m_stageWindow.reset();
    m_frameTimer.stop();
    m_laneTimer.stop();
    m_resizer->StoreSize();
}

void CLyricsShowWindow::FrameTick()
{
    const bool moved = m_presenter.Tick();
    if (ReadScoring() || moved)
        update();
}

void CLyricsShowWindow::SetScoringSource(const IScoringViewSource* source)
{
    m_scoring.SetSource(source);
    if (ReadScoring())
        update();
}

bool CLyricsShowWindow::ReadScoring()
{
    const bool changed = m_scoring.Read();
    if (!m_scoring.View())
        m_laneTimer.stop();
    else if (!m_laneTimer.isActive())
        m_laneTimer.start(CScoringLane::kViewReadPeriod);
    if (const QString description = m_scoring.Description(); description != accessibleDescription())
        setAccessibleDescription(description);
    return changed;
}

void CLyricsShowWindow::paintEvent(QPaintEvent*)
{
    if (m_lineImages.size() > kMaxLineImages || m_lineImageRatio != devicePixelRatioF()) {
        m_lineImages.clear();
        m_lineImageRatio = devicePixelRatioF();
    }
    QPainter painter(this);
    painter.fillRect(rect(), ToQColor(kLyricBackground));
    const LaneSplit split = m_scoring.Split(rect());
    painter.save();
    painter.setClipRect(ToQRect(split.lyrics));
    PaintFrame(painter, m_presenter.Frame(split.lyrics.height));
    painter.restore();
    m_scoring.Paint(painter, ToQRect(split.band));
}

const QPixmap& CLyricsShowWindow::LineImage(const std::u16string& text, RgbColour colour)
{
    const QColor qtColour = ToQColor(colour);
    auto [image, made] = m_lineImages.try_emplace({text, qtColour.rgb()});
    if (made)
        image->second = RenderLine(ToQString(text), qtColour, m_font, m_lineImageRatio);
    return image->second;
}

void CLyricsShowWindow::DrawCentredLines(QPainter& painter, const std::vector<LyricTextLine>& lines)
{
    for (const LyricTextLine& line : lines) {
        const QPixmap& image = LineImage(line.text, line.colour);
        painter.drawPixmap(TruncateToInt((width() - ImageWidth(image)) / 2.0), line.top, image);
    }
}

void CLyricsShowWindow::PaintFrame(QPainter& painter, const LyricFrame& frame)
{
    DrawCentredLines(painter, frame.lines);
    if (!frame.current)
        return;
    // The runs one after the other and together centred.
    const KaraokeLine& current = *frame.current;
    std::vector<const QPixmap*> images;
    int total = 0;
    for (const LyricRun& run : KaraokeRuns(current.sung, current.rest, current.voice, current.golden)) {
        images.push_back(&LineImage(run.text, run.colour));
        total += ImageWidth(*images.back());
    }
    int x = TruncateToInt((width() - total) / 2.0);
    for (const QPixmap* image : images) {
        painter.drawPixmap(x, current.top, *image);
        x += ImageWidth(*image);
    }
}

void CLyricsShowWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        if (m_parts.session.Lyrics().ShowsIdleLyrics())
            m_parts.desktop.OpenWebPage(std::u16string(kMakerWebAddress) + std::u16string(kMakerWebFragment));
    }
}

std::shared_ptr<const SongFrame> CLyricsShowWindow::StagePicture() const
{
    return m_parts.session.Video().PictureFrame();
}

std::unique_ptr<QMenu> CLyricsShowWindow::MakeContextMenu()
{
    auto menu = std::make_unique<QMenu>(this);
    QAction* stage = menu->addAction(tr("舞台视图"), this, &CLyricsShowWindow::ToggleStageView);
    stage->setShortcut(Qt::Key_F11);
    stage->setCheckable(true);
    stage->setChecked(m_stageWindow->isVisible());
    QMenu* screens = menu->addMenu(tr("舞台屏幕"));
    const QScreen* chosen = m_stageWindow->ChosenScreen();
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect area = screen->geometry();
        QAction* item
            = screens->addAction(QStringLiteral("%1 (%2×%3)").arg(screen->name()).arg(area.width()).arg(area.height()),
                this, [this, screen] { m_stageWindow->ChooseScreen(screen); });
        item->setCheckable(true);
        item->setChecked(screen == chosen);
    }
    menu->addSeparator();

    QMenu* encodings = menu->addMenu(tr("歌词编码"));
    const std::string& override = m_parts.session.Texts().EncodingOverride();
    const auto addEncoding = [&](const QString& label, const std::string& name) {
        QAction* item = encodings->addAction(label, this, [this, name] { ChooseEncoding(name); });
        item->setCheckable(true);
        item->setChecked(override == name);
    };
    addEncoding(tr("自动检测"), {});
    for (const TextEncodingChoice& choice : m_parts.session.Texts().TextEncodings().Choices())
        addEncoding(ToQString(choice.label), choice.name);

    const std::int32_t offset = m_parts.session.Texts().LrcOffsetMilliseconds();
    menu->addAction(tr("歌词提前 0.1 秒"), this, [this] { NudgeLrcOffset(+100); });
    menu->addAction(tr("歌词推迟 0.1 秒"), this, [this] { NudgeLrcOffset(-100); });
    QAction* reset = menu->addAction(tr("歌词时间复原 (%1 秒)").arg(offset / 1000.0, 0, 'f', 1), this,
        [this] { m_parts.session.Texts().SetLrcOffsetMilliseconds(0); });
    reset->setEnabled(offset != 0);
    return menu;
}

void CLyricsShowWindow::contextMenuEvent(QContextMenuEvent* event)
{
    MakeContextMenu()->exec(event->globalPos());
}

void CLyricsShowWindow::ChooseEncoding(const std::string& name)
{
    CKaraokeSession& session = m_parts.session;
    session.Texts().SetEncodingOverride(name);
    if (!session.Lyrics().Path().empty())
        m_presenter.LoadLrcLyrics(Utf16ToPath(session.Lyrics().Path()));
}

void CLyricsShowWindow::NudgeLrcOffset(std::int32_t milliseconds)
{
    m_parts.session.Texts().SetLrcOffsetMilliseconds(m_parts.session.Texts().LrcOffsetMilliseconds() + milliseconds);
}

void CLyricsShowWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    m_parts.controller.Handle(command::CompanionClosed {ECompanion::Lyrics});
}

} // namespace linlangok
