#include "areaprint.h"

#include "data/quorerror.h"
#include "editor/printers.h"
#include "editor/sheetpainter.h"
#include "mapoverlay.h"
#include "platform/platform.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cmath>

namespace {

// The print preview keeps a copy of every picture drawn on every page until
// it closes; there the pages get the picture reduced to this many bytes in
// all, at four bytes a pixel.
constexpr double kPreviewBytes = 32.0 * 1024 * 1024;
constexpr double kPreviewBytesPerPixel = 4;

bool isPreview(QPrinter &printer)
{
    const QPaintEngine *engine = printer.paintEngine();
    return engine && engine->type() == QPaintEngine::Picture;
}

} // namespace

double AreaPrint::previewReduction(const AreaGrid &grid)
{
    double pixels = 0;
    for (const AreaPage &page : grid.pages)
        pixels += double(page.target.width()) * page.target.height();
    if (pixels <= 0)
        return 1;
    return std::min(1.0, std::sqrt(kPreviewBytes / kPreviewBytesPerPixel / pixels));
}

AreaGrid paintRouteArea(QPrinter &printer, const MapPicture &picture, const AreaMap &map,
                        const QRect &area, double overlapCm)
{
    // The grid depends on the paper, which the user may have changed in the
    // preview: it is worked out again for each printing.
    AreaGrid grid = areaGrid(map, area, QSize(printer.width(), printer.height()),
                             printer.logicalDpiX(), overlapCm);
    const DeviceTextMetrics metrics(&printer);
    const QList<SheetOperation> operations = areaLayout(map, grid, metrics);
    QPainter painter;
    if (!painter.begin(&printer)) {
        const QString target =
            printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName();
        throwCannotCreate(target);
    }
    const auto newPage = [&printer] { printer.newPage(); };
    if (!isPreview(printer)) {
        SheetPainter::paint(painter, operations, newPage,
                            [&](const QRect &source, const QRect &target) {
                                paintMapPicture(painter, picture, source, target);
                            });
    } else {
        // For the screen, each page's picture is drawn from the scan's
        // rows into a small image, the only copy the preview keeps.
        const double reduction = AreaPrint::previewReduction(grid);
        SheetPainter::paint(painter, operations, newPage,
                            [&](const QRect &source, const QRect &target) {
                                const QSize size(std::max(1, int(target.width() * reduction)),
                                                 std::max(1, int(target.height() * reduction)));
                                QImage reduced(size, QImage::Format_RGB888);
                                QPainter small(&reduced);
                                paintMapPicture(small, picture, source, reduced.rect());
                                small.end();
                                painter.drawImage(target, reduced);
                            });
    }
    painter.end();
    return grid;
}

bool printRouteArea(Platform &platform, QWidget *parent, QPrinter &printer, const MapPicture &picture,
                    const AreaMap &map, const QList<QPoint> &waypoints,
                    const AreaPrintOptions &options)
{
    const QRect area = routeArea(map, waypoints, options.marginKm);
    // The resolution is checked before the preview: without it no page can
    // be laid out.
    AreaPrint::scanResolution(map);
    printer.setPageSize(QPageSize(options.paperSize));
    printer.setPageOrientation(options.orientation);
    const QString job = AreaPrint::kJobTitlePrefix + map.title;
    PrintJob::prepare(printer, job, job);
    return platform.printPreview(parent, printer, [&](QPrinter &target) {
        paintRouteArea(target, picture, map, area, options.overlapCm);
    });
}
