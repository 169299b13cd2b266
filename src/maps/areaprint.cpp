#include "areaprint.h"

#include "data/quorerror.h"
#include "editor/sheetpainter.h"
#include "platform/platform.h"

#include <QImage>
#include <QPainter>
#include <QPrinter>

AreaGrid paintRouteArea(QPrinter &printer, const QImage &picture, const AreaMap &map,
                        const QRect &area, double overlapCm)
{
    // The grid depends on the paper, which the user may have changed in the
    // preview: it is worked out again for each printing.
    const AreaGrid grid = areaGrid(map, area, QSize(printer.width(), printer.height()),
                                   printer.logicalDpiX(), overlapCm);
    const DeviceTextMetrics metrics(&printer);
    const QList<SheetOperation> operations = areaLayout(map, grid, metrics);
    QPainter painter;
    if (!painter.begin(&printer)) {
        const QString target =
            printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName();
        throwCannotCreate(target);
    }
    SheetPainter::paint(
        painter, operations, [&printer] { printer.newPage(); }, &picture);
    painter.end();
    return grid;
}

bool printRouteArea(Platform &platform, QWidget *parent, QPrinter &printer, const QImage &picture,
                    const AreaMap &map, const QList<QPoint> &waypoints,
                    const AreaPrintOptions &options)
{
    const QRect area = routeArea(map, waypoints, options.marginKm);
    // The densities are checked before the preview: without them no page
    // can be laid out.
    if (map.xdens == 0 || map.ydens == 0)
        throw QuorError(AreaPrint::kNoDensity);
    printer.setPageSize(QPageSize(options.paperSize));
    printer.setPageOrientation(options.orientation);
    printer.setDocName(AreaPrint::kJobTitlePrefix + map.title);
    return platform.printPreview(parent, printer, [&](QPrinter &target) {
        paintRouteArea(target, picture, map, area, options.overlapCm);
    });
}
