#include "gui/kit/StationIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

// A rounded blue tile with two lines leaving a box: files going out to the machines.
QPixmap stationPixmap(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1f, 0x5f, 0xa8));
    p.drawRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s * 0.18, s * 0.18);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(s * 0.16, s * 0.30, s * 0.26, s * 0.40));
    QPen line(Qt::white, qMax<qreal>(1.0, s * 0.08), Qt::SolidLine, Qt::RoundCap);
    p.setPen(line);
    p.drawLine(QPointF(s * 0.42, s * 0.40), QPointF(s * 0.82, s * 0.28));
    p.drawLine(QPointF(s * 0.42, s * 0.60), QPointF(s * 0.82, s * 0.72));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0xc4, 0x3d));
    p.drawEllipse(QPointF(s * 0.82, s * 0.28), s * 0.09, s * 0.09);
    p.drawEllipse(QPointF(s * 0.82, s * 0.72), s * 0.09, s * 0.09);
    return pm;
}

// Image 0: an amber ring with clock hands. Image 1: a green disc with a white tick.
QPixmap nodePixmap(int image, int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    if (image == 0) {
        p.setPen(QPen(QColor(0xb8, 0x6e, 0x00), s / 8.0));
        p.setBrush(QColor(0xff, 0xe0, 0x8a));
        p.drawEllipse(QRectF(s * 0.1, s * 0.1, s * 0.8, s * 0.8));
        p.setPen(QPen(QColor(0x5a, 0x36, 0x00), s / 10.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(s / 2, s / 2), QPointF(s / 2, s * 0.26));
        p.drawLine(QPointF(s / 2, s / 2), QPointF(s * 0.7, s / 2));
    } else {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x1e, 0x8e, 0x3e));
        p.drawEllipse(QRectF(s * 0.05, s * 0.05, s * 0.9, s * 0.9));
        QPainterPath tick;
        tick.moveTo(s * 0.27, s * 0.52);
        tick.lineTo(s * 0.44, s * 0.69);
        tick.lineTo(s * 0.74, s * 0.33);
        p.setPen(QPen(Qt::white, s / 7.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(tick);
    }
    return pm;
}

} // namespace

QIcon StationIcon() {
    static const QIcon icon = [] {
        QIcon i;
        for (int size : {16, 24, 32, 48, 64, 128})
            i.addPixmap(stationPixmap(size));
        return i;
    }();
    return icon;
}

QIcon NodeListImage(int image) {
    static const QIcon icons[2] = {[] {
                                       QIcon i;
                                       i.addPixmap(nodePixmap(0, 16));
                                       i.addPixmap(nodePixmap(0, 32));
                                       return i;
                                   }(),
                                   [] {
                                       QIcon i;
                                       i.addPixmap(nodePixmap(1, 16));
                                       i.addPixmap(nodePixmap(1, 32));
                                       return i;
                                   }()};
    return icons[image == 1 ? 1 : 0];
}
