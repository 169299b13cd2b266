#include "gpximport.h"

#include "coordinates.h"
#include "data/importgate.h"
#include "data/quorerror.h"

#include <QRectF>
#include <QStringList>

#include <cmath>
#include <limits>
#include <optional>
#include <queue>
#include <utility>

namespace GpxImport {

namespace {

const QString kNothingToImport = QStringLiteral(
    "Le fichier GPX ne contient ni route, ni trace, ni point : il n'y a rien à importer.");
constexpr double kMetresPerKilometre = 1000.0;
constexpr double kShortestKilometres = 100.0;

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

QString outsideText(int count, double metres)
{
    QString text =
        count == 1
            ? QStringLiteral("1 point hors de la carte a été laissé de côté")
            : QStringLiteral("%1 points hors de la carte ont été laissés de côté").arg(count);
    // Tenths of a kilometre with the decimal comma; a short piece in metres.
    if (metres >= kShortestKilometres)
        text += QStringLiteral(", avec %1 km du tracé")
                    .arg(QString::number(metres / kMetresPerKilometre, 'f', 1)
                             .replace(QLatin1Char('.'), QLatin1Char(',')));
    else if (metres >= 0.5)
        text += QStringLiteral(", avec %1 m du tracé").arg(qRound(metres));
    return text + QLatin1Char('.');
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

std::vector<qsizetype> douglasPeucker(const QList<QPointF> &points, double tolerance,
                                      qsizetype limit)
{
    const qsizetype n = points.size();
    if (n <= 2) {
        std::vector<qsizetype> all;
        for (qsizetype i = 0; i < n; ++i)
            all.push_back(i);
        return all;
    }
    // The segments still to split, farthest point first: one pass of
    // Douglas-Peucker that can stop at any size, instead of starting again
    // with a larger tolerance until the result fits.
    struct Segment
    {
        qsizetype a, b, at;
        double distance;
        bool operator<(const Segment &o) const
        {
            return distance != o.distance ? distance < o.distance : at > o.at;
        }
    };
    const auto farthest = [&points](qsizetype a, qsizetype b) {
        Segment s{a, b, -1, -1};
        for (qsizetype i = a + 1; i < b; ++i) {
            const double d = distanceToSegment(points.at(i), points.at(a), points.at(b));
            if (d > s.distance) {
                s.distance = d;
                s.at = i;
            }
        }
        return s;
    };
    std::vector<char> keep(size_t(n), 0);
    keep.front() = keep.back() = 1;
    qsizetype kept = 2;
    std::priority_queue<Segment> pending;
    pending.push(farthest(0, n - 1));
    while (!pending.empty() && kept < limit) {
        const Segment s = pending.top();
        pending.pop();
        if (s.at < 0 || !(s.distance > tolerance))
            break;
        keep[size_t(s.at)] = 1;
        ++kept;
        if (s.at - s.a > 1)
            pending.push(farthest(s.a, s.at));
        if (s.b - s.at > 1)
            pending.push(farthest(s.at, s.b));
    }
    std::vector<qsizetype> indices;
    indices.reserve(size_t(kept));
    for (qsizetype i = 0; i < n; ++i) {
        if (keep[size_t(i)])
            indices.push_back(i);
    }
    return indices;
}

namespace {

// How often the import reports its progress, in points.
constexpr qsizetype kProgressStep = 4096;
constexpr double kEarthRadiusMetres = 6'371'008.8;
constexpr double kDegreesToRadians = M_PI / 180.0;

// One point of the file where the map puts it.
struct Placement
{
    bool converted = false; // within the reach of the map's zone
    bool onMap = false;
    Coordinates::GridPoint utm;
    QPointF pixel; // not rounded, for the crossings of the picture's edge
};

QPointF pixelOf(const MapTransform &t, const Coordinates::GridPoint &p)
{
    const long double e = p.easting;
    const long double n = p.northing;
    return QPointF(double((e * t.e[1] + t.e[0]) + n * t.e[2]),
                   double((e * t.f[1] + t.f[0]) + n * t.f[2]));
}

// Great-circle distance: the part of a path left out is told in kilometres of
// ground, whether or not the map's zone reaches it.
double groundMetres(const GpxPoint &a, const GpxPoint &b)
{
    const double la = a.latitude * kDegreesToRadians;
    const double lb = b.latitude * kDegreesToRadians;
    const double dLat = lb - la;
    const double dLon = (b.longitude - a.longitude) * kDegreesToRadians;
    const double h = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(la) * std::cos(lb) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * kEarthRadiusMetres * std::asin(std::min(1.0, std::sqrt(h)));
}

// Liang-Barsky: the part [t0, t1] of the segment from `a` to `b` inside the
// box, or nothing when the segment misses it.
std::optional<std::pair<double, double>> clip(const QPointF &a, const QPointF &b, const QRectF &box)
{
    double t0 = 0;
    double t1 = 1;
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    const double p[] = {-dx, dx, -dy, dy};
    const double q[] = {a.x() - box.left(), box.right() - a.x(), a.y() - box.top(),
                        box.bottom() - a.y()};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return std::nullopt;
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, r);
        else
            t1 = std::min(t1, r);
    }
    if (t0 > t1)
        return std::nullopt;
    return std::make_pair(t0, t1);
}

class Importer
{
public:
    Importer(const MapFrame &frame, const Coordinates::Transformation &transformation,
             GpxImportResult &result)
        : m_frame(frame), m_transformation(transformation), m_result(result),
          // Pixel centres run from 0 to width - 1: a path crosses the edge
          // where its rounded pixel would leave the picture.
          m_box(QPointF(0, 0), QPointF(frame.width - 1, frame.height - 1))
    {
    }

    Placement place(const GpxPoint &g) const
    {
        Placement p;
        try {
            p.utm = m_transformation.fromWgs84({g.latitude, g.longitude});
        } catch (const QuorError &) {
            return p; // beyond the reach of the map's zone
        }
        if (!fitsInt32(p.utm.easting) || !fitsInt32(p.utm.northing))
            return p;
        p.converted = true;
        p.pixel = pixelOf(m_frame.transform, p.utm);
        const QPoint rounded = UtmToPixel(m_frame.transform, qint32(roundHalfEven(p.utm.easting)),
                                          qint32(roundHalfEven(p.utm.northing)));
        p.onMap = rounded.x() >= 0 && rounded.y() >= 0 && rounded.x() < m_frame.width &&
                  rounded.y() < m_frame.height;
        return p;
    }

    void addPoint(const Coordinates::GridPoint &utm, const QString &name,
                  std::optional<double> elevation)
    {
        ImportedPoint p;
        p.easting = qint32(roundHalfEven(utm.easting));
        p.northing = qint32(roundHalfEven(utm.northing));
        if (!m_points.isEmpty() && m_points.constLast().easting == p.easting &&
            m_points.constLast().northing == p.northing && name.isEmpty())
            return; // an edge crossing on a point of the path
        // A crossing of the edge rounded to the metre may fall a fraction of
        // a pixel outside.
        const QPoint pixel = UtmToPixel(m_frame.transform, p.easting, p.northing);
        p.pixel = QPoint(std::clamp(pixel.x(), 0, m_frame.width - 1),
                         std::clamp(pixel.y(), 0, m_frame.height - 1));
        const ImportGate::Text label = ImportGate::label(name);
        if (label.usable())
            p.name = label.value;
        if (elevation) {
            if (const std::optional<qint32> metres = ImportGate::altitude(*elevation))
                p.altitude = QString::number(*metres);
            else
                ++m_result.droppedAltitudes;
        }
        m_points.append(p);
    }

    // The leg from `a` to `b`: the crossings of the picture's edge, and the
    // ground left out.
    void leg(const GpxPoint &ga, const Placement &a, const GpxPoint &gb, const Placement &b)
    {
        if (a.onMap && b.onMap)
            return;
        const double length = groundMetres(ga, gb);
        const auto part = a.converted && b.converted ? clip(a.pixel, b.pixel, m_box) : std::nullopt;
        if (!part) {
            m_result.outsideMetres += length;
            return;
        }
        const auto [t0, t1] = *part;
        m_result.outsideMetres += length * (1 - (t1 - t0));
        const auto at = [&](double t) {
            return Coordinates::GridPoint{a.utm.easting + t * (b.utm.easting - a.utm.easting),
                                          a.utm.northing + t * (b.utm.northing - a.utm.northing)};
        };
        const auto elevationAt = [&](double t) -> std::optional<double> {
            if (!ga.elevation || !gb.elevation)
                return std::nullopt;
            return *ga.elevation + t * (*gb.elevation - *ga.elevation);
        };
        // A path that comes back onto the map exactly at its next point
        // needs no crossing of its own.
        const auto sameMetre = [](const Coordinates::GridPoint &p,
                                  const Coordinates::GridPoint &q) {
            return roundHalfEven(p.easting) == roundHalfEven(q.easting) &&
                   roundHalfEven(p.northing) == roundHalfEven(q.northing);
        };
        if (!a.onMap && !(b.onMap && sameMetre(at(t0), b.utm)))
            addPoint(at(t0), QString(), elevationAt(t0));
        if (!b.onMap)
            addPoint(at(t1), QString(), elevationAt(t1));
    }

    QList<ImportedPoint> &points() { return m_points; }

private:
    const MapFrame &m_frame;
    const Coordinates::Transformation &m_transformation;
    GpxImportResult &m_result;
    QRectF m_box;
    QList<ImportedPoint> m_points;
};

// The map's datum transformation, chosen for the area its picture covers.
Coordinates::Transformation mapTransformation(const MapFrame &frame, const Coordinates::Grid &grid)
{
    double west = std::numeric_limits<double>::max();
    double east = std::numeric_limits<double>::lowest();
    double south = west;
    double north = east;
    for (const QPoint corner :
         {QPoint(0, 0), QPoint(frame.width - 1, 0), QPoint(0, frame.height - 1),
          QPoint(frame.width - 1, frame.height - 1)}) {
        const UtmReal u = PixelToUtm(frame.transform, corner.x(), corner.y());
        west = std::min(west, double(u.easting));
        east = std::max(east, double(u.easting));
        south = std::min(south, double(u.northing));
        north = std::max(north, double(u.northing));
    }
    return Coordinates::Transformation(
        grid, Coordinates::areaOfExtent(grid, {west, south}, {east, north}));
}

} // namespace

GpxImportResult importChoice(const GpxDocument &document, const GpxChoice &choice,
                             const MapFrame &frame, const Progress &progress)
{
    const Coordinates::Grid grid{frame.zone, frame.letter, frame.datum};
    Coordinates::checkGrid(grid);
    const Coordinates::Transformation transformation = mapTransformation(frame, grid);
    GpxImportResult result;
    result.ballpark = transformation.isBallpark();
    const QList<GpxPoint> &source = chosenPoints(document, choice, result.name);
    const bool path = choice.kind != GpxChoice::Waypoints;

    Importer importer(frame, transformation, result);
    Placement previous;
    for (qsizetype i = 0; i < source.size(); ++i) {
        if (progress && i % kProgressStep == 0 && !progress(i, source.size()))
            throw Cancelled{};
        const GpxPoint &g = source.at(i);
        const Placement here = importer.place(g);
        if (path && i > 0)
            importer.leg(source.at(i - 1), previous, g, here);
        if (here.onMap)
            importer.addPoint(here.utm, g.name, g.elevation);
        else
            ++result.outside;
        previous = here;
    }

    QList<ImportedPoint> &placed = importer.points();
    const bool simplify = choice.kind == GpxChoice::Track || placed.size() > kMaxWaypoints;
    if (simplify && placed.size() > 2) {
        QList<QPointF> pixels;
        pixels.reserve(placed.size());
        for (const ImportedPoint &p : placed)
            pixels.append(QPointF(p.pixel));
        const std::vector<qsizetype> kept = douglasPeucker(pixels, kTolerancePixels, kMaxWaypoints);
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

QString reportText(const GpxImportResult &result, int unreadableElevations)
{
    QStringList lines;
    if (result.outside > 0)
        lines << outsideText(result.outside, result.outsideMetres);
    const int altitudes = result.droppedAltitudes + unreadableElevations;
    if (altitudes == 1)
        lines << QStringLiteral("1 altitude illisible ou hors limites a été laissée de côté.");
    else if (altitudes > 1)
        lines << QStringLiteral("%1 altitudes illisibles ou hors limites ont été laissées de "
                                "côté.")
                     .arg(altitudes);
    if (result.ballpark)
        lines << Coordinates::kBallparkText;
    return lines.join(QLatin1Char('\n'));
}

} // namespace GpxImport
