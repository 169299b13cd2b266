#include "profilelabels.h"

#include <algorithm>
#include <cmath>

namespace ElevationProfile::Chart {

namespace {

// A break of the distance axis is this share of the chart's width, at least
// room for a graduation on either side, and the breaks together take at most
// a third of the chart.
constexpr double kBreakShare = 0.05;
constexpr int kBreaksShareDivisor = 3;

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

// The first slanting segment of the line over x.
QLineF segmentAt(const QList<QLineF> &line, double x)
{
    for (const QLineF &s : line) {
        if (s.dx() != 0 && std::min(s.x1(), s.x2()) <= x && x <= std::max(s.x1(), s.x2()))
            return s;
    }
    return QLineF(x, line.last().y2(), x + 1, line.last().y2());
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

} // namespace

QString metres(qint64 value)
{
    return QString::number(value) + QStringLiteral(" m");
}

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

int scaled(qint64 value, const Graduations &g, int from, int to)
{
    const double share = double(value - g.first) / double(g.last - g.first);
    return from + int(std::lround(share * (to - from)));
}

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

} // namespace ElevationProfile::Chart
