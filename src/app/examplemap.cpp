#include "exampleproject.h"
#include "examplerelief.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QVector>

#include <algorithm>
#include <cmath>
#include <vector>

// The example's map, drawn from its terrain as a scanned map would show it.
namespace ExampleProject {

namespace {

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

} // namespace ExampleProject
