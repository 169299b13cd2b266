#include "elevationprofile.h"

#include "data/itinerary.h"
#include "data/stringgrid.h"
#include "data/textforms.h"

#include <algorithm>
#include <cmath>

namespace {

using Op = SheetOperation;

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

const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 128, 0);
const QColor kBlack(0, 0, 0);
const QColor kGridGrey(200, 200, 200);

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
    for (int row = 1; row <= last; ++row) {
        if (row > 1) {
            // The leg that leads here leaves the row above.
            const QString &means = stages.cell(Means, row - 1);
            const QString &cell = stages.cell(Distance, row - 1);
            const QChar mode = means.isEmpty() ? QChar() : means.at(0);
            if (!cell.isEmpty()) {
                if (mode == QLatin1Char('M'))
                    distance += parse_integer(cell);
                else if (mode == QLatin1Char('V') || mode == QLatin1Char('T') ||
                         mode == QLatin1Char('O'))
                    distance += qint64(parse_integer(cell)) * kMetresPerKilometre;
            }
        }
        const QString &altitude = stages.cell(Altitude, row);
        if (altitude.isEmpty())
            continue;
        points.append({distance, parse_integer(altitude), stages.cell(Place, row),
                       stages.cell(Time, row), row});
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
    return {title, date, routeSheetTotals(stages, lastRouteSheetStage(stages))};
}

QList<SheetOperation> profileLayout(const QList<ProfilePoint> &points, const ProfileHeader &header,
                                    const QSize &size, const TextMetrics &metrics)
{
    PageBuilder page(metrics);
    const int shorter = std::min(size.width(), size.height());
    const int margin = int(std::lround(shorter * kMarginShare));
    const int gap = std::max(1, int(std::lround(shorter * kGapShare)));
    const int pen = std::max(kMinimumPen, size.width() / kWidthPerPen);

    // Header: the title on the left, the date on the right, the totals below.
    const QSize titleSize = page.size(header.title, kTitleSize);
    page.text(header.title, kTitleSize, kBlue, QPoint(margin, margin));
    const QSize dateSize = page.size(header.date, kDateSize);
    page.text(header.date, kDateSize, kBlack,
              QPoint(size.width() - margin - dateSize.width(),
                     margin + titleSize.height() - dateSize.height()));
    int y = margin + std::max(titleSize.height(), dateSize.height()) + gap;
    const QString totals = RouteSheet::kClimbLabel + metres(header.totals.climb) +
                           QStringLiteral("    ") + RouteSheet::kDescentLabel +
                           metres(header.totals.descent);
    page.text(totals, kTotalsSize, kBlack, QPoint(margin, y));
    y += page.size(totals, kTotalsSize).height() + gap;

    if (points.size() < ElevationProfile::kMinimumPoints) {
        page.text(ElevationProfile::kTooFewAltitudes, kTotalsSize, kRed, QPoint(margin, y + gap));
        return page.take();
    }

    qint64 lowest = points.first().altitude;
    qint64 highest = lowest;
    qint64 farthest = 0;
    for (const ProfilePoint &p : points) {
        lowest = std::min(lowest, p.altitude);
        highest = std::max(highest, p.altitude);
        farthest = std::max(farthest, p.distance);
    }
    const Graduations altitudes = roundGraduations(lowest, highest);
    const Graduations distances =
        roundGraduations(0, farthest > 0 ? farthest : ElevationProfile::kShortestDistanceAxis);

    // The chart leaves room for the altitude labels on the left, the place
    // names above, the distances and the times of day below.
    const int labelHeight = page.size(QStringLiteral("0"), kLabelSize).height();
    const int graduationHeight = page.size(QStringLiteral("0"), kGraduationSize).height();
    int widestAltitude = 0;
    for (qint64 v : altitudes.values())
        widestAltitude = std::max(widestAltitude, page.size(metres(v), kGraduationSize).width());
    const int lastDistanceHalf = page.size(metres(distances.last), kGraduationSize).width() / 2;
    const QRect chart(
        QPoint(margin + widestAltitude + gap, y + 2 * labelHeight + 2 * gap + kDotPens * pen),
        QPoint(size.width() - margin - lastDistanceHalf,
               size.height() - margin - graduationHeight - 2 * labelHeight - 3 * gap));
    if (chart.width() <= 0 || chart.height() <= 0)
        return page.take();

    auto xOf = [&](qint64 d) { return scaled(d, distances, chart.left(), chart.right()); };
    auto yOf = [&](qint64 a) { return scaled(a, altitudes, chart.bottom(), chart.top()); };

    for (qint64 v : altitudes.values()) {
        const int gy = yOf(v);
        page.line(QPoint(chart.left(), gy), QPoint(chart.right(), gy), kGridGrey, 1);
        const QString text = metres(v);
        const QSize s = page.size(text, kGraduationSize);
        page.text(text, kGraduationSize, kBlack,
                  QPoint(chart.left() - gap - s.width(), gy - s.height() / 2));
    }
    for (qint64 v : distances.values()) {
        const int gx = xOf(v);
        page.line(QPoint(gx, chart.top()), QPoint(gx, chart.bottom()), kGridGrey, 1);
        const QString text = metres(v);
        const QSize s = page.size(text, kGraduationSize);
        page.text(text, kGraduationSize, kBlack, QPoint(gx - s.width() / 2, chart.bottom() + gap));
    }
    page.line(chart.bottomLeft(), chart.topLeft(), kBlack, pen);
    page.line(chart.bottomLeft(), chart.bottomRight(), kBlack, pen);

    for (qsizetype i = 1; i < points.size(); ++i)
        page.line(QPoint(xOf(points[i - 1].distance), yOf(points[i - 1].altitude)),
                  QPoint(xOf(points[i].distance), yOf(points[i].altitude)), kGreen, pen);
    // A stop is two stages at one place: one mark, its arrival and departure
    // times together. Neighbouring labels alternate between two rows so that
    // close places do not print over each other.
    const int timeTop = chart.bottom() + graduationHeight + 2 * gap;
    int mark = 0;
    for (qsizetype i = 0; i < points.size(); ++mark) {
        const ProfilePoint &p = points[i];
        qsizetype last = i;
        while (last + 1 < points.size() && points[last + 1].distance == p.distance &&
               points[last + 1].altitude == p.altitude && points[last + 1].place == p.place)
            ++last;
        QString time = p.time;
        if (!points[last].time.isEmpty() && points[last].time != p.time)
            time += QStringLiteral(" - ") + points[last].time;
        i = last + 1;

        const int row = (mark % 2) * labelHeight;
        const QPoint at(xOf(p.distance), yOf(p.altitude));
        page.line(at - QPoint(1, 0), at + QPoint(1, 0), kRed, kDotPens * pen);
        const QSize name = page.size(p.place, kLabelSize);
        page.text(
            p.place, kLabelSize, kBlack,
            QPoint(at.x() - name.width() / 2, at.y() - gap - kDotPens * pen - name.height() - row));
        const QSize timeSize = page.size(time, kLabelSize);
        page.text(time, kLabelSize, kRed, QPoint(at.x() - timeSize.width() / 2, timeTop + row));
    }
    return page.take();
}
