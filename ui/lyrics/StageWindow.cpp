#include "ui/lyrics/StageWindow.h"

#include "core/lyrics/LyricsLayout.h"
#include "ui/widgets/PicturePainting.h"
#include "ui/widgets/QtText.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <deque>
#include <vector>

namespace linlangok {
namespace {

constexpr int kFramePeriod = 100; // milliseconds
const QString kSettingsOrganisation = QStringLiteral("Lyrabooth");
const QString kSettingsApplication = QStringLiteral("StageView");
const QString kScreenKey = QStringLiteral("Screen");

QColor ToQColor(RgbColour colour)
{
    return QColor(colour.red, colour.green, colour.blue);
}

QFont StageFont(int pixels)
{
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Serif CJK SC")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(pixels, 1));
    return font;
}

struct TextRun {
    QString text;
    RgbColour colour;
};

// Runs of text one after the other, wrapped to a width with each line centred.
class CWrappedText {
public:
    CWrappedText(const std::vector<TextRun>& runs, const QFont& font, int width)
    {
        QString text;
        QList<QTextLayout::FormatRange> formats;
        for (const TextRun& run : runs) {
            QTextLayout::FormatRange range;
            range.start = static_cast<int>(text.size());
            range.length = static_cast<int>(run.text.size());
            range.format.setForeground(ToQColor(run.colour));
            formats.append(range);
            text += run.text;
        }
        m_layout.setText(text);
        m_layout.setFont(font);
        QTextOption option(Qt::AlignHCenter);
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        m_layout.setTextOption(option);
        m_layout.setFormats(formats);
        m_layout.beginLayout();
        for (QTextLine line = m_layout.createLine(); !text.isEmpty() && line.isValid(); line = m_layout.createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0, m_height));
            m_height += static_cast<int>(std::ceil(line.height()));
        }
        m_layout.endLayout();
    }

    int Height() const { return m_height; }
    void Draw(QPainter& painter, int left, int top) const { m_layout.draw(&painter, QPointF(left, top)); }

private:
    QTextLayout m_layout;
    int m_height = 0;
};

} // namespace

void PaintStage(QPainter& painter, const QRect& rect, const StageFrame& frame)
{
    painter.fillRect(rect, ToQColor(kLyricBackground));
    const int height = rect.height();
    const int margin = rect.width() / 20;
    const int left = rect.left() + margin;
    const int width = rect.width() - 2 * margin;
    const int gap = height / 24;
    // A font's line is at least its pixel size tall.
    const QFont large = StageFont(height / 8);
    const QFont small = StageFont(height / 12);
    // The blocks from top to bottom, centred together; the last ones are left out when they do
    // not fit, and a first block taller than the screen shows its start.
    std::deque<CWrappedText> blocks; // a layout cannot move
    if (frame.showTitle) {
        blocks.emplace_back(std::vector<TextRun> {{ToQString(frame.title), kLrcCurrentLine}}, large, width);
        blocks.emplace_back(std::vector<TextRun> {{ToQString(frame.credits), kLrcOtherLine}}, small, width);
    } else {
        if (frame.countdownDots > 0)
            blocks.emplace_back(
                std::vector<TextRun> {{QString(frame.countdownDots, QChar(0x25CF)), kLrcCurrentLineEnding}}, small,
                width); // ●
        blocks.emplace_back(std::vector<TextRun> {{ToQString(frame.lines.sung), kMidiSungPart},
                                {ToQString(frame.lines.rest), kMidiRestPart}},
            large, width);
        blocks.emplace_back(std::vector<TextRun> {{ToQString(frame.lines.next), kMidiOtherLine}}, small, width);
    }
    int total = 0;
    size_t shown = 0;
    for (const CWrappedText& block : blocks) {
        const int needed = total + (shown > 0 ? gap : 0) + block.Height();
        if (shown > 0 && needed > height)
            break;
        total = needed;
        ++shown;
    }
    int top = rect.top() + std::max(0, (height - total) / 2);
    for (size_t i = 0; i < shown; ++i) {
        blocks[i].Draw(painter, left, top);
        top += blocks[i].Height() + gap;
    }
}

CStageWindow::CStageWindow(const IStageSource& source, QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint)
    , m_source(source)
{
    setWindowTitle(QStringLiteral("舞台视图"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::BlankCursor);
    connect(&m_frameTimer, &QTimer::timeout, this, &CStageWindow::FrameTick);
}

void CStageWindow::Toggle()
{
    if (isVisible())
        close();
    else
        ShowOn(ChosenScreen());
}

QScreen* CStageWindow::ChosenScreen() const
{
    const QString chosen = QSettings(kSettingsOrganisation, kSettingsApplication).value(kScreenKey).toString();
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (QScreen* screen : screens) {
        if (!chosen.isEmpty() && screen->name() == chosen)
            return screen;
    }
    for (QScreen* screen : screens) {
        if (screen != QGuiApplication::primaryScreen())
            return screen;
    }
    return QGuiApplication::primaryScreen();
}

void CStageWindow::ChooseScreen(QScreen* screen)
{
    QSettings(kSettingsOrganisation, kSettingsApplication).setValue(kScreenKey, screen->name());
    if (isVisible())
        ShowOn(screen);
}

void CStageWindow::ShowOn(QScreen* screen)
{
    if (isVisible())
        showNormal();
    setScreen(screen);
    setGeometry(screen->geometry());
    FrameTick();
    showFullScreen();
    raise();
    activateWindow();
    m_frameTimer.start(kFramePeriod);
}

void CStageWindow::FrameTick()
{
    std::shared_ptr<const SongFrame> picture = m_source.StagePicture();
    if (const int period = picture ? kPictureFramePeriod : kFramePeriod; m_frameTimer.interval() != period)
        m_frameTimer.setInterval(period);
    // A picture is painted again only when another one is due.
    if (picture && picture == m_picture)
        return;
    m_picture = std::move(picture);
    m_frame = m_source.Stage();
    update();
}

void CStageWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_picture)
        PaintSongFrame(painter, rect(), *m_picture);
    else
        PaintStage(painter, rect(), m_frame);
}

void CStageWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_F11)
        close();
    else
        QWidget::keyPressEvent(event);
}

void CStageWindow::mouseDoubleClickEvent(QMouseEvent*)
{
    close();
}

void CStageWindow::hideEvent(QHideEvent* event)
{
    m_frameTimer.stop();
    QWidget::hideEvent(event);
}

} // namespace linlangok
