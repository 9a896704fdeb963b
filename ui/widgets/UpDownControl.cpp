#include "ui/widgets/UpDownControl.h"

#include <QKeyEvent>
#include <QToolButton>

#include <algorithm>

namespace linlangok {

CUpDownControl::CUpDownControl(QWidget* parent)
    : QWidget(parent)
    , m_up(new QToolButton(this))
    , m_down(new QToolButton(this))
{
    setFocusPolicy(Qt::StrongFocus);
    for (QToolButton* button : {m_up, m_down}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
    }
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    m_up->setAccessibleName(tr("升高"));
    m_down->setAccessibleName(tr("降低"));
    connect(m_up, &QToolButton::clicked, this, &CUpDownControl::StepUp);
    connect(m_down, &QToolButton::clicked, this, &CUpDownControl::StepDown);
}

void CUpDownControl::SetRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    m_position = std::clamp(m_position, m_minimum, m_maximum);
}

void CUpDownControl::SetPosition(int position)
{
    m_position = std::clamp(position, m_minimum, m_maximum);
}

void CUpDownControl::Step(int delta)
{
    m_position = std::clamp(m_position + delta, m_minimum, m_maximum);
    emit stepped(m_position);
}

void CUpDownControl::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Up)
        StepUp();
    else if (event->key() == Qt::Key_Down)
        StepDown();
    else
        QWidget::keyPressEvent(event);
}

void CUpDownControl::resizeEvent(QResizeEvent*)
{
    const int half = height() / 2;
    m_up->setGeometry(0, 0, width(), half);
    m_down->setGeometry(0, half, width(), height() - half);
}

} // namespace linlangok
