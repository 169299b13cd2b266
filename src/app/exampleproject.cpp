#include "exampleproject.h"
#include "examplewalk.h"

#include "data/appstate.h"
#include "data/catalogue.h"
#include "data/filelayer.h"
#include "data/itinerary.h"
#include "data/linelist.h"
#include "data/quorerror.h"
#include "data/routefiles.h"
#include "data/settings.h"
#include "data/speedtable.h"
#include "data/stringgrid.h"
#include "data/textforms.h"
#include "editor/stagetimes.h"
#include "gps/routegeometry.h"
#include "maps/jpegencoder.h"
#include "terrain/terrainchoice.h"

#include <QDate>
#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QVector>

#include <cmath>
#include <vector>

namespace ExampleProject {

namespace {

// ---- The terrain ----------------------------------------------------------
// Positions on the terrain are in kilometres from the map's top-left corner:
// u to the east, v to the south, so that they follow the pixel axes.

constexpr double kMetresPerKm = 1000.0;
constexpr double kPixelsPerKm = kMetresPerKm * kPixelsPerStep / kMetresPerStep;

struct Hill
{
    double u, v, height, spread;
};

const Hill kHills[] = {
    {3.00, 0.85, 620, 0.55}, // Pic du Vallon
    {0.85, 0.70, 340, 0.40}, // Serre de la Font
    {3.35, 2.80, 260, 0.45}, // Serre de Prat
    {1.85, 2.95, 170, 0.30}, {2.25, 0.25, 190, 0.22},
};

constexpr double kBaseAltitude = 880;
constexpr double kEastRise = 35; // metres per km to the east
constexpr double kValleyDepth = 140;
constexpr double kValleyWidth = 0.10;
constexpr double kRipple = 18;

// The stream runs along the valley floor from west to east.
double streamV(double u)
{
    return 1.95 + 0.22 * std::sin(1.25 * u + 0.4);
}

// The lake fills a hollow on the slope below the peak.
constexpr double kLakeU = 1.98;
constexpr double kLakeV = 1.21;
constexpr double kLakeDepth = 60;
constexpr double kLakeSpread = 0.03;
constexpr double kLakeRadiusU = 0.17;
constexpr double kLakeRadiusV = 0.11;
constexpr double kLakeTilt = -0.5; // radians, the long side rising to the east

double heightAt(double u, double v)
{
    double h = kBaseAltitude + kEastRise * u - 10 * v;
    for (const Hill &hill : kHills) {
        const double du = u - hill.u;
        const double dv = v - hill.v;
        h += hill.height * std::exp(-(du * du + dv * dv) / hill.spread);
    }
    const double dv = v - streamV(u);
    h -= kValleyDepth * std::exp(-dv * dv / kValleyWidth);
    const double lu = u - kLakeU;
    const double lv = v - kLakeV;
    h -= kLakeDepth * std::exp(-(lu * lu + lv * lv) / kLakeSpread);
    h += kRipple * std::sin(3.1 * u + 0.7) * std::cos(2.3 * v);
    return h;
}

// An ellipse with a wavy shore.
bool inLake(double u, double v)
{
    const double du = u - kLakeU;
    const double dv = v - kLakeV;
    const double a = du * std::cos(kLakeTilt) + dv * std::sin(kLakeTilt);
    const double b = -du * std::sin(kLakeTilt) + dv * std::cos(kLakeTilt);
    const double shore = 1.0 + 0.08 * std::sin(3 * std::atan2(b, a) + 0.6);
    const double r =
        (a * a) / (kLakeRadiusU * kLakeRadiusU) + (b * b) / (kLakeRadiusV * kLakeRadiusV);
    return r < shore * shore;
}

bool inForest(double u, double v, double h)
{
    const double f =
        std::sin(2.3 * u + 1.1) * std::cos(1.9 * v - 0.5) + 0.6 * std::sin(4.1 * u - 2.3 * v);
    return f > 0.15 && h < 1290;
}

QPointF pixelOfKm(double u, double v)
{
    return QPointF(u * kPixelsPerKm, v * kPixelsPerKm);
}

// ---- Places, the route and the itineraries --------------------------------

struct Spot
{
    const char *name;
    double u, v;
};

const Spot kParking = {"Le Vallon, parking", 0.95, 2.33};
const Spot kBridge = {"Pont de la Font", 1.30, 2.15};
const Spot kWood = {"Bois de la Font", 1.62, 1.66};
const Spot kLake = {"Lac de la Font", 1.86, 1.33};
const Spot kCol = {"Col des Isards", 2.50, 1.12};
const Spot kPeak = {"Pic du Vallon", 2.99, 0.86};
const Spot kHut = {"Cabane de Prat", 2.55, 1.60};

// The route on the map: the path from the car park to the lake.
const Spot *const kRoute[] = {&kParking, &kBridge, &kWood, &kLake};

struct UtmPoint
{
    qint32 easting, northing;
};

UtmPoint utmOfPlace(const Spot &p)
{
    return {qint32(std::lround(kWestEasting + p.u * kMetresPerKm)),
            qint32(std::lround(kNorthNorthing - p.v * kMetresPerKm))};
}

qint32 altitudeOfPlace(const Spot &p)
{
    const UtmPoint utm = utmOfPlace(p);
    return qint32(std::lround(altitude(utm.easting, utm.northing)));
}

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

// ---- Drawing the map ---------------------------------------------------------

const QColor kPaper(252, 250, 242);
const QColor kForest(214, 236, 196);
const QColor kWater(150, 200, 240);
const QColor kWaterLine(30, 100, 210);
const QColor kContour(190, 120, 60);
const QColor kIndexContour(160, 92, 36);
const QColor kGridLine(60, 90, 200);
const QColor kRoadEdge(80, 60, 40);
const QColor kRoadFill(255, 205, 90);
const QColor kInk(20, 20, 20);

constexpr int kCell = 4;             // contour grid step, pixels
constexpr int kContourInterval = 10; // metres
constexpr int kIndexInterval = 50;   // metres
constexpr qreal kContourPen = 1.4;
constexpr qreal kIndexPen = 2.6;
constexpr qreal kGridPen = 1.6;
constexpr int kNamePixels = 34; // about 8 points at 300 dots per inch
constexpr int kSmallPixels = 28;

struct HeightGrid
{
    int columns = 0, rows = 0;
    std::vector<double> h;
    double at(int gx, int gy) const { return h[size_t(gy) * columns + gx]; }
};

HeightGrid sampleHeights()
{
    HeightGrid g;
    g.columns = kMapWidth / kCell + 1;
    g.rows = kMapHeight / kCell + 1;
    g.h.resize(size_t(g.columns) * g.rows);
    for (int gy = 0; gy < g.rows; ++gy) {
        for (int gx = 0; gx < g.columns; ++gx)
            g.h[size_t(gy) * g.columns + gx] =
                heightAt(gx * kCell / kPixelsPerKm, gy * kCell / kPixelsPerKm);
    }
    return g;
}

double interpolated(const HeightGrid &g, double x, double y)
{
    const double fx = x / kCell;
    const double fy = y / kCell;
    const int gx = std::min(int(fx), g.columns - 2);
    const int gy = std::min(int(fy), g.rows - 2);
    const double tx = fx - gx;
    const double ty = fy - gy;
    const double top = g.at(gx, gy) * (1 - tx) + g.at(gx + 1, gy) * tx;
    const double bottom = g.at(gx, gy + 1) * (1 - tx) + g.at(gx + 1, gy + 1) * tx;
    return top * (1 - ty) + bottom * ty;
}

void paintGround(QImage &img, const HeightGrid &g)
{
    for (int y = 0; y < kMapHeight; ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        const double v = y / kPixelsPerKm;
        for (int x = 0; x < kMapWidth; ++x) {
            const double u = x / kPixelsPerKm;
            const double h = interpolated(g, x, y);
            QColor c = kPaper;
            if (inLake(u, v))
                c = kWater;
            else if (inForest(u, v, h))
                c = kForest;
            line[x] = c.rgb();
        }
    }
}

// Marching squares over the height grid: one segment per cell and level.
void drawContours(QPainter &p, const HeightGrid &g)
{
    QVector<QLineF> thin;
    QVector<QLineF> bold;
    auto edgePoint = [](double x0, double y0, double h0, double x1, double y1, double h1,
                        double level) {
        const double t = (level - h0) / (h1 - h0);
        return QPointF(x0 + t * (x1 - x0), y0 + t * (y1 - y0));
    };
    for (int gy = 0; gy + 1 < g.rows; ++gy) {
        for (int gx = 0; gx + 1 < g.columns; ++gx) {
            const double x0 = gx * kCell, y0 = gy * kCell;
            const double x1 = x0 + kCell, y1 = y0 + kCell;
            const double a = g.at(gx, gy), b = g.at(gx + 1, gy);
            const double c = g.at(gx + 1, gy + 1), d = g.at(gx, gy + 1);
            const double lo = std::min({a, b, c, d});
            const double hi = std::max({a, b, c, d});
            const double cu = (x0 + kCell / 2.0) / kPixelsPerKm;
            const double cv = (y0 + kCell / 2.0) / kPixelsPerKm;
            if (inLake(cu, cv))
                continue;
            for (int l = int(std::ceil(lo / kContourInterval)) * kContourInterval; l <= hi;
                 l += kContourInterval) {
                if (l <= lo)
                    continue;
                QPointF pts[4];
                int n = 0;
                if ((a < l) != (b < l))
                    pts[n++] = edgePoint(x0, y0, a, x1, y0, b, l);
                if ((b < l) != (c < l))
                    pts[n++] = edgePoint(x1, y0, b, x1, y1, c, l);
                if ((c < l) != (d < l))
                    pts[n++] = edgePoint(x1, y1, c, x0, y1, d, l);
                if ((d < l) != (a < l))
                    pts[n++] = edgePoint(x0, y1, d, x0, y0, a, l);
                QVector<QLineF> &out = l % kIndexInterval == 0 ? bold : thin;
                if (n >= 2)
                    out.append(QLineF(pts[0], pts[1]));
                if (n == 4)
                    out.append(QLineF(pts[2], pts[3]));
            }
        }
    }
    p.setPen(QPen(kContour, kContourPen));
    p.drawLines(thin);
    p.setPen(QPen(kIndexContour, kIndexPen));
    p.drawLines(bold);
}

QPolygonF streamLine()
{
    QPolygonF line;
    const double widthKm = kMapWidth / kPixelsPerKm;
    for (double u = 0; u <= widthKm + 0.02; u += 0.02)
        line << pixelOfKm(u, streamV(u));
    return line;
}

void drawWater(QPainter &p)
{
    p.setPen(QPen(kWaterLine, 4.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(streamLine());
    // The outflow of the lake joins the stream near the bridge.
    QPolygonF outflow;
    outflow << pixelOfKm(kLakeU - 0.15, kLakeV + 0.07) << pixelOfKm(1.70, 1.52)
            << pixelOfKm(1.48, 1.92) << pixelOfKm(1.40, streamV(1.40));
    p.setPen(QPen(kWaterLine, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath path(outflow.first());
    for (int i = 1; i + 1 < outflow.size(); ++i)
        path.quadTo(outflow[i], (outflow[i] + outflow[i + 1]) / 2);
    path.lineTo(outflow.last());
    p.drawPath(path);
}

void drawRoad(QPainter &p)
{
    QPolygonF road;
    const double widthKm = kMapWidth / kPixelsPerKm;
    for (double u = 0; u <= widthKm + 0.02; u += 0.02)
        road << pixelOfKm(u, streamV(u) + 0.21 + 0.04 * std::sin(2.7 * u));
    p.setPen(QPen(kRoadEdge, 11, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(road);
    p.setPen(QPen(kRoadFill, 7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(road);
}

void drawPaths(QPainter &p)
{
    QPen path(kInk, 2.6, Qt::DashLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(path);
    const Spot *const loop[] = {&kParking, &kBridge, &kWood, &kLake,
                                &kCol,     &kPeak,   &kHut,  &kBridge};
    QPolygonF line;
    for (const Spot *place : loop)
        line << pixelOfKm(place->u, place->v);
    p.drawPolyline(line);
    // The forest track that the bicycles take up to the wood.
    p.setPen(QPen(kInk, 4, Qt::SolidLine, Qt::RoundCap));
    QPolygonF track;
    track << pixelOfKm(kParking.u, kParking.v) << pixelOfKm(1.10, 2.05) << pixelOfKm(1.25, 1.80)
          << pixelOfKm(1.45, 1.72) << pixelOfKm(kWood.u, kWood.v);
    p.drawPolyline(track);
}

void drawVillage(QPainter &p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    const QPointF houses[] = {{0.70, 2.40}, {0.74, 2.44}, {0.78, 2.39}, {0.66, 2.45},
                              {0.82, 2.46}, {0.72, 2.50}, {0.86, 2.41}};
    for (const QPointF &h : houses)
        p.drawRect(QRectF(pixelOfKm(h.x(), h.y()) - QPointF(7, 7), QSizeF(14, 14)));
    p.setBrush(Qt::NoBrush);
    // The car park: a framed P.
    const QPointF park = pixelOfKm(kParking.u, kParking.v) + QPointF(14, 10);
    p.setPen(QPen(kWaterLine, 3));
    p.drawRect(QRectF(park, QSizeF(30, 34)));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(28);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRectF(park, QSizeF(30, 34)), Qt::AlignCenter, QStringLiteral("P"));
}

void drawGrid(QPainter &p)
{
    p.setPen(QPen(kGridLine, kGridPen));
    const int firstEasting = (kWestEasting / 1000 + 1) * 1000;
    for (int e = firstEasting;; e += 1000) {
        const double x = pixelOf(e, kNorthNorthing).x();
        if (x >= kMapWidth)
            break;
        p.drawLine(QPointF(x, 0), QPointF(x, kMapHeight));
    }
    const int firstNorthing = (kNorthNorthing / 1000) * 1000;
    for (int n = firstNorthing;; n -= 1000) {
        const double y = pixelOf(kWestEasting, n).y();
        if (y >= kMapHeight)
            break;
        p.drawLine(QPointF(0, y), QPointF(kMapWidth, y));
    }
}

void label(QPainter &p, const QString &text, QPointF at, int pixels, bool italic = false,
           QColor colour = kInk)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    font.setItalic(italic);
    p.setFont(font);
    // A paper halo keeps the names readable over the contour lines.
    QPainterPath path;
    path.addText(at, font, text);
    p.setPen(QPen(kPaper, 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.setPen(colour);
    p.drawText(at, text);
}

void drawNames(QPainter &p)
{
    const QPointF peak = pixelOfKm(kPeak.u, kPeak.v);
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    QPolygonF triangle;
    triangle << peak + QPointF(0, -10) << peak + QPointF(9, 7) << peak + QPointF(-9, 7);
    p.drawPolygon(triangle);
    p.setBrush(Qt::NoBrush);
    label(p, QStringLiteral("Pic du Vallon"), peak + QPointF(18, -8), kNamePixels);
    label(p, QString::number(altitudeOfPlace(kPeak)), peak + QPointF(18, 26), kSmallPixels);

    label(p, QStringLiteral("Le Vallon"), pixelOfKm(0.52, 2.62), kNamePixels + 6);
    label(p, QStringLiteral("Lac de la Font"), pixelOfKm(kLakeU + 0.05, kLakeV + 0.22), kNamePixels,
          true, kWaterLine);
    label(p, QStringLiteral("Bois de la Font"), pixelOfKm(1.75, 1.78), kNamePixels, true);
    label(p, QStringLiteral("Col des Isards"), pixelOfKm(kCol.u - 0.15, kCol.v - 0.08),
          kSmallPixels);
    label(p, QStringLiteral("Cabane de Prat"), pixelOfKm(kHut.u + 0.06, kHut.v + 0.02),
          kSmallPixels);
    label(p, QStringLiteral("Serre de la Font"), pixelOfKm(0.50, 0.62), kNamePixels);
    label(p, QStringLiteral("Serre de Prat"), pixelOfKm(3.05, 2.78), kNamePixels);
    label(p, QStringLiteral("Ruisseau de la Font"), pixelOfKm(3.15, streamV(3.15) - 0.05),
          kSmallPixels, true, kWaterLine);
    label(p, QStringLiteral("Pont"), pixelOfKm(kBridge.u + 0.05, kBridge.v - 0.02), kSmallPixels);

    // The hut: a small framed square.
    const QPointF hut = pixelOfKm(kHut.u, kHut.v);
    p.setPen(QPen(kInk, 3));
    p.drawRect(QRectF(hut - QPointF(8, 8), QSizeF(16, 16)));
}

void drawLegend(QPainter &p)
{
    const QRectF box(kMapWidth - 760, kMapHeight - 170, 730, 140);
    p.setPen(QPen(kInk, 2));
    p.setBrush(QColor(255, 255, 255));
    p.drawRect(box);
    p.setBrush(Qt::NoBrush);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(kSmallPixels);
    font.setBold(true);
    p.setFont(font);
    p.setPen(kInk);
    const qreal left = box.left() + 18;
    p.drawText(QPointF(left, box.top() + 38),
               QStringLiteral("Carte d'exemple de Quor (pays imaginaire)"));
    font.setBold(false);
    p.setFont(font);
    p.drawText(QPointF(left, box.top() + 78),
               QStringLiteral("Échelle 1:25 000 - courbes de niveau tous les 10 m"));
    p.drawText(QPointF(left, box.top() + 116),
               QStringLiteral("Quadrillage kilométrique UTM 31T, ED50"));
}

} // namespace

// ---- Public -----------------------------------------------------------------

QPointF pixelOf(double easting, double northing)
{
    return QPointF((easting - kWestEasting) * kPixelsPerStep / kMetresPerStep,
                   (kNorthNorthing - northing) * kPixelsPerStep / kMetresPerStep);
}

QPointF utmOf(double x, double y)
{
    return QPointF(kWestEasting + x * kMetresPerStep / kPixelsPerStep,
                   kNorthNorthing - y * kMetresPerStep / kPixelsPerStep);
}

double altitude(double easting, double northing)
{
    return heightAt((easting - kWestEasting) / kMetresPerKm,
                    (kNorthNorthing - northing) / kMetresPerKm);
}

QImage drawMap()
{
    QImage img(kMapWidth, kMapHeight, QImage::Format_RGB32);
    const HeightGrid heights = sampleHeights();
    paintGround(img, heights);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    drawContours(p, heights);
    drawWater(p);
    drawRoad(p);
    drawPaths(p);
    drawGrid(p);
    drawVillage(p);
    drawNames(p);
    drawLegend(p);
    p.end();
    return img;
}

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

    // The catalogue and its itineraries, with the times the program itself
    // computes from the default speed table.
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

    // The map and its calibration: three reference points near three corners,
    // at pixels whose UTM positions are whole metres.
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

    // One route on the map, with its waypoints.
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

void writeRecordedWalk(const QString &programDirectory)
{
    QList<QPointF> route;
    for (const Spot *place : kRoute) {
        const UtmPoint utm = utmOfPlace(*place);
        route << QPointF(utm.easting, utm.northing);
    }
    writeWalk(projectFolder(programDirectory) + QLatin1Char('/') + kWalkFileName, route,
              kRouteRow.date);
}

void remember(const QString &programDirectory)
{
    QString dir = programDirectory;
    if (!dir.endsWith(kPathSeparator))
        dir.append(kPathSeparator);
    write_settings(dir, kProjectName);
}

} // namespace ExampleProject
