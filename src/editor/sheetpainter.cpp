#include "sheetpainter.h"

#include "routesheet.h"

#include <QImage>
#include <QPainter>
#include <QPen>

#include <algorithm>

namespace SheetPainter {

void paintPicture(QPainter &painter, const QImage &picture, const QRect &source,
                  const QRect &target)
{
    const QRect inside = source.intersected(picture.rect());
    if (inside != source || source.isEmpty() || target.isEmpty())
        return;
    // Each map pixel becomes a block of device dots of its own colour: no
    // smoothing between neighbours.
    const bool smooth = painter.testRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const qint64 rows = source.height();
    // Band edges are rounded from the whole picture's scale, so that adjacent
    // bands meet without a gap or an overlap.
    auto edge = [&](qint64 row) {
        return target.top() + int((row * target.height() + rows / 2) / rows);
    };
    for (qint64 first = 0; first < rows; first += kBandRows) {
        const qint64 last = std::min(rows, first + kBandRows);
        const int top = edge(first);
        const int bottom = edge(last);
        if (bottom <= top)
            continue;
        const QRect band(source.left(), source.top() + int(first), source.width(),
                         int(last - first));
        painter.drawImage(QRect(target.left(), top, target.width(), bottom - top), picture, band);
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
}

// Texts are placed by their top-left corner: the painter's own baseline is
// the top plus the ascent of the font on this device.
void paint(QPainter &painter, const QList<SheetOperation> &operations,
           const std::function<void()> &newPage, const QImage *picture)
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
            if (picture)
                paintPicture(painter, *picture, op.source, op.target);
            break;
        }
    }
}

} // namespace SheetPainter
