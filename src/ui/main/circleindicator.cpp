#include "ui/main/circleindicator.h"

#include <QPainter>

CircleIndicator::CircleIndicator(QWidget *parent)
    : QWidget(parent)
{
}

void CircleIndicator::setFillColor(const QColor &color)
{
    if (color == m_fill)
        return;
    m_fill = color;
    update();
}

void CircleIndicator::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(m_fill);
    // The circle fits the shorter side, centred, as a shape control draws it.
    const int side = qMin(width(), height()) - 1;
    painter.drawEllipse(QRectF((width() - side) / 2.0, (height() - side) / 2.0, side, side));
}
