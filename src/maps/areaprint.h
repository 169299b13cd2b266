#pragma once

#include "arealayout.h"
#include "mapoverlay.h"

#include <QList>
#include <QPoint>

class Platform;
class QPrinter;
class QWidget;

// "Imprimer la zone": the part of the map that a route crosses, at the scale
// of the scan, over as many pages as it needs.
namespace AreaPrint {
// The job's title, followed by the map's title.
inline const QString kJobTitlePrefix = QStringLiteral("Zone de ");
// The share of the printed size at which the print preview's pages get the
// picture, so that the preview of any number of pages stays small.
double previewReduction(const AreaGrid &grid);
} // namespace AreaPrint

// Works out the area (throwing its French refusal before any dialog), sets
// the printer to the options' paper and orientation, and shows the print
// preview, from which the user prints. `picture` is the displayed map with
// the route drawn on it; it is read in place, one band at a time, never
// copied whole. Returns whether the document was printed.
bool printRouteArea(Platform &platform, QWidget *parent, QPrinter &printer, const MapPicture &picture,
                    const AreaMap &map, const QList<QPoint> &waypoints,
                    const AreaPrintOptions &options = {});

// Lays out `area` for the printer as it stands (paper, orientation,
// resolution) and prints it: begins the document, draws every page, ends it.
// For the print preview the picture is drawn reduced (previewReduction).
// Throws "Impossible de créer le fichier %s" when the printer refuses to
// begin. Returns the grid printed.
AreaGrid paintRouteArea(QPrinter &printer, const MapPicture &picture, const AreaMap &map,
                        const QRect &area, double overlapCm);
