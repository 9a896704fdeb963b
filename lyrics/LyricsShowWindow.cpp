#include "lyrics/LyricsShowWindow.h"

#include "app/DialogUnits.h"
#include "app/QtText.h"
#include "app/ResizableWindow.h"
#include "common/Product.h"
#include "midi/MidiTrack.h"
#include "session/KaraokeSession.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>

namespace linlangok {
namespace {

constexpr int kClientWidth = 171; // dialog units
constexpr int kClientHeight = 100;
constexpr int kFramePeriod = 100; // milliseconds
constexpr int kSizeDialogId = 204;
constexpr int kFontPixels = 18;
// Rendered lines kept between paints: more than a tall screen shows at once.
constexpr std::size_t kMaxLineImages = 512;

QColor ToQColor(RgbColour colour)
{
    return QColor(colour.red, colour.green, colour.blue);
}

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
    , m_lrcView(parts.codePage)
    , m_font(LyricFont())
{
    setWindowTitle(QStringLiteral("歌词秀"));
    setAccessibleName(windowTitle());
    // Every paint covers the whole client area itself: nothing is erased first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    const CDialogUnits units(font());
    resize(units.X(kClientWidth), units.Y(kClientHeight));
    m_resizer = new CResizableWindow(*this, QStringLiteral("DialogResizeEx"), kSizeDialogId, false);
    connect(&m_frameTimer, &QTimer::timeout, this, &CLyricsShowWindow::FrameTick);
    m_frameTimer.start(kFramePeriod);
}

CLyricsShowWindow::~CLyricsShowWindow()
{
    m_frameTimer.stop();
    m_resizer->StoreSize();
}

void CLyricsShowWindow::LoadLrcLyrics(const std::filesystem::path& path)
{
    m_lrcView.Load(path, m_parts.session.TextEncoding());
}

void CLyricsShowWindow::SetLyricTrack(const CMidiTrack* track)
{
    if (track)
        m_midiView.SetSource(track->Syllables(), track->HeaderLines());
    else
        m_midiView.ClearSource();
}

void CLyricsShowWindow::FrameTick()
{
    if (!m_parts.controller.TimersMayRun())
        return;
    const CKaraokeSession& session = m_parts.session;
    m_frame.position = session.Position();
    m_frame.playing = m_parts.controller.IsPlaying();
    m_frame.idle = session.IsIdle();
    m_frame.lyricPathEmpty = session.LyricPath().empty();
    m_midiFrame = UseMidiLyricView(static_cast<int>(session.Kind()), m_frame.idle);
    if (m_midiFrame)
        m_midiView.Advance(m_frame);
    else
        m_lrcView.Advance(m_frame);
    update();
}

void CLyricsShowWindow::paintEvent(QPaintEvent*)
{
    if (m_lineImages.size() > kMaxLineImages || m_lineImageRatio != devicePixelRatioF()) {
        m_lineImages.clear();
        m_lineImageRatio = devicePixelRatioF();
    }
    QPainter painter(this);
    painter.fillRect(rect(), ToQColor(kLyricBackground));
    LyricsPaintInput input = m_frame;
    input.clientHeight = height();
    PaintFrame(painter, m_midiFrame ? m_midiView.Layout(input) : m_lrcView.Layout(input));
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
    // The sung part and the rest, one after the other and together centred.
    const QPixmap& sung = LineImage(frame.current->sung, kMidiSungPart);
    const QPixmap& rest = LineImage(frame.current->rest, kMidiRestPart);
    const int x = TruncateToInt((width() - ImageWidth(sung) - ImageWidth(rest)) / 2.0);
    painter.drawPixmap(x, frame.current->top, sung);
    painter.drawPixmap(x + ImageWidth(sung), frame.current->top, rest);
}

void CLyricsShowWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        if (m_parts.session.IsIdle())
            m_parts.desktop.OpenWebPage(std::u16string(kMakerWebAddress) + std::u16string(kMakerWebFragment));
    } else if (event->button() == Qt::RightButton) {
        m_parts.prompts.ShowMessage(MessageRequest {std::u16string(), u"OK"});
    }
}

void CLyricsShowWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    m_parts.controller.CompanionClosed(ECompanion::Lyrics);
}

} // namespace linlangok
