#include "ui/appicon.h"

#include <QPainter>
#include <QPixmap>

namespace ui {

QIcon AppIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        // A meter dial: a blue disc with a white needle and a green lamp.
        const qreal s = size;
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 70, 160));
        painter.drawEllipse(QRectF(0.5, 0.5, s - 1, s - 1));
        painter.setPen(QPen(Qt::white, qMax(1.0, s / 12), Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(s / 2, s * 0.62), QPointF(s * 0.76, s * 0.26));
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 255, 0));
        painter.drawEllipse(QRectF(s * 0.40, s * 0.52, s * 0.2, s * 0.2));
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace ui
