#include "routesheetprint.h"

#include "data/catalogue.h"
#include "data/quorerror.h"
#include "data/stringgrid.h"
#include "platform/platform.h"
#include "printers.h"
#include "routesheet.h"
#include "sheetpainter.h"

#include <QPainter>
#include <QPrinter>

void printRouteSheet(QPrinter &printer, const QList<SheetOperation> &operations)
{
    QPainter painter;
    if (!painter.begin(&printer)) {
        const QString target =
            printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName();
        throwCannotCreate(target);
    }
    SheetPainter::paint(painter, operations, [&printer] { printer.newPage(); });
    painter.end();
}

bool choosePortraitPrinter(Platform &platform, QWidget *parent, QPrinter &printer,
                           const QString &job, const QString &fileTitle)
{
    PrintJob::prepare(printer, job, fileTitle);
    // Portrait before the dialog so that the dialog shows it, and again after
    // it: the sheet is a portrait page whatever was picked.
    printer.setPageOrientation(QPageLayout::Portrait);
    if (!platform.printDialog(parent, printer))
        return false;
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setDocName(job);
    return true;
}

void ImPrimmer1Click(Platform &platform, QWidget *parent, QPrinter &printer,
                     const StringGrid &stages, const StringGrid &catalogue, int catalogueRow)
{
    const QString &title = catalogue.cell(Catalogue::Title, catalogueRow);
    const QString &date = catalogue.cell(Catalogue::Date, catalogueRow);
    if (!platform.confirm(parent, QStringLiteral("Impression de l'itinéraire ?")))
        return;
    if (!choosePortraitPrinter(platform, parent, printer, QStringLiteral("Route de ") + title,
                               title))
        return;
    const DeviceTextMetrics metrics(&printer);
    const QList<SheetOperation> operations =
        routeSheetLayout(stages, title, date, QSize(printer.width(), printer.height()), metrics);
    printRouteSheet(printer, operations);
}
