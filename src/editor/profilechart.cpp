#include "profilelabels.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>

namespace ElevationProfile::Chart {

namespace {

// The page's margin and gaps as fractions of its smaller side.
constexpr double kMarginShare = 0.05;
constexpr double kGapShare = 0.008;
// The line's pen width is the page's width over this, at least kMinimumPen.
constexpr int kWidthPerPen = 400;
constexpr int kMinimumPen = 2;

constexpr int kTitleSize = 18;
constexpr int kDateSize = 14;
constexpr int kTotalsSize = 12;
// The legend of the numbered marks takes at most this share of the page's
// height, and at most half of the chart's.
constexpr double kLegendShare = 0.2;
// Its columns are this many gaps apart.
constexpr int kLegendColumnGaps = 4;
// Layouts tried to size the legend to the marks it lists.
constexpr int kLegendPasses = 3;

// The stages of the points, first first.
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

} // namespace ElevationProfile::Chart

QList<SheetOperation> profileLayout(const QList<ProfilePoint> &points, const ProfileHeader &header,
                                    const QSize &size, const TextMetrics &metrics)
{
    using namespace ElevationProfile;
    using namespace ElevationProfile::Chart;
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
