#pragma once

#include <QList>
#include <QString>

class Platform;
class QPainter;
class QPrinter;
class QWidget;
class StringGrid;
struct SheetOperation;

// "Im&primer": asks "Impression de l'itinéraire ?", shows the printer-choice
// dialog and prints the open itinerary (catalogue row catalogueRow) as a
// route sheet. A cell that the totals cannot read throws before the document
// begins, so nothing is printed; the caller runs it inside the event guard.
// `printer` is the one kept for route sheets.
void ImPrimmer1Click(Platform &platform, QWidget *parent, QPrinter &printer,
                     const StringGrid &stages, const StringGrid &catalogue, int catalogueRow);

// Readies a kept printer for a portrait sheet (job title `job`, a file named
// after `fileTitle` in the folder of the last one) and shows the
// printer-choice dialog; false when the user cancels it.
bool choosePortraitPrinter(Platform &platform, QWidget *parent, QPrinter &printer,
                           const QString &job, const QString &fileTitle);

// Prints the operations of a sheet (the route sheet, the elevation profile) on
// a printer already chosen and set up: begins the document, draws, ends it. Throws
// "Impossible de créer le fichier %s" when the printer refuses to begin.
void printRouteSheet(QPrinter &printer, const QList<SheetOperation> &operations);
