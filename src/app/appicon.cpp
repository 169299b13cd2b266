#include "appicon.h"

#include <QPainter>
#include <QPainterPath>

namespace AppIcon {

namespace {

// The drawing is made on a square of this many units, scaled to the size.
constexpr qreal kUnits = 256.0;
const QColor kGreen(24, 138, 56);
const QColor kPaper(250, 246, 232);
const QColor kContour(176, 112, 52);
const QColor kRoute(220, 0, 0);
const QColor kGrid(70, 110, 200);

void draw(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing);

    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 44, 44);

    const QRectF sheet(36, 36, 184, 184);
    p.setBrush(kPaper);
    p.drawRoundedRect(sheet, 10, 10);

    p.save();
    p.setClipRect(sheet.adjusted(2, 2, -2, -2));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kGrid, 2));
    for (qreal x = 82; x < 220; x += 60)
        p.drawLine(QPointF(x, 36), QPointF(x, 220));
    for (qreal y = 82; y < 220; y += 60)
        p.drawLine(QPointF(36, y), QPointF(220, y));
    for (int ring = 0; ring < 5; ++ring) {
        const qreal rx = 26 + 22 * ring;
        const qreal ry = 18 + 17 * ring;
        p.setPen(QPen(kContour, ring == 2 ? 5 : 3));
        p.drawEllipse(QPointF(150, 96), rx, ry);
    }
    p.restore();

    const QPointF route[] = {{70, 190}, {104, 150}, {128, 160}, {150, 100}};
    p.setPen(QPen(kRoute, 8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(route, int(std::size(route)));
    p.setBrush(Qt::white);
    p.setPen(QPen(kRoute, 7));
    p.drawEllipse(route[0], 17, 17);
    for (size_t i = 1; i < std::size(route); ++i)
        p.drawEllipse(route[i], 10, 10);
}

} // namespace

QImage image(int size)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.scale(size / kUnits, size / kUnits);
    draw(p);
    return img;
}

QPixmap pixmap(int size)
{
    return QPixmap::fromImage(image(size));
}

QIcon icon()
{
    QIcon result;
    for (int size : kWindowSizes)
        result.addPixmap(pixmap(size));
    return result;
}

} // namespace AppIcon
