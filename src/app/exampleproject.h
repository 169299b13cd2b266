#pragma once

#include <QImage>
#include <QString>

// The example project "Exemple": something to look at and try before the
// user's own first project exists. A catalogue of three itineraries (a walk
// with climbs, descents and stops; a day mixing car, bicycle and walking; an
// empty one waiting for a route), a scanned map drawn here from an invented
// terrain with its calibration, and a route of waypoints on that map.
namespace ExampleProject {

inline const QString kProjectName = QStringLiteral("Exemple");
inline const QString kMapFileName = QStringLiteral("Vallon.jpg");
inline const QString kCalibrationFileName = QStringLiteral("Vallon.Cal");
inline const QString kRouteName = QStringLiteral("Sentier du lac");
inline const QString kRouteCode = QStringLiteral("AA");

// The scan's resolution, written in the map's JFIF header.
constexpr quint16 kDotsPerInch = 300;
// The map's size in pixels: 1:25 000 at 300 dots per inch, about 4 by 3 km.
constexpr int kMapWidth = 1920;
constexpr int kMapHeight = 1440;
// The map's UTM grid, as its calibration gives it.
constexpr int kUtmZone = 31;
inline const QString kUtmBand = QStringLiteral("T");
inline const QString kDatum = QStringLiteral("ED50");
// UTM position of the map's top-left pixel.
constexpr int kWestEasting = 499700;
constexpr int kNorthNorthing = 4763300;
// At 1:25 000 and 300 dots per inch, 60 pixels are exactly 127 metres.
constexpr int kPixelsPerStep = 60;
constexpr int kMetresPerStep = 127;

// Writes the project folder `programDirectory` + "Exemple/": catalogue,
// itineraries, map, calibration, routes and waypoints, and a walk recorded
// along the route (examplewalk.h), which loads the geodesy module. Files of
// the same names are replaced; nothing else in the folder is touched. Throws
// the file layer's and the module's errors.
void write(const QString &programDirectory);

// The example's elevation model, "Terrain.tif", and its recorded walk (see
// examplewalk.h), which the build makes (the one with GDAL, the other with the
// geodesy module: a program never loads either at start-up): copied into the
// example from where the build or the installation beside `executableFolder`
// put them, the model chosen as the project's. A file in neither place is
// left out.
inline const QString kTerrainFileName = QStringLiteral("Terrain.tif");
void addBuiltFiles(const QString &programDirectory, const QString &executableFolder);

// Writes the recorded walk into the example project of `programDirectory`;
// loads the geodesy module.
void writeRecordedWalk(const QString &programDirectory);

// `programDirectory` + "Exemple", without trailing separator.
QString projectFolder(const QString &programDirectory);

// Remembers the example as the project to open at the next start.
void remember(const QString &programDirectory);

// The map, drawn from the terrain: contour lines every 10 m, a kilometre
// grid, water, roads, paths and names.
QImage drawMap();

// The terrain's altitude in metres at a UTM position of the map.
double altitude(double easting, double northing);

// Map pixel of a UTM position, and back.
QPointF pixelOf(double easting, double northing);
QPointF utmOf(double x, double y);

} // namespace ExampleProject
