#include "ui/tray/ProgramIcon.h"

#include <QPainter>
#include <QPixmap>

namespace stowline::ui {

namespace {
QPixmap drawIcon(int size, const QColor& colour) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal margin = size / 16.0;
    const QRectF box(margin, margin, size - 2 * margin, size - 2 * margin);
    painter.setPen(QPen(colour.darker(160), size / 16.0));
    painter.setBrush(colour);
    painter.drawRoundedRect(box, size / 6.0, size / 6.0);
    // The lid of the box and its handle.
    painter.setPen(QPen(Qt::white, size / 12.0));
    const qreal lid = box.top() + box.height() / 3;
    painter.drawLine(QPointF(box.left() + margin, lid), QPointF(box.right() - margin, lid));
    painter.drawLine(QPointF(box.center().x() - size / 8.0, lid + size / 6.0),
                     QPointF(box.center().x() + size / 8.0, lid + size / 6.0));
    return pixmap;
}
} // namespace

QIcon programIcon(bool running) {
    const QColor colour = running ? QColor(0x2e, 0x9e, 0x44) : QColor(0x2f, 0x6d, 0xb5);
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(drawIcon(size, colour));
    return icon;
}

} // namespace stowline::ui
