#include "panel/appicon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace qj {

namespace {
constexpr int kGrid = 32; // the drawing's own size: at 32 x 32 every edge falls on a pixel
// Sizes the window offers the desktop: the title bar, the task bar and the window switcher.
constexpr int kWindowSizes[] = {16, 24, 32, 48, 64, 128};
} // namespace

QImage appIconImage(int side)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(qreal(side) / kGrid, qreal(side) / kGrid);

    // The tile.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 40, 110));
    p.drawRoundedRect(QRectF(0.5, 0.5, kGrid - 1, kGrid - 1), 6, 6);

    // Microphone: head, stand and foot.
    p.setBrush(QColor(235, 235, 240));
    p.drawRoundedRect(QRectF(7, 5, 9, 14), 4.5, 4.5);
    QPen stand(QColor(235, 235, 240), 2);
    stand.setCapStyle(Qt::RoundCap);
    p.setPen(stand);
    p.setBrush(Qt::NoBrush);
    QPainterPath cradle;
    cradle.moveTo(5, 13);
    cradle.cubicTo(5, 23, 18, 23, 18, 13);
    p.drawPath(cradle);
    p.drawLine(QPointF(11.5, 21.5), QPointF(11.5, 26));
    p.drawLine(QPointF(7.5, 26.5), QPointF(15.5, 26.5));

    // Level bars: green, green, red, rising to the right.
    p.setPen(Qt::NoPen);
    const struct
    {
        qreal top;
        QColor colour;
    } bars[] = {{18, QColor(0, 192, 0)}, {13, QColor(0, 220, 0)}, {7, QColor(255, 40, 40)}};
    qreal left = 19.5;
    for (const auto &bar : bars) {
        p.setBrush(bar.colour);
        p.drawRect(QRectF(left, bar.top, 2.5, 27 - bar.top));
        left += 3.5;
    }
    return image;
}

QIcon appIcon()
{
    QIcon icon;
    for (const int side : kWindowSizes)
        icon.addPixmap(QPixmap::fromImage(appIconImage(side)));
    return icon;
}

} // namespace qj
