#include "trackcomparison.h"

#include "data/itinerary.h"
#include "data/quorerror.h"
#include "data/stringgrid.h"
#include "data/textforms.h"
#include "gps/gpxexport.h"

#include <QSet>

#include <cmath>

namespace TrackComparisons {

namespace {

constexpr double kSecondsPerDay = 86400;
constexpr double kMsPerSecond = 1000;
constexpr double kSecondsPerMinute = 60;
// Degrees of latitude are never shorter than this many metres, nor degrees
// of longitude at latitude φ shorter than this times cos φ: the box that
// holds every point within a distance, before the geodesic decides.
constexpr double kShortestDegreeMetres = 110500;
constexpr double kFullTurn = 360;

const QString kNoStagePosition =
    QStringLiteral("Aucune étape de l'itinéraire n'a de position : il n'y a rien à comparer.");
const QString kNone = QStringLiteral("—");

double metresBetween(double lat1, double lon1, double lat2, double lon2)
{
    return Coordinates::geodesicLengths({{lat1, lon1}, {lat2, lon2}}).front();
}

// Whether a point may lie within `metres` of `at`: a cheap test that never
// leaves out a point the geodesic would keep.
class NearBox
{
public:
    NearBox(const Coordinates::LatLon &at, double metres) : m_at(at)
    {
        m_latitude = metres / kShortestDegreeMetres;
        const double widest = std::min(90.0, std::abs(at.latitude) + m_latitude);
        const double c = std::cos(widest * M_PI / 180);
        m_longitude = c > 1e-9 ? metres / (kShortestDegreeMetres * c) : kFullTurn;
    }

    bool mayHold(const WalkPoint &p) const
    {
        if (std::abs(p.latitude - m_at.latitude) > m_latitude)
            return false;
        double d = std::fmod(std::abs(p.longitude - m_at.longitude), kFullTurn);
        d = std::min(d, kFullTurn - d);
        return d <= m_longitude;
    }

private:
    Coordinates::LatLon m_at;
    double m_latitude = 0;
    double m_longitude = 0;
};

struct Pass
{
    int nearest = -1;
    int leaves = 0; // the first point after it out of reach again
    qint64 ms = 0;
    double metres = 0;
};

// Where on the segment a..b the walk came closest to `at`, as a fraction,
// in a plane tangent at `at`: the segment is a few metres long.
double closestFraction(const WalkPoint &a, const WalkPoint &b, const Coordinates::LatLon &at)
{
    const double c = std::cos(at.latitude * M_PI / 180);
    double dLonA = a.longitude - at.longitude;
    double dLonB = b.longitude - at.longitude;
    dLonA -= kFullTurn * std::round(dLonA / kFullTurn);
    dLonB -= kFullTurn * std::round(dLonB / kFullTurn);
    const double ax = dLonA * c;
    const double ay = a.latitude - at.latitude;
    const double bx = dLonB * c;
    const double by = b.latitude - at.latitude;
    const double dx = bx - ax;
    const double dy = by - ay;
    const double length = dx * dx + dy * dy;
    if (length <= 0)
        return 0;
    return std::clamp(-(ax * dx + ay * dy) / length, 0.0, 1.0);
}

// The first time from point `from` on that the walk comes within `near` of
// `at`, and the moment of that approach when it came nearest.
std::optional<Pass> passOf(const RecordedWalk &walk, int from, const Coordinates::LatLon &at,
                           double near)
{
    const std::vector<WalkPoint> &points = walk.points;
    const NearBox box(at, near);
    std::optional<Pass> best;
    for (int k = from; k < int(points.size()); ++k) {
        const WalkPoint &p = points[k];
        const double metres =
            box.mayHold(p) ? metresBetween(p.latitude, p.longitude, at.latitude, at.longitude)
                           : near + 1;
        if (metres > near) {
            if (best) {
                best->leaves = k;
                break;
            }
            continue;
        }
        if (!best || metres < best->metres)
            best = Pass{k, int(points.size()), p.ms, metres};
    }
    if (!best)
        return std::nullopt;
    // Where the walker stopped at the stage, it was reached when the stop
    // began: an itinerary's time is the time of arrival.
    for (const WalkStop &stop : walk.stops) {
        if (stop.first <= best->nearest && best->nearest <= stop.last) {
            best->ms = stop.startMs;
            return best;
        }
    }
    // Between the points either side of the nearest one.
    for (const int k : {best->nearest - 1, best->nearest}) {
        if (k < 0 || k + 1 >= int(points.size()))
            continue;
        const WalkPoint &a = points[k];
        const WalkPoint &b = points[k + 1];
        const double f = closestFraction(a, b, at);
        const double lat = a.latitude + f * (b.latitude - a.latitude);
        double dLon = b.longitude - a.longitude;
        dLon -= kFullTurn * std::round(dLon / kFullTurn);
        const double lon = a.longitude + f * dLon;
        const double metres = metresBetween(lat, lon, at.latitude, at.longitude);
        if (metres < best->metres) {
            best->metres = metres;
            best->ms = a.ms + qint64(std::llround(f * double(b.ms - a.ms)));
        }
    }
    return best;
}

std::optional<double> plannedSeconds(const QString &from, const QString &to)
{
    if (from.trimmed().isEmpty() || to.trimmed().isEmpty())
        return std::nullopt;
    double days = parse_time_of_day(to) - parse_time_of_day(from);
    // A leg past midnight.
    if (days < 0)
        days += 1;
    return std::round(days * kSecondsPerDay);
}

QString minutesText(double seconds)
{
    return QString::number(seconds / kSecondsPerMinute, 'f', 1)
        .replace(QLatin1Char('.'), QLatin1Char(','));
}

// A text cell of the CSV: quoted when it holds a separator, a quote or a
// line end; a place beginning like a formula gets an apostrophe first, so
// that a spreadsheet shows it rather than runs it.
QString csvCell(QString text)
{
    static const QString formulaStarts = QStringLiteral("=+-@");
    if (!text.isEmpty() && formulaStarts.contains(text.front()))
        text.prepend(QLatin1Char('\''));
    if (!text.contains(QLatin1Char(';')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

const ComparedLeg *legTo(const TrackComparison &comparison, int row)
{
    for (const ComparedLeg &leg : comparison.legs) {
        if (leg.to == row)
            return &leg;
    }
    return nullptr;
}

} // namespace

std::optional<QString> projectDatum(const QHash<QString, QString> &stageDatums)
{
    QSet<QString> datums;
    for (const QString &d : stageDatums)
        datums.insert(d.trimmed().toUpper());
    if (datums.size() != 1)
        return std::nullopt;
    return *datums.begin();
}

QHash<int, Coordinates::LatLon> stagePositions(const StringGrid &stages,
                                               const QHash<QString, QString> &stageDatums,
                                               const QString &datum)
{
    QHash<int, Coordinates::LatLon> out;
    for (int row = 1; row <= Itinerary::kStages; ++row) {
        const QString &place = stages.cell(Itinerary::Place, row);
        const std::optional<GpxExport::StagePosition> at = GpxExport::stagePosition(
            place, stages.cell(Itinerary::Position, row), stageDatums, datum);
        if (at)
            out.insert(row, GpxExport::stageToWgs84(row, place, *at));
    }
    return out;
}

TrackComparison compare(const StringGrid &stages, const QString &title,
                        const QHash<int, Coordinates::LatLon> &positions, const RecordedWalk &walk,
                        double nearMetres)
{
    if (positions.isEmpty())
        throw QuorError(kNoStagePosition);
    TrackComparison out;
    out.itinerary = title;
    out.walk = walk.name;
    out.nearMetres = nearMetres;
    // The next stage is looked for once the walk has left the last one
    // passed, unless it stands within reach of it and follows it directly:
    // the way back of an out-and-back passes its stages again.
    int from = 0;
    int leaves = 0;
    std::optional<Coordinates::LatLon> last;
    for (int row = 1; row <= Itinerary::kStages; ++row) {
        StagePass stage;
        stage.row = row;
        stage.place = stages.cell(Itinerary::Place, row);
        stage.plannedTime = stages.cell(Itinerary::Time, row);
        stage.hasPosition = positions.contains(row);
        if (stage.place.trimmed().isEmpty() && !stage.hasPosition)
            continue;
        if (stage.hasPosition) {
            const Coordinates::LatLon at = positions.value(row);
            const bool sameReach = last && metresBetween(last->latitude, last->longitude,
                                                         at.latitude, at.longitude) <= nearMetres;
            if (const std::optional<Pass> pass =
                    passOf(walk, sameReach ? from : leaves, at, nearMetres)) {
                stage.passedMs = pass->ms;
                stage.offMetres = pass->metres;
                from = pass->nearest;
                leaves = pass->leaves;
                last = at;
            } else {
                // The stage after one the walk missed is not the same pass.
                last.reset();
            }
        }
        out.stages.append(stage);
    }
    const StagePass *previous = nullptr;
    for (const StagePass &stage : std::as_const(out.stages)) {
        if (!stage.passedMs)
            continue;
        if (previous) {
            ComparedLeg leg;
            leg.from = previous->row;
            leg.to = stage.row;
            leg.plannedSeconds = plannedSeconds(previous->plannedTime, stage.plannedTime);
            leg.walkedSeconds = double(*stage.passedMs - *previous->passedMs) / kMsPerSecond;
            for (const WalkStop &stop : walk.stops) {
                const qint64 start = std::max(stop.startMs, *previous->passedMs);
                const qint64 end = std::min(stop.endMs, *stage.passedMs);
                if (end > start) {
                    ++leg.stops;
                    leg.stopSeconds += double(end - start) / kMsPerSecond;
                }
            }
            out.legs.append(leg);
        }
        previous = &stage;
    }
    return out;
}

QStringList columnTitles()
{
    return {QStringLiteral("Étape"),        QStringLiteral("Lieu"),
            QStringLiteral("Heure prévue"), QStringLiteral("Heure de passage"),
            QStringLiteral("Écart (m)"),    QStringLiteral("Durée prévue"),
            QStringLiteral("Durée réelle"), QStringLiteral("Différence"),
            QStringLiteral("Arrêts")};
}

QList<QStringList> rows(const TrackComparison &comparison, const QTimeZone &zone)
{
    QList<QStringList> out;
    for (const StagePass &stage : comparison.stages) {
        QStringList cells{QString::number(stage.row), stage.place, stage.plannedTime};
        if (stage.passedMs) {
            cells << RecordedWalks::localTimeText(*stage.passedMs, zone)
                  << QString::number(qRound64(stage.offMetres));
        } else {
            cells << (stage.hasPosition ? QStringLiteral("non passée")
                                        : QStringLiteral("sans position"))
                  << QString();
        }
        const ComparedLeg *leg = legTo(comparison, stage.row);
        if (leg) {
            cells << (leg->plannedSeconds ? RecordedWalks::durationText(*leg->plannedSeconds)
                                          : kNone)
                  << RecordedWalks::durationText(*leg->walkedSeconds)
                  << (leg->plannedSeconds
                          ? RecordedWalks::durationText(*leg->walkedSeconds - *leg->plannedSeconds)
                          : kNone)
                  << (leg->stops > 0 ? QStringLiteral("%1 (%2)")
                                           .arg(leg->stops)
                                           .arg(RecordedWalks::durationText(leg->stopSeconds))
                                     : QString());
        } else {
            cells << QString() << QString() << QString() << QString();
        }
        out.append(cells);
    }
    return out;
}

QByteArray csv(const TrackComparison &comparison, const QTimeZone &zone)
{
    const QStringList titles{QStringLiteral("Étape"),
                             QStringLiteral("Lieu"),
                             QStringLiteral("Heure prévue"),
                             QStringLiteral("Heure de passage"),
                             QStringLiteral("Écart au point (m)"),
                             QStringLiteral("Durée prévue (min)"),
                             QStringLiteral("Durée réelle (min)"),
                             QStringLiteral("Différence (min)"),
                             QStringLiteral("Arrêts"),
                             QStringLiteral("Durée des arrêts (min)")};
    QString text = titles.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    for (const StagePass &stage : comparison.stages) {
        QStringList cells{QString::number(stage.row), csvCell(stage.place),
                          csvCell(stage.plannedTime)};
        if (stage.passedMs)
            cells << RecordedWalks::localTimeText(*stage.passedMs, zone)
                  << QString::number(qRound64(stage.offMetres));
        else
            cells << QString() << QString();
        const ComparedLeg *leg = legTo(comparison, stage.row);
        if (leg) {
            cells << (leg->plannedSeconds ? minutesText(*leg->plannedSeconds) : QString())
                  << minutesText(*leg->walkedSeconds)
                  << (leg->plannedSeconds ? minutesText(*leg->walkedSeconds - *leg->plannedSeconds)
                                          : QString())
                  << QString::number(leg->stops) << minutesText(leg->stopSeconds);
        } else {
            cells << QString() << QString() << QString() << QString() << QString();
        }
        text += cells.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    }
    // The mark by which spreadsheets know UTF-8 from their own code page.
    return QByteArrayLiteral("\xEF\xBB\xBF") + text.toUtf8();
}

} // namespace TrackComparisons
