#include "mapprint.h"

#include "data/quorerror.h"
#include "editor/sheetpainter.h"
#include "mapconversion.h"
#include "mapoverlay.h"
#include "platform/platform.h"
#include "editor/printers.h"

#include <QImage>
#include <QPainter>
#include <QPrinter>

namespace {

int printedSide(int pixels, int resolution, quint16 density)
{
    // Without a density the picture has no physical size: one dot a pixel.
    if (density == 0)
        return pixels;
    const qint64 dots = qint64(pixels) * resolution;
    return int(roundHalfEven(static_cast<long double>(static_cast<double>(dots) / density)));
}

} // namespace

QPageLayout::Orientation mapPrintOrientation(QSize picture)
{
    return picture.width() >= picture.height() ? QPageLayout::Landscape : QPageLayout::Portrait;
}

QRect mapPrintRectangle(QSize picture, int resolution, quint16 xdens, quint16 ydens)
{
    return QRect(0, 0, printedSide(picture.width(), resolution, xdens),
                 printedSide(picture.height(), resolution, ydens));
}

QRect printMap(Platform &platform, QWidget *parent, QPrinter &printer, const MapPicture &picture,
               quint16 xdens, quint16 ydens, const QString &mapName)
{
    // The copy keeps what is printed as it was when the command started.
    // NOLINTNEXTLINE(performance-unnecessary-copy-initialization): that snapshot, pixels shared
    const MapPicture copy = picture;
    printer.setPageOrientation(mapPrintOrientation(copy.size()));
    PrintJob::prepare(printer, MapPrint::kJobTitle, mapName);
    if (!platform.printDialog(parent, printer))
        return {};
    printer.setDocName(MapPrint::kJobTitle);
    QPainter painter;
    if (!painter.begin(&printer)) {
        const QString target =
            printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName();
        throwCannotCreate(target);
    }
    const QRect target = mapPrintRectangle(copy.size(), printer.logicalDpiX(), xdens, ydens);
    // Each map pixel becomes a block of printer dots of its own colour: no
    // smoothing between neighbours, and the picture has no transparency to
    // blend with the page.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    paintMapPicture(painter, copy, copy.rect(), target);
    painter.end();
    return target;
}
