#include "exampleitineraries.h"
#include "examplerelief.h"

#include "data/appstate.h"
#include "data/catalogue.h"
#include "data/itinerary.h"
#include "data/stringgrid.h"
#include "data/textforms.h"
#include "editor/stagetimes.h"
#include "gps/routegeometry.h"

#include <QDate>

#include <cmath>

// The example's catalogue and its itineraries, made of the terrain's places.
namespace ExampleProject {

namespace {

QString positionText(const Spot &p)
{
    const UtmPoint utm = utmOfPlace(p);
    return QStringLiteral("31T %1 %2").arg(utm.easting).arg(utm.northing);
}

// A stage of a hand-made itinerary: a place of the map (or a place off the
// map with its altitude), the means of the leg leaving it and, for legs that
// are not on the map, their distance.
struct Stage
{
    QString name;
    QString means;
    const Spot *place = nullptr; // on the map: position, altitude, leg from positions
    qint32 altitude = 0;         // off the map
    qint32 distance = 0;         // legs that leave the map, in km or m
};

// Walking legs on the map are measured as the crow flies, then lengthened
// for the bends of the path and kept to ten metres.
constexpr double kPathBends = 1.2;
constexpr int kWalkRounding = 10;

qint32 walkingDistance(const Spot &from, const Spot &to)
{
    const UtmPoint a = utmOfPlace(from);
    const UtmPoint b = utmOfPlace(to);
    const double metres =
        RouteGeometry::legLength(a.easting, a.northing, b.easting, b.northing) * kPathBends;
    return qint32(std::lround(metres / kWalkRounding) * kWalkRounding);
}

void fillStages(StringGrid &grid, const QList<Stage> &stages)
{
    using namespace Itinerary;
    for (int r = 1; r < grid.rowCount(); ++r)
        grid.clearRow(r);
    for (int i = 0; i < stages.size(); ++i) {
        const Stage &s = stages[i];
        const int row = i + 1;
        grid.setCell(Itinerary::Place, row, s.name);
        grid.setCell(Means, row, s.means);
        if (s.place) {
            grid.setCell(Position, row, positionText(*s.place));
            grid.setCell(Altitude, row, integer_text(altitudeOfPlace(*s.place)));
        } else if (s.altitude != 0) {
            grid.setCell(Altitude, row, integer_text(s.altitude));
        }
        const Stage *next = i + 1 < stages.size() ? &stages[i + 1] : nullptr;
        if (s.distance != 0) {
            grid.setCell(Distance, row, integer_text(s.distance));
        } else if (next && s.place && next->place && s.place != next->place &&
                   s.means.startsWith(QLatin1Char('M'))) {
            grid.setCell(Distance, row, integer_text(walkingDistance(*s.place, *next->place)));
        }
        if (next && s.place && next->place && s.place != next->place) {
            const UtmPoint a = utmOfPlace(*s.place);
            const UtmPoint b = utmOfPlace(*next->place);
            grid.setCell(Orientation, row,
                         integer_text(RouteGeometry::legBearing(a.easting, a.northing, b.easting,
                                                                b.northing)));
        }
    }
}

Stage walk(const Spot &p)
{
    return {QString::fromUtf8(p.name), QStringLiteral("MP"), &p};
}

Stage stop(const Spot &p, const char *means)
{
    return {QString::fromUtf8(p.name), QString::fromLatin1(means), &p};
}

Stage ride(const Spot &p, const char *means, qint32 km)
{
    return {QString::fromUtf8(p.name), QString::fromLatin1(means), &p, 0, km};
}

Stage offMap(const char *name, const char *means, qint32 altitude, qint32 km)
{
    return {QString::fromUtf8(name), QString::fromLatin1(means), nullptr, altitude, km};
}

Stage arrival(const Spot &p)
{
    return {QString::fromUtf8(p.name), QString(), &p};
}

// A walk on the map with climbs, descents and stops.
QList<Stage> walkStages()
{
    return {walk(kParking),   walk(kBridge), walk(kWood),       stop(kLake, "PA"),
            walk(kLake),      walk(kCol),    stop(kPeak, "PR"), walk(kPeak),
            stop(kHut, "PC"), walk(kHut),    walk(kBridge),     arrival(kParking)};
}

// A day that drives to the valley, cycles up the forest track and walks on.
QList<Stage> mixedStages()
{
    return {offMap("Saint-Martin-du-Plan", "VA", 180, 64),
            offMap("Sortie 7", "VD", 350, 18),
            offMap("Pont de l'Ourse", "TD", 640, 11),
            ride(kParking, "OM", 4),
            walk(kWood),
            stop(kLake, "PR"),
            walk(kLake),
            ride(kWood, "OD", 4),
            ride(kParking, "TD", 11),
            offMap("Pont de l'Ourse", "VD", 640, 18),
            offMap("Sortie 7", "VA", 350, 64),
            offMap("Saint-Martin-du-Plan", "", 180, 0)};
}

struct CatalogueRow
{
    const char *code;
    const char *title;
    QDate date;
    const char *departure;
};

const CatalogueRow kWalkRow = {"PIC", "Boucle du Pic du Vallon", QDate(2025, 7, 12), "08:30"};
const CatalogueRow kMixedRow = {"LACS", "Auto, vélo et marche au Lac de la Font", QDate(2025, 8, 2),
                                "07:45"};
const CatalogueRow kRouteRow = {"SENTIER", "Sentier du lac (route à insérer)", QDate(2025, 9, 6),
                                "09:00"};

void setCatalogueRow(StringGrid &catalogue, int row, const CatalogueRow &c)
{
    catalogue.setCell(Catalogue::Code, row, QString::fromUtf8(c.code));
    catalogue.setCell(Catalogue::Title, row, QString::fromUtf8(c.title));
    catalogue.setCell(Catalogue::Date, row, date_text(dateToDays(c.date)));
    catalogue.setCell(Catalogue::Departure, row, QString::fromLatin1(c.departure));
}

void writeItinerary(AppState &state, StringGrid &catalogue, int row, const QList<Stage> &stages)
{
    StringGrid grid(Itinerary::kColumns, Itinerary::kGridRows);
    load_itinerary(state, grid, row);
    fillStages(grid, stages);
    if (!stages.isEmpty())
        compute_stage_times(grid, catalogue, row, state.speedTable);
    save_itinerary(state, grid, row);
}

} // namespace

void writeCatalogue(AppState &state)
{
    StringGrid catalogue(Catalogue::kColumns, Catalogue::kRows);
    load_catalogue(state, catalogue);
    catalogue.clearAll();
    setCatalogueRow(catalogue, 0, kWalkRow);
    setCatalogueRow(catalogue, 1, kMixedRow);
    setCatalogueRow(catalogue, 2, kRouteRow);
    writeItinerary(state, catalogue, 0, walkStages());
    writeItinerary(state, catalogue, 1, mixedStages());
    writeItinerary(state, catalogue, 2, {});
    save_catalogue(state, catalogue);
}

QDate routeDay()
{
    return kRouteRow.date;
}

} // namespace ExampleProject
