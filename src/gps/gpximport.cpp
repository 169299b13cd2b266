#include "gpximport.h"

#include "coordinates.h"
#include "data/quorerror.h"

#include <cmath>
#include <limits>
#include <utility>

namespace GpxImport {

namespace {

const QString kNothingToImport = QStringLiteral(
    "Le fichier GPX ne contient ni route, ni trace, ni point : il n'y a rien à importer.");
// Each try past the first widens the tolerance by a quarter.
constexpr double kToleranceGrowth = 1.25;

QString countedName(const QString &name, int points)
{
    const QString count =
        points == 1 ? QStringLiteral("1 point") : QStringLiteral("%1 points").arg(points);
    return name.isEmpty() ? count : QStringLiteral("%1 (%2)").arg(name, count);
}

double distanceToSegment(const QPointF &p, const QPointF &a, const QPointF &b)
{
    const QPointF ab = b - a;
    const double length2 = QPointF::dotProduct(ab, ab);
    double t = length2 > 0 ? QPointF::dotProduct(p - a, ab) / length2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const QPointF d = p - (a + t * ab);
    return std::hypot(d.x(), d.y());
}

// The points of the chosen path as the file has them.
const QList<GpxPoint> &chosenPoints(const GpxDocument &document, const GpxChoice &choice,
                                    QString &name)
{
    switch (choice.kind) {
    case GpxChoice::Route:
        name = document.routes.at(choice.index).name;
        return document.routes.at(choice.index).points;
    case GpxChoice::Track:
        name = document.tracks.at(choice.index).name;
        return document.tracks.at(choice.index).points;
    case GpxChoice::Waypoints:
        break;
    }
    name = document.name;
    return document.waypoints;
}

bool fitsInt32(double v)
{
    return std::abs(v) < double(std::numeric_limits<qint32>::max());
}

} // namespace

const QString kNothingOnMapText = QStringLiteral(
    "Aucun point du fichier GPX ne tombe sur la carte : aucune route n'est ajoutée.");

QString outsideText(int count)
{
    if (count == 1)
        return QStringLiteral("1 point hors de la carte a été laissé de côté.");
    return QStringLiteral("%1 points hors de la carte ont été laissés de côté.").arg(count);
}

QList<GpxChoice> choices(const GpxDocument &document)
{
    QList<GpxChoice> list;
    for (int i = 0; i < document.routes.size(); ++i) {
        const GpxPath &r = document.routes.at(i);
        if (!r.points.isEmpty())
            list.append({GpxChoice::Route, i,
                         QStringLiteral("Route ") + countedName(r.name, int(r.points.size()))});
    }
    for (int i = 0; i < document.tracks.size(); ++i) {
        const GpxPath &t = document.tracks.at(i);
        if (!t.points.isEmpty())
            list.append({GpxChoice::Track, i,
                         QStringLiteral("Trace ") + countedName(t.name, int(t.points.size()))});
    }
    if (list.isEmpty() && !document.waypoints.isEmpty())
        list.append({GpxChoice::Waypoints, 0,
                     QStringLiteral("Points ") +
                         countedName(document.name, int(document.waypoints.size()))});
    if (list.isEmpty())
        throw QuorError(kNothingToImport);
    return list;
}

std::vector<qsizetype> douglasPeucker(const QList<QPointF> &points, double tolerance)
{
    const qsizetype n = points.size();
    if (n <= 2) {
        std::vector<qsizetype> all;
        for (qsizetype i = 0; i < n; ++i)
            all.push_back(i);
        return all;
    }
    std::vector<char> keep(size_t(n), 0);
    keep.front() = keep.back() = 1;
    // An explicit stack: a track of a million points must not recurse a
    // million deep.
    std::vector<std::pair<qsizetype, qsizetype>> pending{{0, n - 1}};
    while (!pending.empty()) {
        const auto [a, b] = pending.back();
        pending.pop_back();
        double farthest = -1;
        qsizetype at = -1;
        for (qsizetype i = a + 1; i < b; ++i) {
            const double d = distanceToSegment(points.at(i), points.at(a), points.at(b));
            if (d > farthest) {
                farthest = d;
                at = i;
            }
        }
        if (at >= 0 && farthest > tolerance) {
            keep[size_t(at)] = 1;
            pending.push_back({a, at});
            pending.push_back({at, b});
        }
    }
    std::vector<qsizetype> kept;
    for (qsizetype i = 0; i < n; ++i) {
        if (keep[size_t(i)])
            kept.push_back(i);
    }
    return kept;
}

GpxImportResult importChoice(const GpxDocument &document, const GpxChoice &choice,
                             const MapFrame &frame)
{
    const Coordinates::Grid grid{frame.zone, frame.letter, frame.datum};
    Coordinates::checkGrid(grid);
    GpxImportResult result;
    const QList<GpxPoint> &source = chosenPoints(document, choice, result.name);

    QList<ImportedPoint> placed;
    for (const GpxPoint &g : source) {
        Coordinates::GridPoint utm;
        try {
            utm = Coordinates::fromWgs84(grid, {g.latitude, g.longitude});
        } catch (const QuorError &) {
            ++result.outside; // beyond the reach of the map's zone
            continue;
        }
        if (!fitsInt32(utm.easting) || !fitsInt32(utm.northing)) {
            ++result.outside;
            continue;
        }
        ImportedPoint p;
        p.name = g.name;
        p.easting = qint32(roundHalfEven(utm.easting));
        p.northing = qint32(roundHalfEven(utm.northing));
        p.pixel = UtmToPixel(frame.transform, p.easting, p.northing);
        if (p.pixel.x() < 0 || p.pixel.y() < 0 || p.pixel.x() >= frame.width ||
            p.pixel.y() >= frame.height) {
            ++result.outside;
            continue;
        }
        if (g.elevation)
            p.altitude = QString::number(roundHalfEven(*g.elevation));
        placed.append(p);
    }

    const bool simplify = choice.kind == GpxChoice::Track || placed.size() > kMaxWaypoints;
    if (simplify && placed.size() > 2) {
        QList<QPointF> pixels;
        pixels.reserve(placed.size());
        for (const ImportedPoint &p : placed)
            pixels.append(QPointF(p.pixel));
        double tolerance = kTolerancePixels;
        std::vector<qsizetype> kept = douglasPeucker(pixels, tolerance);
        while (qsizetype(kept.size()) > kMaxWaypoints) {
            tolerance *= kToleranceGrowth;
            kept = douglasPeucker(pixels, tolerance);
        }
        QList<ImportedPoint> simplified;
        simplified.reserve(qsizetype(kept.size()));
        for (qsizetype i : kept)
            simplified.append(placed.at(i));
        result.simplified = int(placed.size() - simplified.size());
        placed = std::move(simplified);
    }
    result.points = std::move(placed);
    return result;
}

} // namespace GpxImport
