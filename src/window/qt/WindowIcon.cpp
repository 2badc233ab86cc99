#include "window/qt/WindowIcon.h"

#include <QPainter>
#include <QPixmap>

QIcon paintedWindowIcon() {
    QPixmap picture(24, 24);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    // A chip with its pins and an arrow going in: a board taking its firmware.
    painter.setPen(QColor(64, 64, 64));
    for (int x = 7; x <= 17; x += 5) {
        painter.drawLine(x, 3, x, 6);
        painter.drawLine(x, 18, x, 21);
    }
    painter.fillRect(4, 6, 17, 12, QColor(32, 32, 32));
    painter.setPen(QPen(QColor(0, 192, 0), 2));
    painter.drawLine(8, 12, 16, 12);
    painter.drawLine(13, 9, 16, 12);
    painter.drawLine(13, 15, 16, 12);
    return QIcon(picture);
}
