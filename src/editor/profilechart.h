#pragma once

#include "elevationprofile.h"

#include <QColor>
#include <QLine>
#include <QLineF>
#include <QList>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QString>

#include <cmath>
#include <optional>
#include <utility>

// What the sources of the profile page share: the measures of its texts, the
// stages as the page shows them, the distance axis, and the chart's frame,
// area and lines.
namespace ElevationProfile::Chart {

using Op = SheetOperation;

// A point's dot is this many pens wide.
constexpr int kDotPens = 3;
constexpr int kMetresPerKilometre = 1000;

constexpr int kGraduationSize = 9;
constexpr int kLabelSize = 8;
// The times of day take this many rows below the distances.
constexpr int kTimeRows = 2;

inline const QColor kBlue(0, 0, 255);
inline const QColor kRed(255, 0, 0);
inline const QColor kGreen(0, 128, 0);
inline const QColor kBlack(0, 0, 0);
inline const QColor kGridGrey(200, 200, 200);
inline const QColor kLeaderGrey(96, 96, 96);

inline qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

inline qint64 ceilDiv(qint64 a, qint64 b)
{
    return -floorDiv(-a, b);
}

// "1200 m": metres with their unit.
QString metres(qint64 value);
// "0 km", "2 km", "0,5 km": metres as kilometres with a decimal comma.
QString kilometres(qint64 value);

class PageBuilder
{
public:
    explicit PageBuilder(const TextMetrics &metrics) : m_metrics(metrics) {}

    QSize size(const QString &text, int pointSize) const
    {
        return m_metrics.textSize(text, pointSize);
    }

    // A text by its top-left corner.
    void text(const QString &text, int pointSize, const QColor &colour, QPoint topLeft)
    {
        if (text.isEmpty())
            return;
        Op op;
        op.kind = Op::Kind::Text;
        op.text = text;
        op.pointSize = pointSize;
        op.colour = colour;
        op.from = topLeft;
        m_ops.append(op);
    }

    void line(QPoint from, QPoint to, const QColor &colour, int width)
    {
        Op op;
        op.kind = Op::Kind::Rule;
        op.colour = colour;
        op.penWidth = width;
        op.from = from;
        op.to = to;
        m_ops.append(op);
    }

    QList<Op> take() { return std::move(m_ops); }

private:
    const TextMetrics &m_metrics;
    QList<Op> m_ops;
};

// Where a value lands between two device positions.
int scaled(qint64 value, const Graduations &g, int from, int to);

// Consecutive points at one place, altitude and distance make one stage on
// the page: a stop shows its arrival and departure times together.
struct Stage
{
    const ProfilePoint *point = nullptr;
    QString time;
    bool stop = false; // a stop whose times differ
};

// The distance axis: pieces of walk at one scale, each from and to a round
// graduation, with a break of fixed width between two pieces where a long
// drive was left out.
struct DistanceAxis
{
    QList<qint64> knots;                // metres, the start and end of each piece
    QList<double> xs;                   // their device x
    QList<const ProfilePoint *> drives; // the point each break leads to
    QList<qint64> graduations;

    int x(qint64 distance) const
    {
        qsizetype j = 0;
        while (j + 2 < knots.size() && distance > knots[j + 1])
            ++j;
        const double span = double(knots[j + 1] - knots[j]);
        const double share = span > 0 ? double(distance - knots[j]) / span : 0.0;
        return int(std::lround(xs[j] + share * (xs[j + 1] - xs[j])));
    }
    // The middle of break `b`.
    int breakX(qsizetype b) const { return int(std::lround((xs[2 * b + 1] + xs[2 * b + 2]) / 2)); }
};

// The axis from `left` to `right`: the smallest round step (1, 2 or 5 times
// a power of ten metres, at least kShortestDistanceStep) that gives at most
// kMaximumSteps steps of walk, each wide enough for its graduation.
DistanceAxis distanceAxis(const QList<ProfilePoint> &points, int left, int right, int gap,
                          const PageBuilder &page);

// What every layout of the chart shares, whatever the legend's size.
struct Frame
{
    const QList<ProfilePoint> &points;
    const QList<QPointF> &ground;
    QList<Stage> stages;
    QSize size;
    int margin = 0;
    int gap = 0;
    int pen = 0;
    int headerBottom = 0;
    int labelHeight = 0;
    int graduationHeight = 0;
    int dotRadius = 0;
    int clearance = 0; // between the chart's edges and the texts around it
    int below = 0;     // between the distance axis and its graduations
    int lastDistanceHalf = 0;
    qint64 lowest = 0;
    qint64 highest = 0;
    // The legend: its columns at most as wide as for all stages.
    int legendColumns = 1;
    int maximumLegendRows = 0;
};

// Where the chart stands on the page for one size of the legend: the rows of
// texts below it, its edges and its two axes.
struct ChartArea
{
    int legendTop = 0;
    int timeTop = 0;
    int graduationTop = 0;
    int top = 0;
    int bottom = 0;
    int left = 0;
    int right = 0;
    Graduations altitudes;
    DistanceAxis axis;

    // The device y of an altitude.
    int y(qint64 altitude) const { return scaled(altitude, altitudes, bottom, top); }
};

// The chart's area above a legend of `legendRows` rows, or nothing when
// there is no room for a chart.
std::optional<ChartArea> chartArea(const Frame &f, int legendRows, const PageBuilder &page);

// The line, the axes with the marks of their breaks and the dots of the
// stages: what no text may cross.
struct ChartLines
{
    QList<QLine> line;
    QList<QLineF> lineF; // the same line, for measuring the room around it
    QList<QLine> axes;
    QList<QLine> strokes; // the slanted strokes that mark the breaks
    QList<QPoint> dots;   // one a stage
    int tick = 1;         // how far a break's strokes stand from its middle
};

// The axes. A break cuts the distance axis and is marked by two slanted
// strokes there and on the line.
void breakAxes(ChartLines &lines, const Frame &f, const ChartArea &a);

class Placer;

// The grid and the graduations of both axes, each graduation unless it
// would cover another text or cross a line.
void drawGraduations(PageBuilder &page, Placer &placer, const Frame &f, const ChartArea &a);

} // namespace ElevationProfile::Chart
