#pragma once

#include "gps/coordinates.h"
#include "recordedwalk.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QTimeZone>
#include <optional>

class StringGrid;

// The open itinerary against a walk recorded on its day: when the walker
// passed each stage, and how long each leg took against what was planned.
// Nothing of it is written into the itinerary or its files.
struct StagePass
{
    int row = 0; // of the stage grid, 1 to 50
    QString place;
    QString plannedTime;            // the grid's "Heure", as it stands
    bool hasPosition = false;       // its "Position" reads as a UTM position
    std::optional<qint64> passedMs; // UTC; none when the walk never came near
    double offMetres = 0;           // from the stage when the walk passed it
};

struct ComparedLeg
{
    int from = 0; // rows of the stage grid
    int to = 0;
    std::optional<double> plannedSeconds; // from the two stages' planned times
    std::optional<double> walkedSeconds;  // between the two passes
    int stops = 0;                        // stops made on it
    double stopSeconds = 0;
};

struct TrackComparison
{
    QString itinerary; // the catalogue row's title
    QString walk;      // the walk's name
    double nearMetres = 0;
    QList<StagePass> stages; // every stage with a place or a position, in order
    QList<ComparedLeg> legs; // between consecutive stages that were both passed
};

namespace TrackComparisons {

// A stage is passed where the walk comes within this distance of it.
constexpr double kNearMetres = 100;

// The datum the project's waypoints agree on (they carry the datum of the
// calibrated map they were placed on); none when they have none or differ.
std::optional<QString> projectDatum(const QHash<QString, QString> &stageDatums);

// The WGS84 position of every stage whose "Position" reads as zone, band,
// easting and northing, by row. A stage inserted from a route takes the
// datum of its waypoint, every other `datum`. Throws the French message of
// a stage that cannot be converted, naming it.
QHash<int, Coordinates::LatLon> stagePositions(const StringGrid &stages,
                                               const QHash<QString, QString> &stageDatums,
                                               const QString &datum);

// For each stage with a position, in the order of the stages, the moment the
// walk passed nearest to it within `nearMetres`, looking on from where it
// passed the stage before: a loop or an out-and-back passes each stage in
// turn, and a turning stage once. Throws when no stage has a position.
TrackComparison compare(const StringGrid &stages, const QString &title,
                        const QHash<int, Coordinates::LatLon> &positions, const RecordedWalk &walk,
                        double nearMetres = kNearMetres);

// The table as a spreadsheet reads it: UTF-8, semicolons, decimal commas,
// times of the clock in `zone`, one line a stage.
QByteArray csv(const TrackComparison &comparison, const QTimeZone &zone);
// The same table's column titles and cells, as the window and the printout
// show them.
QStringList columnTitles();
QList<QStringList> rows(const TrackComparison &comparison, const QTimeZone &zone);

} // namespace TrackComparisons
