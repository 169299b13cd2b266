#include "elevationprofile.h"

#include "data/itinerary.h"
#include "data/stringgrid.h"
#include "data/textforms.h"

#include <QLineF>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <numeric>
#include <optional>

namespace {

using Op = SheetOperation;
using namespace ElevationProfile;

// The page's margin and gaps as fractions of its smaller side.
constexpr double kMarginShare = 0.05;
constexpr double kGapShare = 0.008;
// The line's pen width is the page's width over this, at least kMinimumPen.
constexpr int kWidthPerPen = 400;
constexpr int kMinimumPen = 2;
// A point's dot is this many pens wide.
constexpr int kDotPens = 3;
constexpr int kMetresPerKilometre = 1000;

constexpr int kTitleSize = 18;
constexpr int kDateSize = 14;
constexpr int kTotalsSize = 12;
constexpr int kGraduationSize = 9;
constexpr int kLabelSize = 8;
constexpr int kMarkSize = 7;

// A break of the distance axis is this share of the chart's width, at least
// room for a graduation on either side, and the breaks together take at most
// a third of the chart.
constexpr double kBreakShare = 0.05;
constexpr int kBreaksShareDivisor = 3;
// The times of day take this many rows below the distances.
constexpr int kTimeRows = 2;
// A name stands at most this many half lines above its dot's own clearance:
// higher, it would no longer read as the stage's, and only the stages that
// keep their labels go higher, tied to their dots by a leader.
constexpr int kNameLevels = 3;
// The legend of the numbered marks takes at most this share of the page's
// height, and at most half of the chart's.
constexpr double kLegendShare = 0.2;
// Its columns are this many gaps apart.
constexpr int kLegendColumnGaps = 4;
// Layouts tried to size the legend to the marks it lists.
constexpr int kLegendPasses = 3;
// How many of its own heights a crowded mark's number may stand below it.
constexpr int kNumberDrops = 6;

const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 128, 0);
const QColor kBlack(0, 0, 0);
const QColor kGridGrey(200, 200, 200);
const QColor kLeaderGrey(96, 96, 96);

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

qint64 ceilDiv(qint64 a, qint64 b)
{
    return -floorDiv(-a, b);
}

QString metres(qint64 value)
{
    return QString::number(value) + QStringLiteral(" m");
}

// "0 km", "2 km", "0,5 km": metres as kilometres with a decimal comma.
QString kilometres(qint64 value)
{
    const qint64 whole = value / kMetresPerKilometre;
    const qint64 rest = std::abs(value % kMetresPerKilometre);
    QString text = value < 0 && whole == 0 ? QStringLiteral("-0") : QString::number(whole);
    if (rest != 0) {
        QString decimals = QStringLiteral("%1").arg(rest, 3, 10, QLatin1Char('0'));
        while (decimals.endsWith(QLatin1Char('0')))
            decimals.chop(1);
        text += QLatin1Char(',') + decimals;
    }
    return text + QStringLiteral(" km");
}

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
int scaled(qint64 value, const Graduations &g, int from, int to)
{
    const double share = double(value - g.first) / double(g.last - g.first);
    return from + int(std::lround(share * (to - from)));
}

// Whether the segment passes through the rectangle (Liang-Barsky clipping).
bool crosses(const QLineF &segment, const QRectF &r)
{
    const double dx = segment.dx();
    const double dy = segment.dy();
    const double p[] = {-dx, dx, -dy, dy};
    const double q[] = {segment.x1() - r.left(), r.right() - segment.x1(), segment.y1() - r.top(),
                        r.bottom() - segment.y1()};
    double t0 = 0;
    double t1 = 1;
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return false;
        } else if (p[i] < 0) {
            t0 = std::max(t0, q[i] / p[i]);
        } else {
            t1 = std::min(t1, q[i] / p[i]);
        }
    }
    return t0 <= t1;
}

// The highest device y (the smallest) of the line between x0 and x1, or
// infinity where the line does not pass.
double lineTop(const QList<QLineF> &line, double x0, double x1)
{
    double top = std::numeric_limits<double>::infinity();
    for (const QLineF &s : line) {
        const double lo = std::min(s.x1(), s.x2());
        const double hi = std::max(s.x1(), s.x2());
        if (hi < x0 || lo > x1)
            continue;
        if (lo == hi) {
            top = std::min({top, s.y1(), s.y2()});
            continue;
        }
        for (double x : {std::max(lo, x0), std::min(hi, x1)})
            top = std::min(top, s.y1() + (x - s.x1()) * s.dy() / s.dx());
    }
    return top;
}

// Consecutive points at one place, altitude and distance make one stage on
// the page: a stop shows its arrival and departure times together.
struct Stage
{
    const ProfilePoint *point = nullptr;
    QString time;
    bool stop = false; // a stop whose times differ
};

QList<Stage> stagesOf(const QList<ProfilePoint> &points)
{
    QList<Stage> stages;
    for (qsizetype i = 0; i < points.size();) {
        const ProfilePoint &p = points[i];
        qsizetype last = i;
        while (last + 1 < points.size() && points[last + 1].distance == p.distance &&
               points[last + 1].altitude == p.altitude && points[last + 1].place == p.place)
            ++last;
        Stage stage{&p, p.time};
        if (!points[last].time.isEmpty() && points[last].time != p.time) {
            stage.time += QStringLiteral(" - ") + points[last].time;
            stage.stop = true;
        }
        stages.append(stage);
        i = last + 1;
    }
    return stages;
}

// The stages whose labels stay whatever the room, first first: the start,
// the finish, the highest, the lowest and the stops.
QList<qsizetype> keptStages(const QList<Stage> &stages)
{
    qsizetype highest = 0;
    qsizetype lowest = 0;
    for (qsizetype i = 1; i < stages.size(); ++i) {
        if (stages[i].point->altitude > stages[highest].point->altitude)
            highest = i;
        if (stages[i].point->altitude < stages[lowest].point->altitude)
            lowest = i;
    }
    QList<qsizetype> kept;
    for (qsizetype i : {qsizetype(0), stages.size() - 1, highest, lowest}) {
        if (!kept.contains(i))
            kept.append(i);
    }
    for (qsizetype i = 0; i < stages.size(); ++i) {
        if (stages[i].stop && !kept.contains(i))
            kept.append(i);
    }
    return kept;
}

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

// A drive long enough to be shortened behind a break: it sits in the middle
// of its leg, the walk around it.
struct Drive
{
    qint64 from;
    qint64 to;
    const ProfilePoint *point;
};

// The drives longer than a share of the `whole` distance, none at all when
// they would leave no walk.
QList<Drive> longDrives(const QList<ProfilePoint> &points, qint64 whole)
{
    QList<Drive> drives;
    qint64 driven = 0;
    for (qsizetype i = 1; i < points.size(); ++i) {
        const ProfilePoint &p = points[i];
        const qint64 leg = p.distance - points[i - 1].distance;
        if (p.driven <= whole / kDriveShareDivisor || leg <= 0)
            continue;
        const qint64 from = points[i - 1].distance + std::max<qint64>(0, (leg - p.driven) / 2);
        if (!drives.isEmpty() && from < drives.last().to)
            continue;
        drives.append({from, std::min(p.distance, from + p.driven), &p});
        driven += drives.last().to - from;
    }
    if (driven >= whole)
        drives.clear();
    return drives;
}

// The pieces of walk from `nearest` to `farthest` and their graduations
// every `step`, each drive that leaves a whole step out making a break.
DistanceAxis axisPieces(qint64 nearest, qint64 farthest, const QList<Drive> &drives, qint64 step)
{
    DistanceAxis axis;
    axis.knots = {floorDiv(nearest, step) * step};
    for (const Drive &d : drives) {
        const qint64 end = ceilDiv(d.from, step) * step;
        const qint64 start = floorDiv(d.to, step) * step;
        if (end < axis.knots.last() || start <= end)
            continue;
        axis.knots << end << start;
        axis.drives << d.point;
    }
    axis.knots << ceilDiv(farthest, step) * step;
    for (qsizetype k = 0; k < axis.knots.size(); k += 2) {
        for (qint64 v = axis.knots[k]; v <= axis.knots[k + 1]; v += step)
            axis.graduations << v;
    }
    return axis;
}

// Lays the pieces from `left` at `scale` device pixels a metre, `breakWidth`
// apart.
void placePieces(DistanceAxis &axis, int left, double scale, int breakWidth)
{
    double x = left;
    for (qsizetype k = 0; k < axis.knots.size(); k += 2) {
        axis.xs << x;
        x += double(axis.knots[k + 1] - axis.knots[k]) * scale;
        axis.xs << x;
        x += breakWidth;
    }
}

// The axis from `left` to `right`: the smallest round step (1, 2 or 5 times
// a power of ten metres, at least kShortestDistanceStep) that gives at most
// kMaximumSteps steps of walk, each wide enough for its graduation.
DistanceAxis distanceAxis(const QList<ProfilePoint> &points, int left, int right, int gap,
                          const PageBuilder &page)
{
    qint64 nearest = 0;
    qint64 farthest = 0;
    for (const ProfilePoint &p : points) {
        nearest = std::min(nearest, p.distance);
        farthest = std::max(farthest, p.distance);
    }
    if (farthest == nearest)
        farthest = nearest + kShortestDistanceAxis;
    const qint64 whole = farthest - nearest;
    const QList<Drive> drives = longDrives(points, whole);

    const int width = right - left;
    static constexpr int kMantissas[] = {1, 2, 5};
    for (qint64 power = kShortestDistanceStep;; power *= 10) {
        for (int m : kMantissas) {
            const qint64 step = m * power;
            DistanceAxis axis = axisPieces(nearest, farthest, drives, step);
            qint64 walked = 0;
            for (qsizetype k = 0; k < axis.knots.size(); k += 2)
                walked += axis.knots[k + 1] - axis.knots[k];
            int widest = 0;
            for (qint64 v : axis.graduations)
                widest = std::max(widest, page.size(kilometres(v), kGraduationSize).width());
            const int breaks = int(axis.drives.size());
            const int breakWidth =
                breaks == 0
                    ? 0
                    : std::min(std::max(int(std::lround(width * kBreakShare)), widest + 2 * gap),
                               width / (kBreaksShareDivisor * breaks));
            const double scale = double(width - breaks * breakWidth) / double(walked);
            if ((walked / step > kMaximumSteps || scale * double(step) < widest + gap) &&
                step < whole)
                continue;
            placePieces(axis, left, scale, breakWidth);
            return axis;
        }
    }
}

// The first slanting segment of the line over x.
QLineF segmentAt(const QList<QLineF> &line, double x)
{
    for (const QLineF &s : line) {
        if (s.dx() != 0 && std::min(s.x1(), s.x2()) <= x && x <= std::max(s.x1(), s.x2()))
            return s;
    }
    return QLineF(x, line.last().y2(), x + 1, line.last().y2());
}

// The texts placed so far, and the lines and marks they keep clear of.
class Placer
{
public:
    Placer(double clearance, int apart) : m_clearance(clearance), m_apart(apart) {}

    void block(const QRect &rect) { m_taken.append(rect); }
    void block(const QLineF &line) { m_lines.append(line); }

    bool isFree(const QRect &rect, const QRect &bounds) const
    {
        if (!bounds.contains(rect))
            return false;
        // Texts side by side keep a little apart, so that two times never
        // read as one.
        for (const QRect &t : m_taken) {
            if (t.adjusted(-m_apart, 0, m_apart, 0).intersects(rect))
                return false;
        }
        const QRectF around =
            QRectF(rect).adjusted(-m_clearance, -m_clearance, m_clearance, m_clearance);
        for (const QLineF &l : m_lines) {
            if (crosses(l, around))
                return false;
        }
        return true;
    }

    // Whether a line keeps clear of the texts.
    bool isClear(const QLineF &line) const
    {
        return std::none_of(m_taken.begin(), m_taken.end(),
                            [&](const QRect &t) { return crosses(line, QRectF(t)); });
    }

    // The first free rectangle that `accept` takes, or a null one.
    QRect find(const QList<QRect> &candidates, const QRect &bounds,
               const std::function<bool(const QRect &)> &accept = {}) const
    {
        for (const QRect &r : candidates) {
            if (isFree(r, bounds) && (!accept || accept(r)))
                return r;
        }
        return {};
    }

private:
    double m_clearance;
    int m_apart;
    QList<QRect> m_taken;
    QList<QLineF> m_lines;
};

// The legend's columns for some stages: number, place and time.
struct LegendColumns
{
    int number = 0;
    int place = 0;
    int time = 0;
    int gap = 0;

    int pitch() const { return number + place + time + (4 + kLegendColumnGaps) * gap; }
    // How many fit across `width`.
    int across(int width) const { return std::max(1, (width + kLegendColumnGaps * gap) / pitch()); }
};

LegendColumns legendColumns(const QList<Stage> &stages, const QList<qsizetype> &entries, int gap,
                            const PageBuilder &page)
{
    LegendColumns c;
    c.gap = gap;
    c.number = page.size(QString::number(entries.size()), kLabelSize).width();
    for (qsizetype i : entries) {
        c.place = std::max(c.place, page.size(stages[i].point->place, kLabelSize).width());
        c.time = std::max(c.time, page.size(stages[i].time, kLabelSize).width());
    }
    return c;
}

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
std::optional<ChartArea> chartArea(const Frame &f, int legendRows, const PageBuilder &page)
{
    ChartArea a;
    const int legendHeight = legendRows > 0 ? legendRows * f.labelHeight + f.gap : 0;
    a.legendTop = f.size.height() - f.margin - legendHeight;
    a.timeTop = a.legendTop - kTimeRows * f.labelHeight - (legendRows > 0 ? 0 : f.gap);
    a.graduationTop = a.timeTop - f.gap - f.graduationHeight;
    a.top = f.headerBottom + 2 * f.labelHeight + 2 * f.gap + kDotPens * f.pen;
    a.bottom = a.graduationTop - f.below;
    if (a.bottom <= a.top)
        return std::nullopt;
    const int maxSteps =
        std::clamp((a.bottom - a.top) / (f.graduationHeight + f.gap), 1, kMaximumSteps);
    a.altitudes = roundGraduations(f.lowest, f.highest, maxSteps);
    int widestAltitude = 0;
    for (qint64 v : a.altitudes.values())
        widestAltitude = std::max(widestAltitude, page.size(metres(v), kGraduationSize).width());
    a.left = f.margin + widestAltitude + f.clearance;
    a.right = f.size.width() - f.margin - f.lastDistanceHalf;
    if (a.right <= a.left)
        return std::nullopt;
    a.axis = distanceAxis(f.points, a.left, a.right, f.gap, page);
    return a;
}

// The grid and the graduations of both axes, each graduation unless it
// would cover another text or cross a line.
void drawGraduations(PageBuilder &page, Placer &placer, const Frame &f, const ChartArea &a)
{
    const QRect pageRect(QPoint(0, 0), f.size);
    auto graduation = [&](const QString &text, QPoint topLeft) {
        const QRect r(topLeft, page.size(text, kGraduationSize));
        if (placer.isFree(r, pageRect)) {
            placer.block(r);
            page.text(text, kGraduationSize, kBlack, topLeft);
        }
    };
    for (qint64 v : a.altitudes.values()) {
        const int gy = a.y(v);
        page.line(QPoint(a.left, gy), QPoint(a.right, gy), kGridGrey, 1);
        const QString text = metres(v);
        const QSize s = page.size(text, kGraduationSize);
        graduation(text, QPoint(a.left - f.clearance - s.width(), gy - s.height() / 2));
    }
    for (qint64 v : a.axis.graduations) {
        const int gx = a.axis.x(v);
        page.line(QPoint(gx, a.top), QPoint(gx, a.bottom), kGridGrey, 1);
        const QString text = kilometres(v);
        graduation(text,
                   QPoint(gx - page.size(text, kGraduationSize).width() / 2, a.graduationTop));
    }
}

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

// The line through the points.
QList<QLine> pointsLine(const Frame &f, const ChartArea &a)
{
    QList<QLine> line;
    for (qsizetype i = 1; i < f.points.size(); ++i) {
        const ProfilePoint &from = f.points[i - 1];
        const ProfilePoint &to = f.points[i];
        line << QLine(a.axis.x(from.distance), a.y(from.altitude), a.axis.x(to.distance),
                      a.y(to.altitude));
    }
    return line;
}

// The ground's samples, at most the highest and the lowest of each column of
// device pixels: the same line, and few segments for the labels to keep
// clear of.
QList<QLine> groundLine(const Frame &f, const ChartArea &a)
{
    QList<QPoint> vertices;
    int column = 0, first = 0, high = 0, low = 0, last = 0;
    const auto flush = [&] {
        for (int y : {first, high, low, last}) {
            if (vertices.isEmpty() || vertices.last() != QPoint(column, y))
                vertices << QPoint(column, y);
        }
    };
    for (qsizetype i = 0; i < f.ground.size(); ++i) {
        const QPointF &g = f.ground[i];
        const int x = a.axis.x(qint64(std::llround(g.x())));
        const int y = a.y(qint64(std::llround(g.y())));
        if (i > 0 && x == column) {
            high = std::min(high, y);
            low = std::max(low, y);
            last = y;
            continue;
        }
        if (i > 0)
            flush();
        column = x;
        first = high = low = last = y;
    }
    if (!f.ground.isEmpty())
        flush();
    QList<QLine> line;
    for (qsizetype i = 1; i < vertices.size(); ++i)
        line << QLine(vertices[i - 1], vertices[i]);
    return line;
}

// Two strokes across the line at `c`, a tick either side of it along the
// line's direction `u`, slanting back.
void markBreak(QList<QLine> &strokes, int tick, QPointF c, QPointF u)
{
    const QPointF across(-u.y() - u.x() / 2, u.x() - u.y() / 2);
    for (int side : {-1, 1}) {
        const QPointF at = c + side * tick * u;
        strokes << QLineF(at - tick * across, at + tick * across).toLine();
    }
}

// The axes. A break cuts the distance axis and is marked by two slanted
// strokes there and on the line.
void breakAxes(ChartLines &lines, const Frame &f, const ChartArea &a)
{
    const int tick = std::max(1, std::min(f.labelHeight / 2, f.below - f.pen / 2 - 2));
    lines.tick = tick;
    lines.axes = {QLine(a.left, a.bottom, a.left, a.top)};
    int from = a.left;
    for (qsizetype b = 0; b < a.axis.drives.size(); ++b) {
        const int x = a.axis.breakX(b);
        lines.axes << QLine(from, a.bottom, x - tick, a.bottom);
        from = x + tick;
        markBreak(lines.strokes, tick, QPointF(x, a.bottom), QPointF(1, 0));
        QLineF s = segmentAt(lines.lineF, x);
        if (s.dx() < 0)
            s = QLineF(s.p2(), s.p1());
        const QLineF u = s.unitVector();
        markBreak(lines.strokes, tick, s.pointAt((x - s.x1()) / s.dx()), QPointF(u.dx(), u.dy()));
    }
    lines.axes << QLine(from, a.bottom, a.right, a.bottom);
}

ChartLines chartLines(const Frame &f, const ChartArea &a)
{
    ChartLines lines;
    lines.line = f.ground.isEmpty() ? pointsLine(f, a) : groundLine(f, a);
    for (const QLine &l : lines.line)
        lines.lineF << QLineF(l);
    breakAxes(lines, f, a);
    for (const Stage &s : f.stages)
        lines.dots << QPoint(a.axis.x(s.point->distance), a.y(s.point->altitude));
    return lines;
}

// Keeps the texts clear of the lines and the dots.
void blockLines(Placer &placer, const ChartLines &lines, int dotRadius)
{
    for (const QList<QLine> &each : {lines.line, lines.axes, lines.strokes}) {
        for (const QLine &l : each)
            placer.block(QLineF(l));
    }
    for (QPoint at : lines.dots)
        placer.block(
            QRect(at - QPoint(dotRadius, dotRadius), QSize(2 * dotRadius + 1, 2 * dotRadius + 1)));
}

void drawLines(PageBuilder &page, const ChartLines &lines, int pen)
{
    for (const QLine &l : lines.axes)
        page.line(l.p1(), l.p2(), kBlack, pen);
    for (const QLine &l : lines.line)
        page.line(l.p1(), l.p2(), kGreen, pen);
    for (const QLine &l : lines.strokes)
        page.line(l.p1(), l.p2(), kBlack, pen);
    for (QPoint at : lines.dots)
        page.line(at - QPoint(1, 0), at + QPoint(1, 0), kRed, kDotPens * pen);
}

// The texts around the chart: the breaks' labels on the distance axis, the
// stages' names above the line and their times below the axis, and a number
// by the dot of each stage that finds no room for those, as many as the
// legend lists.
class ChartLabels
{
public:
    ChartLabels(const Frame &frame, const ChartArea &area, const ChartLines &lines, Placer &placer,
                PageBuilder &page);

    void placeBreakLabels();
    // Labels the stages that keep their labels, then the others as room
    // allows; returns the stages left without, in that order.
    QList<qsizetype> placeStageLabels();
    // Numbers the first of `unlabelled` that find room, at most `capacity`.
    void placeNumbers(const QList<qsizetype> &unlabelled, qsizetype capacity);
    // The numbered stages in order: the first is number 1.
    const QList<qsizetype> &marked() const { return m_marked; }
    void draw();

private:
    QList<QRect> stack(const QList<int> &xs, const QList<int> &bottoms, QSize size) const;
    QList<QRect> above(QPoint at, QSize size, bool keep) const;
    QLineF leaderOf(const QRect &name, QPoint at) const;
    QLineF tieBelow(QPoint at, const QRect &number) const;
    QRect findAbove(QPoint at, QSize size, bool keep) const;
    QRect findTime(QPoint at, QSize size) const;
    bool label(qsizetype i, bool keep);
    QRect findNumber(qsizetype i, QSize size);

    const Frame &m_frame;
    const ChartArea &m_area;
    const ChartLines &m_lines;
    Placer &m_placer;
    PageBuilder &m_page;
    QRect m_nameBounds;
    QRect m_timeBounds;
    int m_rise = 1;    // the step between the heights a name may take
    int m_nearest = 0; // a name higher above its dot needs a leader
    QList<std::pair<QString, QRect>> m_breakLabels;
    QList<QRect> m_names;
    QList<QRect> m_times;
    QList<QRect> m_numbers;
    QList<QLineF> m_leaders;
    QList<qsizetype> m_marked;
};

QList<QRect> lowestFirst(QList<QRect> rects)
{
    std::stable_sort(rects.begin(), rects.end(),
                     [](const QRect &a, const QRect &b) { return a.bottom() > b.bottom(); });
    return rects;
}

// What the label of a break says: the kilometres and the means.
QString breakText(const ProfilePoint &p)
{
    return kilometres(p.driven) + (p.vehicle == QLatin1Char('T')   ? kByTransfer
                                   : p.vehicle == QLatin1Char('O') ? kByBicycle
                                                                   : kByCar);
}

ChartLabels::ChartLabels(const Frame &frame, const ChartArea &area, const ChartLines &lines,
                         Placer &placer, PageBuilder &page)
    : m_frame(frame), m_area(area), m_lines(lines), m_placer(placer), m_page(page),
      m_nameBounds(QPoint(frame.margin, frame.headerBottom),
                   QPoint(frame.size.width() - frame.margin, area.bottom)),
      m_timeBounds(QPoint(frame.margin, area.timeTop),
                   QSize(frame.size.width() - 2 * frame.margin, kTimeRows * frame.labelHeight)),
      m_rise(std::max(1, frame.labelHeight / 2)), m_nearest(kNameLevels * m_rise),
      m_names(frame.stages.size()), m_times(frame.stages.size()), m_numbers(frame.stages.size()),
      m_leaders(frame.stages.size())
{
}

// Rectangles of a text of `size` at each of `xs`, from bottom edge
// `bottoms[k]` up to the header by half lines.
QList<QRect> ChartLabels::stack(const QList<int> &xs, const QList<int> &bottoms, QSize size) const
{
    QList<QRect> out;
    for (qsizetype k = 0; k < xs.size(); ++k) {
        for (int y = bottoms[k] - size.height(); y >= m_frame.headerBottom; y -= m_rise)
            out << QRect(QPoint(xs[k], y), size);
    }
    return out;
}

// Above the point `at` and clear of the line over their width: centred, to
// the right, to the left, close above the dot; a stage that must keep its
// label then has the lowest of them, however high.
QList<QRect> ChartLabels::above(QPoint at, QSize size, bool keep) const
{
    const Frame &f = m_frame;
    const QList<int> xs{at.x() - size.width() / 2, at.x() + f.dotRadius,
                        at.x() - f.dotRadius - size.width()};
    QList<int> bottoms;
    for (int x : xs) {
        const double over = lineTop(m_lines.lineF, x - f.pen, x + size.width() + f.pen);
        const int clear = std::isinf(over) ? m_area.bottom : int(std::floor(over)) - f.pen - f.gap;
        bottoms << std::min(clear, at.y() - f.dotRadius - f.gap);
    }
    const QList<QRect> all = stack(xs, bottoms, size);
    QList<QRect> near = all;
    near.removeIf(
        [&](const QRect &r) { return at.y() - f.dotRadius - f.gap - r.bottom() > m_nearest; });
    return keep ? near + lowestFirst(all) : near;
}

// A kept name far above its dot is tied to it by a leader that crosses no
// text.
QLineF ChartLabels::leaderOf(const QRect &name, QPoint at) const
{
    const Frame &f = m_frame;
    if (at.y() - f.dotRadius - f.gap - name.bottom() <= m_nearest)
        return QLineF();
    QLineF leader(QPointF(std::clamp(at.x(), name.left(), name.right()), name.bottom() + f.gap),
                  at);
    leader.setLength(leader.length() - 2 * f.dotRadius);
    return leader;
}

// A number below its dot is tied to it from its top.
QLineF ChartLabels::tieBelow(QPoint at, const QRect &number) const
{
    QLineF leader(at, QPointF(number.center().x(), number.top() - m_frame.gap));
    leader = QLineF(leader.p2(), leader.p1());
    leader.setLength(std::max(0.0, leader.length() - 2 * m_frame.dotRadius));
    return leader;
}

// The first place above the dot at `at` for a text of `size` whose leader,
// if it needs one, crosses no text; a null rectangle when there is none.
QRect ChartLabels::findAbove(QPoint at, QSize size, bool keep) const
{
    return m_placer.find(above(at, size, keep), m_nameBounds, [&](const QRect &r) {
        const QLineF leader = leaderOf(r, at);
        return leader.isNull() || m_placer.isClear(leader);
    });
}

// The first place in the rows below the axis for a time of `size` under the
// dot at `at`.
QRect ChartLabels::findTime(QPoint at, QSize size) const
{
    QList<QRect> candidates;
    for (int row = 0; row < kTimeRows; ++row) {
        for (int x : {at.x() - size.width() / 2, at.x() - m_frame.dotRadius,
                      at.x() + m_frame.dotRadius - size.width()})
            candidates << QRect(QPoint(x, m_area.timeTop + row * m_frame.labelHeight), size);
    }
    return m_placer.find(candidates, m_timeBounds);
}

// A break's label stands on the axis by its strokes, under the line when
// there is room, above it when not.
void ChartLabels::placeBreakLabels()
{
    const DistanceAxis &axis = m_area.axis;
    const int tick = m_lines.tick;
    for (qsizetype b = 0; b < axis.drives.size(); ++b) {
        const QString text = breakText(*axis.drives[b]);
        const QSize size = m_page.size(text, kLabelSize);
        const int x = axis.breakX(b);
        const int onAxis = m_area.bottom - tick - m_frame.pen - m_frame.gap;
        const QRect r = m_placer.find(
            lowestFirst(stack({x - size.width() / 2, x + 2 * tick, x - 2 * tick - size.width()},
                              {onAxis, onAxis, onAxis}, size)),
            m_nameBounds);
        if (!r.isNull()) {
            m_placer.block(r);
            m_breakLabels.append({text, r});
        }
    }
}

// A stage's label: its name above the line, its time below the axis, both
// or neither.
bool ChartLabels::label(qsizetype i, bool keep)
{
    const Stage &s = m_frame.stages[i];
    const QPoint at = m_lines.dots[i];
    QRect name, time;
    if (!s.point->place.isEmpty()) {
        name = findAbove(at, m_page.size(s.point->place, kLabelSize), keep);
        if (name.isNull())
            return false;
    }
    if (!s.time.isEmpty()) {
        time = findTime(at, m_page.size(s.time, kLabelSize));
        if (time.isNull())
            return false;
    }
    for (const QRect &r : {name, time}) {
        if (!r.isNull())
            m_placer.block(r);
    }
    if (!name.isNull())
        m_leaders[i] = leaderOf(name, at);
    if (!m_leaders[i].isNull())
        m_placer.block(m_leaders[i]);
    m_names[i] = name;
    m_times[i] = time;
    return true;
}

QList<qsizetype> ChartLabels::placeStageLabels()
{
    QList<qsizetype> unlabelled;
    const QList<qsizetype> kept = keptStages(m_frame.stages);
    for (qsizetype i : kept) {
        if (!label(i, true))
            unlabelled.append(i);
    }
    for (qsizetype i = 0; i < m_frame.stages.size(); ++i) {
        if (!kept.contains(i) && !label(i, false))
            unlabelled.append(i);
    }
    return unlabelled;
}

// The first place for stage `i`'s number of `size`: by its dot, or tied to
// it by a leader, which this sets.
QRect ChartLabels::findNumber(qsizetype i, QSize size)
{
    const QPoint at = m_lines.dots[i];
    const int r = m_frame.dotRadius + 1;
    const int w = size.width();
    const int h = size.height();
    QRect n = m_placer.find(
        {QRect(at.x() + r, at.y() - r - h, w, h), QRect(at.x() - r - w, at.y() - r - h, w, h),
         QRect(at.x() + r, at.y() + r, w, h), QRect(at.x() - r - w, at.y() + r, w, h)},
        m_nameBounds);
    if (!n.isNull())
        return n;
    // Where lines crowd the dot, the number stands higher, tied to it.
    n = findAbove(at, size, true);
    if (!n.isNull()) {
        m_leaders[i] = leaderOf(n, at);
        return n;
    }
    // Or below it, where a summit leaves room between its slopes.
    QList<QRect> below;
    for (int k = 1; k <= kNumberDrops; ++k) {
        for (int x : {at.x() - w / 2, at.x() + w, at.x() - 2 * w})
            below << QRect(x, at.y() + r + k * h, w, h);
    }
    n = m_placer.find(below, m_nameBounds,
                      [&](const QRect &rect) { return m_placer.isClear(tieBelow(at, rect)); });
    if (!n.isNull())
        m_leaders[i] = tieBelow(at, n);
    return n;
}

void ChartLabels::placeNumbers(const QList<qsizetype> &unlabelled, qsizetype capacity)
{
    const QSize size = m_page.size(QString::number(m_frame.stages.size()), kMarkSize);
    for (qsizetype i : unlabelled) {
        if (m_marked.size() >= capacity)
            break;
        const QRect n = findNumber(i, size);
        if (!m_leaders[i].isNull())
            m_placer.block(m_leaders[i]);
        if (n.isNull())
            continue;
        m_placer.block(n);
        m_numbers[i] = n;
        m_marked.append(i);
    }
    std::sort(m_marked.begin(), m_marked.end());
}

void ChartLabels::draw()
{
    const Frame &f = m_frame;
    for (const auto &[text, r] : m_breakLabels)
        m_page.text(text, kLabelSize, kBlack, r.topLeft());
    QList<QString> numberTexts(f.stages.size());
    for (qsizetype k = 0; k < m_marked.size(); ++k)
        numberTexts[m_marked[k]] = QString::number(k + 1);
    for (qsizetype i = 0; i < f.stages.size(); ++i) {
        const Stage &s = f.stages[i];
        if (!m_leaders[i].isNull())
            m_page.line(m_leaders[i].p1().toPoint(), m_leaders[i].p2().toPoint(), kLeaderGrey,
                        std::max(1, f.pen / 2));
        if (!m_names[i].isNull())
            m_page.text(s.point->place, kLabelSize, kBlack, m_names[i].topLeft());
        if (!m_times[i].isNull())
            m_page.text(s.time, kLabelSize, kRed, m_times[i].topLeft());
        if (!m_numbers[i].isNull()) {
            // Left of the dot, the number ends against it.
            const QRect &n = m_numbers[i];
            const QString &text = numberTexts[i];
            const int x = n.left() < m_lines.dots[i].x()
                              ? n.right() + 1 - m_page.size(text, kMarkSize).width()
                              : n.left();
            m_page.text(text, kMarkSize, kBlack, QPoint(x, n.top()));
        }
    }
}

// The legend, by columns: number, place, time.
void drawLegend(PageBuilder &page, const Frame &f, const ChartArea &a,
                const QList<qsizetype> &marked)
{
    if (marked.isEmpty())
        return;
    const LegendColumns c = legendColumns(f.stages, marked, f.gap, page);
    const qsizetype rows = ceilDiv(marked.size(), c.across(f.size.width() - 2 * f.margin));
    for (qsizetype k = 0; k < marked.size(); ++k) {
        const Stage &s = f.stages[marked[k]];
        const int x = f.margin + int(k / rows) * c.pitch();
        const int y = a.legendTop + f.gap + int(k % rows) * f.labelHeight;
        const QString number = QString::number(k + 1);
        page.text(number, kLabelSize, kBlack,
                  QPoint(x + c.number - page.size(number, kLabelSize).width(), y));
        page.text(s.point->place, kLabelSize, kBlack, QPoint(x + c.number + 2 * f.gap, y));
        page.text(s.time, kLabelSize, kRed, QPoint(x + c.number + c.place + 4 * f.gap, y));
    }
}

// The chart, its labels and its legend of `legendRows` rows, or nothing when
// there is no room for a chart. `wanted` is the number of stages that found
// no room for their labels.
QList<Op> chartLayout(const Frame &f, int legendRows, const TextMetrics &metrics, int &wanted)
{
    PageBuilder page(metrics);
    const std::optional<ChartArea> area = chartArea(f, legendRows, page);
    if (!area)
        return {};
    const ChartLines lines = chartLines(f, *area);
    Placer placer(f.pen / 2.0 + 1, f.gap);
    blockLines(placer, lines, f.dotRadius);
    drawGraduations(page, placer, f, *area);
    drawLines(page, lines, f.pen);

    ChartLabels labels(f, *area, lines, placer, page);
    labels.placeBreakLabels();
    const QList<qsizetype> unlabelled = labels.placeStageLabels();
    wanted = int(unlabelled.size());
    labels.placeNumbers(unlabelled, qsizetype(legendRows) * f.legendColumns);
    labels.draw();
    drawLegend(page, f, *area, labels.marked());
    return page.take();
}

// Header: the title on the left, the date on the right, or below it when
// they would meet, the totals below. Returns the header's bottom.
int layoutHeader(PageBuilder &page, const ProfileHeader &header, const QSize &size, int margin,
                 int gap)
{
    const QSize titleSize = page.size(header.title, kTitleSize);
    page.text(header.title, kTitleSize, kBlue, QPoint(margin, margin));
    const QSize dateSize = page.size(header.date, kDateSize);
    const bool dateBelow =
        margin + titleSize.width() + gap > size.width() - margin - dateSize.width();
    const int dateBottom = margin + titleSize.height() + (dateBelow ? gap + dateSize.height() : 0);
    page.text(header.date, kDateSize, kBlack,
              QPoint(size.width() - margin - dateSize.width(), dateBottom - dateSize.height()));
    int y = std::max(margin + titleSize.height(), dateBottom) + gap;
    const QString totals = RouteSheet::kClimbLabel + metres(header.totals.climb) +
                           QStringLiteral("    ") + RouteSheet::kDescentLabel +
                           metres(header.totals.descent);
    page.text(totals, kTotalsSize, kBlack, QPoint(margin, y));
    y += page.size(totals, kTotalsSize).height() + gap;
    return y;
}

// Measures what every layout of the chart shares, from the points, the
// ground and the page.
void measureFrame(Frame &f, const PageBuilder &page)
{
    f.labelHeight = page.size(QStringLiteral("0"), kLabelSize).height();
    f.graduationHeight = page.size(QStringLiteral("0"), kGraduationSize).height();
    f.dotRadius = kDotPens * f.pen / 2 + 1;
    f.clearance = f.gap + f.dotRadius;
    // Below the lowest altitude, whose graduation stands half below the axis.
    f.below = std::max(f.clearance, f.graduationHeight / 2 + f.gap);
    f.lowest = f.points.first().altitude;
    f.highest = f.lowest;
    qint64 farthest = kShortestDistanceAxis;
    for (const ProfilePoint &p : f.points) {
        f.lowest = std::min(f.lowest, p.altitude);
        f.highest = std::max(f.highest, p.altitude);
        farthest = std::max(farthest, p.distance);
    }
    for (const QPointF &g : f.ground) {
        f.lowest = std::min(f.lowest, qint64(std::floor(g.y())));
        f.highest = std::max(f.highest, qint64(std::ceil(g.y())));
    }
    f.lastDistanceHalf =
        page.size(kilometres(ceilDiv(farthest, kShortestDistanceStep) * kShortestDistanceStep),
                  kGraduationSize)
            .width() /
        2;
    QList<qsizetype> every(f.stages.size());
    std::iota(every.begin(), every.end(), 0);
    const int inside = f.size.width() - 2 * f.margin;
    f.legendColumns = legendColumns(f.stages, every, f.gap, page).across(inside);
    const int chartHeight = f.size.height() - f.margin - kTimeRows * f.labelHeight -
                            f.graduationHeight - 2 * f.gap - f.below -
                            (f.headerBottom + 2 * f.labelHeight + 2 * f.gap + kDotPens * f.pen);
    f.maximumLegendRows =
        std::max(0, std::min(int(f.size.height() * kLegendShare), chartHeight / 2) / f.labelHeight);
}

// The chart with a legend that takes the rows its marks need, which in turn
// depend on the chart's height that it leaves.
QList<Op> chartWithLegend(const Frame &f, const TextMetrics &metrics)
{
    QList<Op> chart;
    int rows = 0;
    for (int pass = 0; pass < kLegendPasses; ++pass) {
        int wanted = 0;
        QList<Op> attempt = chartLayout(f, rows, metrics, wanted);
        if (attempt.isEmpty())
            break;
        chart = std::move(attempt);
        const int needed = std::min(f.maximumLegendRows, int(ceilDiv(wanted, f.legendColumns)));
        if (needed <= rows)
            break;
        rows = needed;
    }
    return chart;
}

} // namespace

QList<qint64> Graduations::values() const
{
    QList<qint64> list;
    for (qint64 v = first; v <= last; v += step)
        list.append(v);
    return list;
}

QList<ProfilePoint> elevationProfile(const StringGrid &stages)
{
    using namespace Itinerary;
    QList<ProfilePoint> points;
    const int last = lastRouteSheetStage(stages);
    qint64 distance = 0;
    qint64 driven = 0;
    qint64 longestDrive = 0;
    QChar vehicle;
    for (int row = 1; row <= last; ++row) {
        if (row > 1) {
            // The leg that leads here leaves the row above.
            const QString &means = stages.cell(Means, row - 1);
            const QString &cell = stages.cell(Distance, row - 1);
            const QChar mode = means.isEmpty() ? QChar() : means.at(0);
            if (!cell.isEmpty()) {
                if (mode == QLatin1Char('M')) {
                    distance += parse_integer(cell);
                } else if (mode == QLatin1Char('V') || mode == QLatin1Char('T') ||
                           mode == QLatin1Char('O')) {
                    const qint64 leg = qint64(parse_integer(cell)) * kMetresPerKilometre;
                    distance += leg;
                    // Every means other than the feet may be shortened behind
                    // a break, so that the walk fills the page.
                    driven += leg;
                    if (leg > longestDrive) {
                        longestDrive = leg;
                        vehicle = mode;
                    }
                }
            }
        }
        const QString &altitude = stages.cell(Altitude, row);
        if (altitude.isEmpty())
            continue;
        points.append({distance, parse_integer(altitude), stages.cell(Place, row),
                       stages.cell(Time, row), row, driven, vehicle});
        driven = 0;
        longestDrive = 0;
        vehicle = QChar();
    }
    return points;
}

Graduations roundGraduations(qint64 low, qint64 high, int maxSteps)
{
    using ElevationProfile::kFlatMargin;
    if (high < low)
        std::swap(low, high);
    if (high == low) {
        low -= kFlatMargin;
        high += kFlatMargin;
    }
    const qint64 range = high - low;
    static constexpr int kMantissas[] = {1, 2, 5};
    qint64 step = 1;
    for (qint64 power = 1;; power *= 10) {
        bool found = false;
        for (int m : kMantissas) {
            step = m * power;
            if (ceilDiv(range, step) <= maxSteps) {
                found = true;
                break;
            }
        }
        if (found)
            break;
    }
    return {floorDiv(low, step) * step, ceilDiv(high, step) * step, step};
}

ProfileHeader profileHeader(const StringGrid &stages, const QString &title, const QString &date)
{
    return {.title = title,
            .date = date,
            .totals = routeSheetTotals(stages, lastRouteSheetStage(stages)),
            .ground = {}};
}

QList<SheetOperation> profileLayout(const QList<ProfilePoint> &points, const ProfileHeader &header,
                                    const QSize &size, const TextMetrics &metrics)
{
    PageBuilder page(metrics);
    const int shorter = std::min(size.width(), size.height());
    const int margin = int(std::lround(shorter * kMarginShare));
    const int gap = std::max(1, int(std::lround(shorter * kGapShare)));
    const int pen = std::max(kMinimumPen, size.width() / kWidthPerPen);
    const int headerBottom = layoutHeader(page, header, size, margin, gap);
    if (points.size() < kMinimumPoints) {
        page.text(kTooFewAltitudes, kTotalsSize, kRed, QPoint(margin, headerBottom + gap));
        return page.take();
    }

    Frame f{points, header.ground, stagesOf(points), size, margin, gap, pen, headerBottom};
    measureFrame(f, page);
    return page.take() + chartWithLegend(f, metrics);
}
