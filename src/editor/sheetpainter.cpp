#include "sheetpainter.h"

#include "routesheet.h"

#include <QImage>
#include <QPainter>
#include <QPen>

#include <algorithm>

namespace SheetPainter {

void paintPicture(QPainter &painter, const QImage &picture, const QRect &source,
                  const QRect &target, int bandRows)
{
    const QRect inside = source.intersected(picture.rect());
    if (inside != source || source.isEmpty() || target.isEmpty() || bandRows < 1)
        return;
    // Each map pixel becomes a block of device dots of its own colour: no
    // smoothing between neighbours.
    const bool smooth = painter.testRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const int bytesPerPixel = picture.depth() / 8;
    // Every band is placed at the whole picture's scale, so that the bands
    // together give what one drawing of the whole would.
    const qreal scaleY = qreal(target.height()) / source.height();
    for (int first = 0; first < source.height(); first += bandRows) {
        const int rows = std::min(bandRows, source.height() - first);
        const int y = source.top() + first;
        // A view of the picture's own pixels, not a copy of them.
        const QImage band =
            bytesPerPixel > 0
                ? QImage(picture.constScanLine(y) + qsizetype(source.left()) * bytesPerPixel,
                         source.width(), rows, picture.bytesPerLine(), picture.format())
                : picture.copy(source.left(), y, source.width(), rows);
        painter.drawImage(
            QRectF(target.left(), target.top() + first * scaleY, target.width(), rows * scaleY),
            band);
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
}

// Texts are placed by their top-left corner: the painter's own baseline is
// the top plus the ascent of the font on this device.
void paint(QPainter &painter, const QList<SheetOperation> &operations,
           const std::function<void()> &newPage, const QImage *picture)
{
    paint(painter, operations, newPage, [&](const QRect &source, const QRect &target) {
        if (picture)
            paintPicture(painter, *picture, source, target);
    });
}

void paint(QPainter &painter, const QList<SheetOperation> &operations,
           const std::function<void()> &newPage, const PictureDrawer &drawPicture)
{
    for (const SheetOperation &op : operations) {
        switch (op.kind) {
        case SheetOperation::Kind::NewPage:
            newPage();
            break;
        case SheetOperation::Kind::Rule:
            painter.setPen(QPen(op.colour, op.penWidth, Qt::SolidLine, Qt::RoundCap));
            painter.drawLine(op.from, op.to);
            break;
        case SheetOperation::Kind::Text: {
            painter.setFont(RouteSheet::font(op.pointSize));
            painter.setPen(op.colour);
            const int baseline = op.from.y() + painter.fontMetrics().ascent();
            painter.drawText(op.from.x(), baseline, op.text);
            break;
        }
        case SheetOperation::Kind::Picture:
            drawPicture(op.source, op.target);
            break;
        }
    }
}

} // namespace SheetPainter
