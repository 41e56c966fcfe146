#include "servericon.h"

#include <QPainter>
#include <QPixmap>

QIcon serverIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal u = size / 16.0;
        // A printer: body, paper coming out, and a status light.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 40, 120));
        p.drawRoundedRect(QRectF(1 * u, 6 * u, 14 * u, 7 * u), 1.5 * u, 1.5 * u);
        p.setBrush(Qt::white);
        p.setPen(QPen(QColor(40, 40, 120), std::max<qreal>(1.0, 0.6 * u)));
        p.drawRect(QRectF(4 * u, 1.5 * u, 8 * u, 5 * u));
        p.drawRect(QRectF(4 * u, 10 * u, 8 * u, 5 * u));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(80, 220, 80));
        p.drawEllipse(QRectF(12 * u, 7.5 * u, 2 * u, 2 * u));
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
