#include "exampleproject.h"
#include "exampleitineraries.h"
#include "examplerelief.h"
#include "examplewalk.h"

#include "data/appstate.h"
#include "data/filelayer.h"
#include "data/linelist.h"
#include "data/routefiles.h"
#include "data/settings.h"
#include "maps/jpegencoder.h"
#include "terrain/terrainchoice.h"

// The example project's files: what write() puts in its folder, and what the
// build made that is copied beside them. The catalogue and itineraries are
// made in exampleitineraries.cpp, the map in examplemap.cpp, from the terrain
// of examplerelief.cpp.
namespace ExampleProject {

namespace {

// The map and its calibration: three reference points near three corners,
// at pixels whose UTM positions are whole metres.
void writeCalibratedMap(const AppState &state)
{
    FileLayer::writeAtomic(state.project_file(kMapFileName),
                           encodeJpegImage(drawMap(), kDotsPerInch, 88));
    const QPoint refs[3] = {{120, 120}, {1800, 1320}, {120, 1320}};
    QStringList cal = {QString::number(kUtmZone), kUtmBand, kDatum};
    for (const QPoint &px : refs) {
        const QPointF utm = utmOf(px.x(), px.y());
        cal << QString::number(px.x()) << QString::number(qRound(utm.x()))
            << QString::number(px.y()) << QString::number(qRound(utm.y()));
    }
    LineList::write(state.project_file(kCalibrationFileName), cal);
}

// One route on the map, with its waypoints.
void writeRoute(const AppState &state)
{
    LineList::write(RouteFiles::routesPath(state), {kRouteName, kRouteCode});
    QStringList waypoints;
    int index = 0;
    for (const Spot *place : kRoute) {
        const UtmPoint utm = utmOfPlace(*place);
        RouteFiles::appendWaypoint(
            waypoints, kRouteCode + QStringLiteral("%1").arg(index++, 3, 10, QLatin1Char('0')),
            {QString::number(utm.easting), QString::number(utm.northing),
             QString::number(altitudeOfPlace(*place)), kMapFileName, QString::number(kUtmZone),
             kUtmBand, kDatum});
    }
    LineList::write(RouteFiles::waypointPath(state, kRouteCode), waypoints);
}

} // namespace

QString projectFolder(const QString &programDirectory)
{
    QString folder = programDirectory;
    if (!folder.endsWith(kPathSeparator))
        folder.append(kPathSeparator);
    return folder + kProjectName;
}

void addBuiltFiles(const QString &programDirectory, const QString &executableFolder)
{
    QStringList places{executableFolder + QStringLiteral("/example/") + kProjectName};
#ifdef QUOR_INSTALLED_DATA_DIR
    places << executableFolder + QLatin1Char('/') + QStringLiteral(QUOR_INSTALLED_DATA_DIR);
#endif
    const QString folder = projectFolder(programDirectory);
    for (const QString &name : {kTerrainFileName, kWalkFileName}) {
        for (const QString &place : places) {
            const QString source = place + QLatin1Char('/') + name;
            if (!FileLayer::fileExists(source))
                continue;
            const QString target = folder + QLatin1Char('/') + name;
            FileLayer::writeAtomic(target, FileLayer::readAll(source));
            if (name == kTerrainFileName)
                TerrainChoice::write(folder, target);
            break;
        }
    }
}

void write(const QString &programDirectory)
{
    AppState state;
    state.programDirectory = programDirectory;
    if (!state.programDirectory.endsWith(kPathSeparator))
        state.programDirectory.append(kPathSeparator);
    state.projectName = kProjectName;
    // A folder that is already there is fine; any other failure shows at the
    // first file written into it.
    FileLayer::makeDir(state.programDirectory + kProjectName);

    writeCatalogue(state);
    writeCalibratedMap(state);
    writeRoute(state);
}

void writeRecordedWalk(const QString &programDirectory)
{
    QList<QPointF> route;
    for (const Spot *place : kRoute) {
        const UtmPoint utm = utmOfPlace(*place);
        route << QPointF(utm.easting, utm.northing);
    }
    writeWalk(projectFolder(programDirectory) + QLatin1Char('/') + kWalkFileName, route,
              routeDay());
}

void remember(const QString &programDirectory)
{
    QString dir = programDirectory;
    if (!dir.endsWith(kPathSeparator))
        dir.append(kPathSeparator);
    write_settings(dir, kProjectName);
}

} // namespace ExampleProject
