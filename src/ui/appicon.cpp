#include "ui/appicon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace kx {

namespace {

// The picture on its 256 x 256 grid, scaled to the pixmap.
QPixmap draw(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);
    const QColor blue(0x1f, 0x4e, 0x79);

    p.setPen(Qt::NoPen);
    p.setBrush(blue);
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 40, 40);

    p.setBrush(Qt::white);
    p.drawRect(QRectF(52, 70, 128, 110));
    p.drawEllipse(QPointF(116, 180), 64, 26);
    // The drum's two bands: the lower halves of its ellipse.
    p.setPen(QPen(blue, 7));
    p.setBrush(Qt::NoBrush);
    for (qreal y : {110.0, 145.0})
        p.drawArc(QRectF(52, y - 26, 128, 52), 180 * 16, 180 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xcf, 0xe0, 0xf1));
    p.drawEllipse(QPointF(116, 70), 64, 26);

    p.setPen(QPen(Qt::white, 8));
    p.setBrush(QColor(0x2e, 0x9e, 0x4f));
    p.drawEllipse(QPointF(186, 186), 46, 46);
    QPainterPath tick;
    tick.moveTo(164, 187);
    tick.lineTo(180, 203);
    tick.lineTo(208, 171);
    p.setPen(QPen(Qt::white, 13, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(tick);
    return pixmap;
}

// A speech bubble with three dots on the same grid.
QPixmap drawChat(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(16, 28, 224, 156), 48, 48);
    QPainterPath tail;
    tail.moveTo(64, 170);
    tail.lineTo(44, 236);
    tail.lineTo(124, 178);
    tail.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2a, 0x7a, 0xbf));
    p.drawPath(bubble.united(tail));
    p.setBrush(Qt::white);
    for (qreal x : {80.0, 128.0, 176.0})
        p.drawEllipse(QPointF(x, 106), 17, 17);
    return pixmap;
}

} // namespace

QIcon chatIcon()
{
    QIcon icon;
    for (int size : {16, 22, 32, 48})
        icon.addPixmap(drawChat(size));
    return icon;
}

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(draw(size));
    return icon;
}

} // namespace kx
