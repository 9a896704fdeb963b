#include "ui/main/InputLevelMeterWidget.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>

namespace linlangok {
namespace {

QRect ToQRect(const MeterRectangle& rectangle)
{
    return QRect(QPoint(rectangle.left, rectangle.top), QPoint(rectangle.right - 1, rectangle.bottom - 1));
}

QColor ToQColor(const MeterColour& colour)
{
    return QColor(colour.red, colour.green, colour.blue);
}

} // namespace

CInputLevelMeterWidget::CInputLevelMeterWidget(IWaveInSystem& system, IUserPrompts& prompts, QWidget* parent)
    : QWidget(parent)
    , m_capture(std::make_unique<CInputLevelMeterCapture>(system, prompts, [] {}))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QCoreApplication::translate("CInputLevelMeterWidget", "输入电平"));
    m_refresh.setInterval(kRefreshMilliseconds);
    connect(&m_refresh, &QTimer::timeout, this, &CInputLevelMeterWidget::Refresh);
}

CInputLevelMeterWidget::~CInputLevelMeterWidget()
{
    m_capture->Stop();
}

void CInputLevelMeterWidget::Start()
{
    m_capture->Start();
    if (m_capture->IsRunning())
        m_refresh.start();
}

void CInputLevelMeterWidget::Stop()
{
    m_capture->Stop();
    m_refresh.stop();
    update();
}

void CInputLevelMeterWidget::Refresh()
{
    if (!(m_capture->Levels() == m_paintedLevels) || !(m_capture->HeldLevels() == m_paintedHeld))
        update();
}

void CInputLevelMeterWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_background);
    m_paintedLevels = m_capture->Levels();
    m_paintedHeld = m_capture->HeldLevels();
    const MeterShapes shapes = LayOutMeter(MeterRectangle {0, 0, width(), height()}, m_paintedLevels, m_paintedHeld);
    painter.fillRect(ToQRect(shapes.leftMarker), ToQColor(kMeterMarkerColour));
    painter.fillRect(ToQRect(shapes.rightMarker), ToQColor(kMeterMarkerColour));
    painter.fillRect(ToQRect(shapes.leftBar), ToQColor(kMeterBarColour));
    painter.fillRect(ToQRect(shapes.rightBar), ToQColor(kMeterBarColour));
}

void CInputLevelMeterWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        QWidget::mousePressEvent(event);
}

} // namespace linlangok
