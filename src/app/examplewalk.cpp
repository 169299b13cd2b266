#include "examplewalk.h"

#include "exampleproject.h"
#include "gps/coordinates.h"

#include <QDateTime>
#include <QLineF>
#include <QLocale>
#include <QTime>
#include <QTimeZone>

#include <algorithm>
#include <cmath>
#include <random>

namespace ExampleProject {

namespace {

constexpr double kMsPerSecond = 1000;
constexpr double kSecondsPerHour = 3600;
constexpr double kSecondsPerMinute = 60;
// 08:30 in Paris, on summer time two hours ahead of UTC: written in UTC, so
// that the file is the same whatever zone the machine that makes it is in.
const QTime kDepartureUtc(7, 0);
// The walk is timed over steps this short, so that each one follows the
// slope of the terrain under it.
constexpr double kStepMetres = 0.5;
// Altitudes to the decimetre, as receivers write them.
constexpr double kDecimetresPerMetre = 10;

// A stop at a waypoint of the route, counted from the start at 0.
struct Pause
{
    int waypoint;
    int minutes;
};

// A look from the bridge, a rest in the wood, and lunch by the lake before
// the walker goes back the same way.
const Pause kPauses[] = {{1, 4}, {2, 20}, {3, 45}};

// The program's walking rule over one short step.
double stepSeconds(double metres, double height)
{
    const double vertical = height > 0 ? height / kWalkClimb : -height / kWalkDescent;
    return std::max(metres / kWalkFlat, vertical) * kSecondsPerHour;
}

double terrainAt(const QPointF &utm)
{
    return altitude(utm.x(), utm.y());
}

// The walker's phone: a point every kWalkStepSeconds of the walk's clock, at
// the position the walker has reached then.
class Recorder
{
public:
    Recorder(const Coordinates::Transformation &toWgs84, qint64 startMs, const QPointF &start)
        : m_toWgs84(toWgs84), m_startMs(startMs), m_at(start)
    {
        record(start);
    }

    // Straight on to `to`, step by step, each timed by the rule.
    void walkTo(const QPointF &to)
    {
        const QPointF from = m_at;
        const double length = QLineF(from, to).length();
        const int steps = std::max(1, int(std::ceil(length / kStepMetres)));
        for (int k = 1; k <= steps; ++k) {
            const QPointF a = from + (to - from) * (double(k - 1) / steps);
            const QPointF b = from + (to - from) * (double(k) / steps);
            const double seconds = stepSeconds(length / steps, terrainAt(b) - terrainAt(a));
            const double end = m_seconds + seconds;
            while (m_nextSample <= end)
                record(a + (b - a) * ((m_nextSample - m_seconds) / seconds));
            m_seconds = end;
        }
        m_at = to;
    }

    void stay(double seconds)
    {
        const double end = m_seconds + seconds;
        while (m_nextSample <= end)
            record(m_at);
        m_seconds = end;
    }

    const GpxPath &path() const { return m_path; }

private:
    void record(const QPointF &utm)
    {
        const Coordinates::LatLon position = m_toWgs84.toWgs84({utm.x(), utm.y()});
        GpxPoint p;
        p.latitude = position.latitude;
        p.longitude = position.longitude;
        p.elevation =
            std::round((terrainAt(utm) + noise()) * kDecimetresPerMetre) / kDecimetresPerMetre;
        p.time = QDateTime::fromMSecsSinceEpoch(
            m_startMs + qint64(std::llround(m_nextSample * kMsPerSecond)), QTimeZone::utc());
        m_path.points.append(p);
        m_nextSample += kWalkStepSeconds;
    }

    // The same jitter at every build: a fixed sequence, uniform within
    // ±kWalkAltitudeNoise.
    double noise()
    {
        const double unit = double(m_random() - std::minstd_rand::min()) /
                            double(std::minstd_rand::max() - std::minstd_rand::min());
        return (2 * unit - 1) * kWalkAltitudeNoise;
    }

    const Coordinates::Transformation &m_toWgs84;
    qint64 m_startMs;
    QPointF m_at;
    double m_seconds = 0;    // of walking and standing since the start
    double m_nextSample = 0; // the time of the next point, in the same seconds
    std::minstd_rand m_random;
    GpxPath m_path;
};

} // namespace

QString walkName(const QDate &date)
{
    return QStringLiteral("%1, %2").arg(
        kRouteName,
        QLocale(QLocale::French, QLocale::France).toString(date, QStringLiteral("d MMMM")));
}

GpxDocument recordedWalk(const QList<QPointF> &route, const QDate &date)
{
    GpxDocument document;
    if (route.isEmpty())
        return document;
    // One transformation for the whole map, as the map window converts its
    // points: the track never jumps between two neighbourhoods' operations.
    const Coordinates::Grid grid{kUtmZone, kUtmBand.front(), kDatum};
    const QPointF northWest = utmOf(0, 0);
    const QPointF southEast = utmOf(kMapWidth, kMapHeight);
    const Coordinates::Transformation toWgs84(
        grid, Coordinates::areaOfExtent(grid, {northWest.x(), northWest.y()},
                                        {southEast.x(), southEast.y()}));

    Recorder recorder(toWgs84, QDateTime(date, kDepartureUtc, QTimeZone::utc()).toMSecsSinceEpoch(),
                      route.first());
    for (int i = 1; i < route.size(); ++i) {
        recorder.walkTo(route.at(i));
        for (const Pause &pause : kPauses) {
            if (pause.waypoint == i)
                recorder.stay(pause.minutes * kSecondsPerMinute);
        }
    }
    // Back the same way without stopping: the descents a learning needs.
    for (qsizetype i = route.size() - 2; i >= 0; --i)
        recorder.walkTo(route.at(i));
    GpxPath track = recorder.path();
    track.name = walkName(date);
    document.tracks.append(track);
    return document;
}

void writeWalk(const QString &path, const QList<QPointF> &route, const QDate &date)
{
    Gpx::write(path, recordedWalk(route, date));
}

} // namespace ExampleProject
