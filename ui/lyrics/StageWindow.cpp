#include "ui/lyrics/StageWindow.h"

#include "core/lyrics/LyricsLayout.h"
#include "ui/lyrics/PitchLanePainting.h"
#include "ui/widgets/PicturePainting.h"
#include "ui/widgets/ProgramSettings.h"
#include "ui/widgets/QtText.h"

#include <QCoreApplication>
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

QFont StageFont(int pixels)
{
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Serif CJK SC")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(pixels, 1));
    return font;
}

namespace {

constexpr int kFramePeriod = 100; // milliseconds
const QString kSettingsApplication = QStringLiteral("StageView");
const QString kScreenKey = QStringLiteral("Screen");

// Runs of text one after the other, wrapped to a width with each line centred.
class CWrappedText {
public:
    CWrappedText(const std::vector<LyricRun>& runs, const QFont& font, int width)
    {
        QString text;
        QList<QTextLayout::FormatRange> formats;
        for (const LyricRun& run : runs) {
            QTextLayout::FormatRange range;
            range.start = static_cast<int>(text.size());
            range.length = static_cast<int>(run.text.size());
            range.format.setForeground(ToQColor(run.colour));
            formats.append(range);
            text += ToQString(run.text);
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

void PaintStageText(QPainter& painter, const QRect& rect, const StageFrame& frame, const SongFrame* picture)
{
    painter.fillRect(rect, ToQColor(kLyricBackground));
    const int margin = rect.width() / 20;
    const int left = rect.left() + margin;
    const int width = rect.width() - 2 * margin;
    const int gap = rect.height() / 24;
    // The picture holds the song's own lyrics: it keeps its whole place, and the next song is
    // named over its foot on a shaded band.
    if (picture)
        PaintSongFrame(painter, rect, *picture);
    // A font's line is at least its pixel size tall.
    const QFont large = StageFont(rect.height() / 8);
    const QFont small = StageFont(rect.height() / 12);
    // The next song at the foot, the lines centred in what is left above it.
    int height = rect.height();
    if (!frame.upNext.empty()) {
        const CWrappedText upNext({{frame.upNext, kStageUpNext}}, StageFont(rect.height() / 16), width);
        height = std::max(0, height - gap - upNext.Height() - gap);
        if (picture)
            painter.fillRect(QRect(rect.left(), rect.top() + height, rect.width(), rect.bottom() + 1 - height),
                QColor(0, 0, 0, 160));
        upNext.Draw(painter, left, rect.top() + height + gap);
    }
    if (picture)
        return;
    // The blocks from top to bottom, centred together; the last ones are left out when they do
    // not fit, and a first block taller than the screen shows its start.
    std::deque<CWrappedText> blocks; // a layout cannot move
    if (frame.showTitle) {
        blocks.emplace_back(std::vector<LyricRun> {{frame.title, kLrcCurrentLine}}, large, width);
        blocks.emplace_back(std::vector<LyricRun> {{frame.credits, kLrcOtherLine}}, small, width);
    } else {
        const StageLines& lines = frame.lines;
        if (frame.countdownDots > 0)
            blocks.emplace_back(
                std::vector<LyricRun> {{std::u16string(frame.countdownDots, u'\u25CF'), kLrcCurrentLineEnding}}, small,
                width); // ●
        // The other voice began first, so its line stands above.
        if (const std::optional<KaraokeLine>& other = lines.other)
            blocks.emplace_back(KaraokeRuns(other->sung, other->rest, other->voice, other->golden), large, width);
        blocks.emplace_back(KaraokeRuns(lines.sung, lines.rest, lines.voice, lines.golden), large, width);
        blocks.emplace_back(std::vector<LyricRun> {{lines.next, OtherLineColour(lines.nextVoice)}}, small, width);
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

} // namespace

void PaintStage(
    QPainter& painter, const QRect& rect, const StageFrame& frame, const QImage& cornerCode, const SongFrame* picture)
{
    if (cornerCode.isNull()) {
        PaintStageText(painter, rect, frame, picture);
        return;
    }
    // Scaled by whole pixels, so that the modules stay sharp.
    const int side = std::max(1, rect.height() / 3 / cornerCode.width()) * cornerCode.width();
    const int margin = rect.height() / 24;
    const QRect place(rect.right() + 1 - margin - side, rect.bottom() + 1 - margin - side, side, side);
    painter.fillRect(rect, ToQColor(kLyricBackground));
    PaintStageText(painter, rect.adjusted(0, 0, -(side + margin), 0), frame, picture);
    painter.drawImage(place, cornerCode);
    painter.setFont(StageFont(rect.height() / 20));
    painter.setPen(ToQColor(kLrcCurrentLine));
    painter.drawText(QRect(place.left(), rect.top(), side, place.top() - margin / 2 - rect.top()),
        Qt::AlignHCenter | Qt::AlignBottom, QCoreApplication::translate("StageWindow", "扫码点歌"));
}

CStageWindow::CStageWindow(const IStageSource& source, QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint)
    , m_source(source)
{
    setWindowTitle(tr("舞台视图"));
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
    const bool scoringChanged = m_scoring.Read();
    const int period = m_scoring.View() ? CScoringLane::kViewReadPeriod : picture ? kPictureFramePeriod : kFramePeriod;
    if (m_frameTimer.interval() != period)
        m_frameTimer.setInterval(period);
    if (const QString description = m_scoring.Description(); description != accessibleDescription())
        setAccessibleDescription(description);
    // A picture is painted again only when another one is due or the words over it change.
    StageFrame frame = m_source.Stage();
    if (picture && picture == m_picture && frame == m_frame && !scoringChanged)
        return;
    m_picture = std::move(picture);
    m_frame = std::move(frame);
    update();
}

void CStageWindow::SetCornerCode(const QImage& code)
{
    m_cornerCode = code;
    update();
}

void CStageWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_scoring.ShowsResult()) {
        m_scoring.PaintResult(painter, rect());
        return;
    }
    const LaneSplit split = m_scoring.Split(rect());
    PaintStage(painter, ToQRect(split.lyrics), m_frame, m_cornerCode, m_picture.get());
    m_scoring.Paint(painter, ToQRect(split.band));
}

void CStageWindow::SetScoringSource(const IScoringViewSource* source)
{
    m_scoring.SetSource(source);
    if (isVisible())
        FrameTick();
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
