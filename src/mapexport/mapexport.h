#pragma once

#include "data/progress.h"
#include "gps/coordinates.h"
#include "maps/mapconversion.h"

#include <QImage>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>

#include <array>

// A calibrated scan written as a georeferenced file that phone apps and GPS
// receivers read: GeoTIFF, MBTiles or KMZ. Everything is written by GDAL in
// the map export module (mapexport/mapexportapi.h), loaded by the first
// export or KMZ count; the program itself never links GDAL. For example:
//
//   MapExport::Request request;
//   request.picture = session.picture(); // or the clean scan with its labels
//   request.transform = session.transform();
//   request.grid = {zone, letter, datum};
//   request.extent = MapExport::routeExtent(request.picture.size(),
//                                           request.transform, waypoints, 1.0);
//   request.format = MapExport::Format::Kmz;
//   request.destination = path;
//   if (MapExport::kmzTiles(request) > MapExport::kMaxKmzTiles)
//       request.kmzReduction = MapExport::fittingKmzReduction(request);
//   MapExport::exportMap(request, platform.startProgress(...));
//
// Pixels and positions. The calibration gives the UTM position of whole
// pixel coordinates; the program takes the pixel (x, y) for the point where
// it was clicked, the centre of that pixel: UtmToPixel rounds a position to
// the nearest pixel, and the map's extent runs from pixel (0, 0) to pixel
// (width - 1, height - 1). GDAL's geotransforms place pixel corners, so the
// exported file's top-left corner is the calibration's position of
// (x0 - 0.5, y0 - 0.5) for an extent starting at pixel (x0, y0), and the
// centre of every exported pixel lies exactly where the calibration puts
// that pixel.
//
// Datum. The UTM grid's system is EPSG's (ED50 / UTM 28N to 38N are 23028 to
// 23038, WGS 84 / UTM 1N to 60N and 1S to 60S 32601 to 32660 and 32701 to
// 32760). For MBTiles and KMZ, every pixel goes to WGS84 through the one
// operation the map window uses for the same map (mapTransformation), so a
// waypoint lands on the same ground in a GPX file, on the terrain and in
// every export: GDAL is given that operation rather than left to choose
// its own, which near the edge of an operation's area could differ.
namespace MapExport {

enum class Format { GeoTiff, MBTiles, Kmz };

// Receivers read at most this many tiles of a KMZ, of at most this size.
constexpr int kMaxKmzTiles = 100;
constexpr int kMaxKmzTileSize = 1024;
// The resolutions the dialog offers for a KMZ, as output pixels per scan
// pixel across; fittingKmzReduction picks among them.
constexpr double kKmzReductions[] = {1.0, 1.5, 2.0, 3.0, 4.0, 6.0, 8.0};
constexpr int kJpegQuality = 85;

struct Request
{
    // The picture to write: the displayed one, with the picked route and its
    // labels when drawPickedRoute() drew them, or the clean scan with its
    // grid labels. A shallow copy: its pixels are shared with the caller's
    // and read in place, never copied (24-bit RGB, 32-bit RGB and 8-bit grey
    // pictures; the program makes no other kind, which would be converted
    // first).
    QImage picture;
    MapTransform transform;
    Coordinates::Grid grid;
    // Pixels of the picture to write; a null rectangle is the whole picture.
    // The route's area is routeExtent().
    QRect extent;
    Format format = Format::GeoTiff;
    QString destination;
    // KMZ only: output pixels this many times the scan's across and down.
    double kmzReduction = 1.0;
    // The name phone apps and receivers show; the destination's base name
    // when empty.
    QString name;
};

// Texts of the refusals.
inline const QString kNotCalibrated =
    QStringLiteral("La carte n'est pas calibrée : elle ne peut pas être exportée.");
inline const QString kNoPicture = QStringLiteral("La carte n'a pas d'image à exporter.");
inline const QString kOutsideMap =
    QStringLiteral("La zone à exporter est en dehors de l'image de la carte.");
inline const QString kNoWaypoint =
    QStringLiteral("La route n'a aucun point : sa zone ne peut pas être exportée.");
// "Aucun système de coordonnées EPSG ne correspond à la zone 27T en ED50 : la
// carte ne peut pas être exportée."
QString noSystemText(const Coordinates::Grid &grid);
// "Les positions de la carte ne peuvent pas être converties en latitude et
// longitude WGS84 : la carte ne peut pas être exportée en MBTiles."
QString noConversionText(Format format);
// "La carte en KMZ ferait 154 tuiles, et les GPS n'en lisent que 100 :
// exportez la zone de la route, ou choisissez une résolution plus
// grossière."
QString tooManyTilesText(int tiles);
inline const QString kBeyondMercator =
    QStringLiteral("La carte s'étend au-delà de 85° de latitude, où les cartes des téléphones "
                   "s'arrêtent : elle ne peut pas être exportée en MBTiles. Exportez-la en "
                   "GeoTIFF ou en KMZ.");
// "GDAL n'a pas pu écrire la carte : %1"
QString gdalFailureText(const QString &gdalMessage);

// The usual suffix of each format's files, without the dot, and the filter
// of the save dialog ("GeoTIFF|*.tif").
QString suffix(Format format);
QString fileFilter(Format format);

// EPSG's code for a grid's UTM system, or 0 when EPSG has none (ED50 outside
// zones 28 to 38 or in the southern hemisphere). Throws checkGrid's texts.
int epsgCode(const Coordinates::Grid &grid);

// GDAL's geotransform of the pixels of `extent`: see "Pixels and
// positions" above.
std::array<double, 6> geoTransform(const MapTransform &transform, const QRect &extent);

// The route's area of "Imprimer la zone": the waypoints' box widened by
// `marginKm` on the ground, within the picture. Throws kNotCalibrated,
// kNoWaypoint, or "La route est en dehors de la carte." for a route with no
// waypoint on the picture.
QRect routeExtent(const QSize &picture, const MapTransform &transform,
                  const QList<QPoint> &waypoints, double marginKm);

// The datum operation of MBTiles and KMZ: Coordinates::Transformation's
// choice for the area of the whole picture, as the map window chooses it
// for the terrain (TerrainSource::mapFrame). Throws kNotCalibrated,
// checkGrid's texts, Coordinates' text for an area PROJ has no operation
// for, or noConversionText when PROJ cannot hand the operation to GDAL.
Coordinates::Transformation mapTransformation(const Request &request);

// The tiles a KMZ of the request would have at its kmzReduction, counted
// without reading a pixel. Loads the module; throws the refusals of
// exportMap.
int kmzTiles(const Request &request);
// The first of kKmzReductions at which the request's KMZ fits in
// kMaxKmzTiles, or 0 when none does.
double fittingKmzReduction(const Request &request);

// Writes the request's file: to a temporary file beside the destination,
// renamed over it once complete. `progress` hears of it every few rows or
// tiles and may cancel, which throws Cancelled and leaves nothing behind.
// Throws, leaving the destination as it was and nothing else:
//   kNoPicture, kNotCalibrated, checkGrid's texts, noSystemText,
//   kOutsideMap, tooManyTilesText (KMZ), kBeyondMercator (MBTiles), noConversionText,
//   "Impossible de créer le fichier %1" (the destination's folder cannot
//   take the file, or the file is read-only), "Disque plein" (no room left,
//   or a file larger than the system allows), gdalFailureText, and the
//   module loader's text when the module is missing or of another version.
void exportMap(const Request &request, const Progress &progress = {});

} // namespace MapExport
