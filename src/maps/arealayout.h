#pragma once

#include "editor/routesheet.h"
#include "mapconversion.h"

#include <QList>
#include <QPageLayout>
#include <QPageSize>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

// The part of a map that a route crosses, printed at the scale of the scan
// (one map pixel = one dot of the scan's resolution across and down) on as
// many whole pages as it needs, centred on the route. Pages overlap so that
// they can be laid edge to edge.

// What the user may change before printing.
struct AreaPrintOptions
{
    double marginKm = 1.0;  // ground around the route's waypoints
    double overlapCm = 1.0; // paper shared by neighbouring pages
    QPageSize::PageSizeId paperSize = QPageSize::A4;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    // The scan's resolution in dots per inch, asked only of a picture whose
    // file does not give it.
    int scanDotsPerInch = 300;
};

// The map as the printout needs it.
struct AreaMap
{
    QSize picture;
    MapTransform transform;
    quint16 xdens = 0;
    quint16 ydens = 0;
    // The unit of the densities, as the JPEG file gives it: 1 is dots per
    // inch, 2 dots per centimetre; anything else says nothing of the scan's
    // size, and the resolution the user gave stands instead.
    quint8 unitsCode = 1;
    double givenDotsPerInch = 0;
    QString title; // printed at the top of every page: the route, the map
    QString datum; // the calibration's datum, "ED50" or "WGS84"
};

// One page of the grid.
struct AreaPage
{
    int number = 0; // 1-based, row by row
    int row = 0;    // 1-based
    int column = 0; // 1-based
    QRect source;   // picture pixels, within the picture
    QRect target;   // device pixels of the printable area
    QString label;  // "2/6, ligne 1, colonne 2"

    bool operator==(const AreaPage &other) const = default;
};

// The pages of an area on one paper size.
struct AreaGrid
{
    int rows = 0;
    int columns = 0;
    QList<AreaPage> pages;
    qint64 scale = 0;       // the denominator printed as "1:25000"
    int scaleBarMetres = 0; // ground shown by the scale bar: one kilometre
    int scaleBarDots = 0;   // where the page has room for it, in device pixels
    int headerHeight = 0;   // device pixels above the picture
    int width = 0;          // the printable area, in device pixels
};

// A scan's resolution across and down.
struct ScanResolution
{
    double x = 0;
    double y = 0;
};

namespace AreaPrint {
constexpr double kMetresPerKilometre = 1000.0;
constexpr double kCentimetresPerInch = 2.54;
// Bands of the page, above the picture for the titles and below it for the
// scale, in centimetres of paper.
constexpr double kHeaderCm = 0.8;
constexpr double kFooterCm = 1.0;
// More pages than this is surely a wrong paper size or scan density.
constexpr int kMaximumPages = 500;

inline const QString kNoWaypoint = QStringLiteral("La route n'a aucun point à imprimer.");
inline const QString kOutsideMap = QStringLiteral("La route est en dehors de la carte.");
inline const QString kNotCalibrated =
    QStringLiteral("La carte n'est pas calibrée : la zone ne peut pas être imprimée à l'échelle.");
inline const QString kNoDensity = QStringLiteral(
    "L'image de la carte n'indique pas sa résolution : la zone ne peut pas être imprimée à "
    "l'échelle.");
inline const QString kPageTooSmall =
    QStringLiteral("La page est trop petite pour y imprimer la carte.");
QString tooManyPages(qint64 pages);
QString pageLabel(int number, int count, int row, int column);
QString scaleText(qint64 scale);
// The scale bar shows one kilometre, or on a map of so large a scale that a
// kilometre is wider than the page, the longest of these that fits.
constexpr int kScaleBarChoices[] = {1000, 500, 200, 100, 50, 20, 10};
QString scaleBarText(int metres);
constexpr quint8 kDotsPerInch = 1;
constexpr quint8 kDotsPerCentimetre = 2;
// A density in dots per inch, whatever unit the file gives.
double dotsPerInch(quint16 density, quint8 unitsCode);
// Whether the file gives the scan's resolution, in a unit and not zero.
bool fileGivesResolution(quint8 unitsCode, quint16 xdens, quint16 ydens);
// The scan's dots per inch: the file's densities, or for a file that gives
// none the resolution the user gave. Throws the French refusal when neither
// is known.
ScanResolution scanResolution(const AreaMap &map);
// The denominator of the scale at which one scan dot is one pixel: the true
// ground length of a pixel across and down, whatever the map's rotation.
qint64 trueScale(const MapTransform &t, const ScanResolution &dpi);
// The resolutions scanners usually offer, shown with the scale each gives.
constexpr int kUsualResolutions[] = {150, 200, 300, 400, 600};
QString impliedScales(const MapTransform &t);
} // namespace AreaPrint

// Ground metres per picture pixel along a row and down a column.
double metresPerPixelAcross(const MapTransform &t);
double metresPerPixelDown(const MapTransform &t);

// The bounding box of the waypoints, widened by the margin on the ground and
// clipped to the picture. Throws the French texts above for no waypoint, a
// route with no waypoint on the picture, or a map without calibration.
QRect routeArea(const AreaMap &map, const QList<QPoint> &waypoints, double marginKm);

// The grid of whole pages that covers `area` on a printable area of
// `printable` device pixels at `resolution` dots per inch. The pages
// together are centred on the area and moved inside the picture where it is
// large enough, so that a small area still prints a page of map around it;
// only where the map ends is a page's picture cut. Throws for a map without
// resolution, a page too small or too many pages.
AreaGrid areaGrid(const AreaMap &map, const QRect &area, const QSize &printable, int resolution,
                  double overlapCm);

// Every page as drawing operations: the title, datum and page label in a band
// above the picture (a title too long for it is shortened), the picture, its
// frame, the scale bar with "1 km" and the scale below it; a new page between
// pages.
QList<SheetOperation> areaLayout(const AreaMap &map, const AreaGrid &grid,
                                 const TextMetrics &metrics);
