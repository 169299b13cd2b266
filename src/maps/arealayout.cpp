#include "arealayout.h"

#include "data/quorerror.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using Op = SheetOperation;

constexpr int kTitleSize = 10;
constexpr int kScaleSize = 10;
// The scale bar is drawn this many thin pens thick, its end ticks as high as
// its label.
constexpr int kBarPens = 3;
constexpr int kFramePen = 1;
const QColor kBlack(0, 0, 0);
const QColor kRed(255, 0, 0);

int dots(double centimetres, int resolution)
{
    return int(std::lround(centimetres / AreaPrint::kCentimetresPerInch * resolution));
}

qint64 clampToInt(double value)
{
    constexpr double kLimit = std::numeric_limits<int>::max() / 2;
    return qint64(std::clamp(value, -kLimit, kLimit));
}

int printed(int pixels, int resolution, double dotsPerInch)
{
    return int(std::lround(double(pixels) * resolution / dotsPerInch));
}

// How many pages of `cell` pixels sharing `overlap` pixels cover `length`.
qint64 pagesAlong(qint64 length, qint64 cell, qint64 overlap)
{
    if (length <= cell)
        return 1;
    const qint64 step = cell - overlap;
    return 1 + (length - cell + step - 1) / step;
}

void text(QList<Op> &ops, const QString &text, int pointSize, QPoint topLeft,
          const QColor &colour = kBlack)
{
    Op op;
    op.kind = Op::Kind::Text;
    op.text = text;
    op.pointSize = pointSize;
    op.colour = colour;
    op.from = topLeft;
    ops.append(op);
}

void line(QList<Op> &ops, QPoint from, QPoint to, int width)
{
    Op op;
    op.kind = Op::Kind::Rule;
    op.colour = kBlack;
    op.penWidth = width;
    op.from = from;
    op.to = to;
    ops.append(op);
}

} // namespace

QString AreaPrint::tooManyPages(qint64 pages)
{
    return QStringLiteral("La zone demande %1 pages : choisissez une marge plus petite ou un "
                          "papier plus grand.")
        .arg(pages);
}

QString AreaPrint::pageLabel(int number, int count, int row, int column)
{
    return QStringLiteral("%1/%2, ligne %3, colonne %4")
        .arg(number)
        .arg(count)
        .arg(row)
        .arg(column);
}

double AreaPrint::dotsPerInch(quint16 density, quint8 unitsCode)
{
    return unitsCode == kDotsPerCentimetre ? density * kCentimetresPerInch : double(density);
}

QString AreaPrint::scaleBarText(int metres)
{
    if (metres % int(kMetresPerKilometre) == 0)
        return QStringLiteral("%1 km").arg(metres / int(kMetresPerKilometre));
    return QStringLiteral("%1 m").arg(metres);
}

QString AreaPrint::scaleText(qint64 scale)
{
    return QStringLiteral("1:%1").arg(scale);
}

double metresPerPixelAcross(const MapTransform &t)
{
    return std::hypot(t.c[1], t.d[1]);
}

double metresPerPixelDown(const MapTransform &t)
{
    return std::hypot(t.c[2], t.d[2]);
}

QRect routeArea(const AreaMap &map, const QList<QPoint> &waypoints, double marginKm)
{
    using namespace AreaPrint;
    if (waypoints.isEmpty())
        throw QuorError(kNoWaypoint);
    const double across = metresPerPixelAcross(map.transform);
    const double down = metresPerPixelDown(map.transform);
    if (!(across > 0) || !(down > 0) || !std::isfinite(across) || !std::isfinite(down))
        throw QuorError(kNotCalibrated);

    qint64 left = waypoints.first().x(), right = left;
    qint64 top = waypoints.first().y(), bottom = top;
    for (const QPoint &p : waypoints) {
        left = std::min<qint64>(left, p.x());
        right = std::max<qint64>(right, p.x());
        top = std::min<qint64>(top, p.y());
        bottom = std::max<qint64>(bottom, p.y());
    }
    const QRect picture(QPoint(0, 0), map.picture);
    const auto clipped = [&](qint64 l, qint64 t, qint64 r, qint64 b) {
        return QRect(QPoint(int(std::clamp<qint64>(l, 0, picture.right() + 1)),
                            int(std::clamp<qint64>(t, 0, picture.bottom() + 1))),
                     QPoint(int(std::clamp<qint64>(r, -1, picture.right())),
                            int(std::clamp<qint64>(b, -1, picture.bottom()))));
    };
    // A route none of whose box lies on the picture has nothing of its own to
    // print, however wide the margin.
    if (!clipped(left, top, right, bottom).isValid())
        throw QuorError(kOutsideMap);
    const double metres = std::max(0.0, marginKm) * kMetresPerKilometre;
    const qint64 mx = clampToInt(std::ceil(metres / across));
    const qint64 my = clampToInt(std::ceil(metres / down));
    return clipped(left - mx, top - my, right + mx, bottom + my);
}

AreaGrid areaGrid(const AreaMap &map, const QRect &area, const QSize &printable, int resolution,
                  double overlapCm)
{
    using namespace AreaPrint;
    if (map.xdens == 0 || map.ydens == 0)
        throw QuorError(kNoDensity);
    AreaGrid grid;
    grid.headerHeight = dots(kHeaderCm, resolution);
    const int mapWidth = printable.width();
    const int mapHeight = printable.height() - grid.headerHeight - dots(kFooterCm, resolution);
    const double xdpi = dotsPerInch(map.xdens, map.unitsCode);
    const double ydpi = dotsPerInch(map.ydens, map.unitsCode);
    // Whole picture pixels per page, so that a page never draws beyond its
    // printable area.
    const qint64 cellWidth = resolution > 0 ? qint64(std::floor(mapWidth * xdpi / resolution)) : 0;
    const qint64 cellHeight =
        resolution > 0 ? qint64(std::floor(mapHeight * ydpi / resolution)) : 0;
    if (cellWidth <= 0 || cellHeight <= 0 || area.isEmpty())
        throw QuorError(kPageTooSmall);
    const double overlapInches = std::max(0.0, overlapCm) / kCentimetresPerInch;
    // The overlap leaves at least half a page of new ground on each page.
    const qint64 overlapX =
        std::min<qint64>(clampToInt(std::lround(overlapInches * xdpi)), cellWidth / 2);
    const qint64 overlapY =
        std::min<qint64>(clampToInt(std::lround(overlapInches * ydpi)), cellHeight / 2);
    const qint64 columns = pagesAlong(area.width(), cellWidth, overlapX);
    const qint64 rows = pagesAlong(area.height(), cellHeight, overlapY);
    if (columns * rows > kMaximumPages)
        throw QuorError(tooManyPages(columns * rows));
    grid.columns = int(columns);
    grid.rows = int(rows);

    const int count = grid.rows * grid.columns;
    for (int r = 0; r < grid.rows; ++r) {
        for (int c = 0; c < grid.columns; ++c) {
            AreaPage page;
            page.row = r + 1;
            page.column = c + 1;
            page.number = r * grid.columns + c + 1;
            const qint64 x = area.left() + c * (cellWidth - overlapX);
            const qint64 y = area.top() + r * (cellHeight - overlapY);
            const int width = int(std::min<qint64>(cellWidth, area.right() + 1 - x));
            const int height = int(std::min<qint64>(cellHeight, area.bottom() + 1 - y));
            page.source = QRect(int(x), int(y), width, height);
            page.target = QRect(0, grid.headerHeight, printed(width, resolution, xdpi),
                                printed(height, resolution, ydpi));
            page.label = pageLabel(page.number, count, page.row, page.column);
            grid.pages.append(page);
        }
    }
    // Printed at one pixel to one dot of the scan, the scale is that of its
    // density in the file's own unit; a file that gives none is read in
    // dots per inch, as the pages are.
    constexpr quint8 kDotsPerInch = 1;
    grid.scale = MapScale(map.transform.c[1], map.transform.d[2], map.xdens, map.ydens,
                          map.unitsCode == kDotsPerCentimetre ? kDotsPerCentimetre : kDotsPerInch);
    const double dotsPerMetre = double(resolution) / xdpi / metresPerPixelAcross(map.transform);
    for (int metres : kScaleBarChoices) {
        grid.scaleBarMetres = metres;
        grid.scaleBarDots = int(std::lround(metres * dotsPerMetre));
        // Half the width is left for the bar's texts.
        if (grid.scaleBarDots <= mapWidth / 2)
            break;
    }
    return grid;
}

QList<SheetOperation> areaLayout(const AreaMap &map, const AreaGrid &grid,
                                 const TextMetrics &metrics)
{
    using namespace AreaPrint;
    QList<Op> ops;
    const QString scale = scaleText(grid.scale);
    for (const AreaPage &page : grid.pages) {
        if (page.number > 1) {
            Op newPage;
            newPage.kind = Op::Kind::NewPage;
            ops.append(newPage);
        }
        const QRect &target = page.target;
        // Above the picture: the title on the left, the datum in the middle,
        // the page's place in the grid on the right.
        const QSize label = metrics.textSize(page.label, kTitleSize);
        const int textTop = std::max(0, grid.headerHeight - label.height()) / 2;
        text(ops, map.title, kTitleSize, QPoint(target.left(), textTop));
        const QSize datum = metrics.textSize(map.datum, kTitleSize);
        text(ops, map.datum, kTitleSize, QPoint(target.center().x() - datum.width() / 2, textTop));
        text(ops, page.label, kTitleSize, QPoint(target.right() + 1 - label.width(), textTop),
             kRed);

        Op picture;
        picture.kind = Op::Kind::Picture;
        picture.source = page.source;
        picture.target = target;
        ops.append(picture);
        line(ops, target.topLeft(), target.topRight(), kFramePen);
        line(ops, target.topRight(), target.bottomRight(), kFramePen);
        line(ops, target.bottomRight(), target.bottomLeft(), kFramePen);
        line(ops, target.bottomLeft(), target.topLeft(), kFramePen);

        // Below it: one kilometre of ground, then the scale.
        const QString barText = scaleBarText(grid.scaleBarMetres);
        const QSize bar = metrics.textSize(barText, kScaleSize);
        const int gap = bar.height() / 2;
        const int barY = target.bottom() + gap + bar.height() / 2;
        const int barLeft = target.left();
        const int barRight = barLeft + grid.scaleBarDots;
        line(ops, QPoint(barLeft, barY), QPoint(barRight, barY), kBarPens * kFramePen);
        line(ops, QPoint(barLeft, barY - gap), QPoint(barLeft, barY + gap), kFramePen);
        line(ops, QPoint(barRight, barY - gap), QPoint(barRight, barY + gap), kFramePen);
        text(ops, barText, kScaleSize, QPoint(barRight + gap, barY - bar.height() / 2));
        text(ops, scale, kScaleSize,
             QPoint(barRight + 3 * gap + bar.width(), barY - bar.height() / 2));
    }
    return ops;
}
