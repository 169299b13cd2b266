#pragma once

#include <QString>
#include <QStringList>
#include <optional>

struct AppState;

// The project's routes file and a route's waypoint files: text files of
// lines, 2 lines per route (name, code) and 10 per waypoint.
namespace RouteFiles {

inline constexpr char kRoutesFileName[] = "Quorr.qud";
inline constexpr char kWaypointFilePrefix[] = "Quorr.";
constexpr int kLinesPerRoute = 2;
constexpr int kLinesPerWaypoint = 10;

// The lines of one waypoint record.
enum WaypointLine {
    Label = 0,
    Easting = 1,
    Northing = 2,
    Altitude = 3,
    MapName = 4,
    Zone = 5,
    Letter = 6,
    Datum = 7,
    LabelOffsetX = 8,
    LabelOffsetY = 9
};

QString routesPath(const AppState &state);
QString waypointPath(const AppState &state, const QString &routeCode);

// False when the file cannot be opened; `lines` is then empty.
bool readRoutes(const AppState &state, QStringList &lines);
bool readWaypoints(const AppState &state, const QString &routeCode, QStringList &lines);

// The route names: the first line of every complete pair.
QStringList routeNames(const QStringList &routeLines);

// Index of the first line equal to `key` without regard to case, or -1.
qsizetype findLine(const QStringList &lines, const QString &key);

// The code on the line after the first line equal to `name`; nothing when the
// name is not there or has no line after it.
std::optional<QString> routeCode(const QStringList &routeLines, const QString &name);

// Complete waypoint records only: a trailing part record is not a waypoint.
int waypointCount(const QStringList &waypointLines);
const QString &waypointField(const QStringList &waypointLines, int waypoint, WaypointLine line);

// The ten lines of one waypoint record, read by name.
class WaypointRecord
{
public:
    // The record starting at line `first` of a waypoint file. Fails with
    // "Indice de liste hors limites (%d)" when the ten lines are not all
    // there, so a record cut short is never read past its end.
    WaypointRecord(const QStringList &lines, qsizetype first);

    const QString &label() const { return line(Label); }
    const QString &easting() const { return line(Easting); }
    const QString &northing() const { return line(Northing); }
    const QString &altitude() const { return line(Altitude); }
    const QString &mapName() const { return line(MapName); }
    const QString &zone() const { return line(Zone); }
    const QString &letter() const { return line(Letter); }
    const QString &datum() const { return line(Datum); }
    const QString &labelOffsetX() const { return line(LabelOffsetX); }
    const QString &labelOffsetY() const { return line(LabelOffsetY); }

    qsizetype first() const { return m_first; }
    // The index in the file of one of the record's lines.
    qsizetype lineIndex(WaypointLine line) const { return m_first + line; }

private:
    const QString &line(WaypointLine line) const { return m_lines.at(m_first + line); }

    const QStringList &m_lines;
    qsizetype m_first;
};

// What a new waypoint is made of besides its label; its label offsets start
// at "0".
struct WaypointFields
{
    QString easting;
    QString northing;
    QString altitude;
    QString mapName;
    QString zone;
    QString letter;
    QString datum;
};
inline const QString kNoLabelOffset = QStringLiteral("0");
void appendWaypoint(QStringList &waypointLines, const QString &label,
                    const WaypointFields &waypoint);

} // namespace RouteFiles
