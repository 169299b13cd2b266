#pragma once

#include "mapoverlay.h"

#include <QPageLayout>
#include <QRect>
#include <QSize>
#include <QString>

class Platform;
class QPrinter;
class QWidget;

// The displayed map printed on one page at the size of the scanned sheet.
namespace MapPrint {
inline const QString kJobTitle = QStringLiteral("Carte de quor");
} // namespace MapPrint

// Landscape when the picture is at least as wide as high.
QPageLayout::Orientation mapPrintOrientation(QSize picture);

// The page rectangle, in printer dots from the printable area's top-left
// corner, that the picture fills: each side is its pixels times the printer's
// resolution over the map's density in that direction, rounded to the nearest
// dot with halves to even. A density of 0 counts one dot per pixel.
QRect mapPrintRectangle(QSize picture, int resolution, quint16 xdens, quint16 ydens);

// Sets the orientation, shows the printer-choice dialog and prints the
// picture as the job "Carte de quor". Returns the rectangle drawn, or an
// empty one when the dialog was cancelled. Throws
// "Impossible de créer le fichier %s" when the printer refuses the job.
QRect printMap(Platform &platform, QWidget *parent, QPrinter &printer, const MapPicture &picture,
               quint16 xdens, quint16 ydens, const QString &mapName = {});
