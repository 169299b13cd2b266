#include "arealayout.h"

#include "data/quorerror.h"

#include <QStringList>

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
    constexpr int kWholeLimit = std::numeric_limits<int>::max() / 2;
    constexpr double kLimit = kWholeLimit;
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

// `text` as it fits in `room` device pixels: whole, or cut and ended with an
// ellipsis; nothing when not even that fits.
QString shortened(const QString &text, int room, const TextMetrics &metrics)
{
    if (metrics.textSize(text, kTitleSize).width() <= room)
        return text;
    const QString ellipsis(QChar(0x2026));
    qsizetype fits = 0; // the longest cut that fits, found by halving
    for (qsizetype low = 1, high = text.size() - 1; low <= high;) {
        const qsizetype middle = (low + high) / 2;
        if (metrics.textSize(text.left(middle) + ellipsis, kTitleSize).width() <= room) {
            fits = middle;
            low = middle + 1;
        } else {
            high = middle - 1;
        }
    }
    return fits > 0 ? text.left(fits).trimmed() + ellipsis : QString();
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

bool AreaPrint::fileGivesResolution(quint8 unitsCode, quint16 xdens, quint16 ydens)
{
    return (unitsCode == kDotsPerInch || unitsCode == kDotsPerCentimetre) && xdens > 0 &&
           ydens > 0;
}

ScanResolution AreaPrint::scanResolution(const AreaMap &map)
{
    if (fileGivesResolution(map.unitsCode, map.xdens, map.ydens))
        return {dotsPerInch(map.xdens, map.unitsCode), dotsPerInch(map.ydens, map.unitsCode)};
    if (map.unitsCode != kDotsPerInch && map.unitsCode != kDotsPerCentimetre &&
        map.givenDotsPerInch > 0 && std::isfinite(map.givenDotsPerInch))
        return {map.givenDotsPerInch, map.givenDotsPerInch};
    throw QuorError(kNoDensity);
}

qint64 AreaPrint::trueScale(const MapTransform &t, const ScanResolution &dpi)
{
    constexpr double kMetresPerInch = kCentimetresPerInch / 100;
    const double across = metresPerPixelAcross(t) * dpi.x / kMetresPerInch;
    const double down = metresPerPixelDown(t) * dpi.y / kMetresPerInch;
    const double scale = std::round((across + down) / 2);
    return std::isfinite(scale) ? clampToInt(scale) : 0;
}

QString AreaPrint::impliedScales(const MapTransform &t)
{
    QStringList scales;
    for (int dpi : kUsualResolutions)
        scales << QStringLiteral("%1 ppp : %2")
                      .arg(dpi)
                      .arg(scaleText(trueScale(t, {double(dpi), double(dpi)})));
    return scales.join(QStringLiteral("\n"));
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

namespace {

// Whole picture pixels that `dots` device pixels hold at the scan's
// resolution, so that a page never draws beyond its printable area.
qint64 pixelsOnPage(int dots, int resolution, double scanDpi)
{
    return resolution > 0 ? qint64(std::floor(dots * scanDpi / resolution)) : 0;
}

// Where page `index` of `count` along one axis starts: pages of `cell`
// pixels that share `overlap`, together centred on [first, first + length)
// and moved inside the picture's `side` where it is long enough. Where it is
// not, the pages share more so that the last ends with the map, as one lays
// out sheets by hand.
qint64 pageStart(qint64 index, qint64 first, qint64 length, qint64 count, qint64 cell,
                 qint64 overlap, qint64 side)
{
    const qint64 covered = cell + (count - 1) * (cell - overlap);
    if (covered <= side) {
        const qint64 start = std::clamp<qint64>(first + (length - covered) / 2, 0, side - covered);
        return start + index * (cell - overlap);
    }
    if (count == 1 || cell >= side)
        return 0;
    return index * (side - cell) / (count - 1);
}

} // namespace

AreaGrid areaGrid(const AreaMap &map, const QRect &area, const QSize &printable, int resolution,
                  double overlapCm)
{
    using namespace AreaPrint;
    const ScanResolution dpi = scanResolution(map);
    AreaGrid grid;
    grid.width = printable.width();
    grid.headerHeight = dots(kHeaderCm, resolution);
    const int mapWidth = printable.width();
    const int mapHeight = printable.height() - grid.headerHeight - dots(kFooterCm, resolution);
    const qint64 cellWidth = pixelsOnPage(mapWidth, resolution, dpi.x);
    const qint64 cellHeight = pixelsOnPage(mapHeight, resolution, dpi.y);
    if (cellWidth <= 0 || cellHeight <= 0 || area.isEmpty())
        throw QuorError(kPageTooSmall);
    const double overlapInches = std::max(0.0, overlapCm) / kCentimetresPerInch;
    // The overlap leaves at least half a page of new ground on each page.
    const qint64 overlapX =
        std::min<qint64>(clampToInt(std::lround(overlapInches * dpi.x)), cellWidth / 2);
    const qint64 overlapY =
        std::min<qint64>(clampToInt(std::lround(overlapInches * dpi.y)), cellHeight / 2);
    // Never more pages than the whole picture needs.
    const qint64 columns = std::min(pagesAlong(area.width(), cellWidth, overlapX),
                                    pagesAlong(map.picture.width(), cellWidth, overlapX));
    const qint64 rows = std::min(pagesAlong(area.height(), cellHeight, overlapY),
                                 pagesAlong(map.picture.height(), cellHeight, overlapY));
    if (columns * rows > kMaximumPages)
        throw QuorError(tooManyPages(columns * rows));
    grid.columns = int(columns);
    grid.rows = int(rows);
    const QRect picture(QPoint(0, 0), map.picture);
    const int count = grid.rows * grid.columns;
    for (int r = 0; r < grid.rows; ++r) {
        for (int c = 0; c < grid.columns; ++c) {
            AreaPage page;
            page.row = r + 1;
            page.column = c + 1;
            page.number = r * grid.columns + c + 1;
            const QRect cell(int(pageStart(c, area.left(), area.width(), columns, cellWidth,
                                           overlapX, map.picture.width())),
                             int(pageStart(r, area.top(), area.height(), rows, cellHeight,
                                           overlapY, map.picture.height())),
                             int(cellWidth), int(cellHeight));
            page.source = cell.intersected(picture);
            page.target = QRect(printed(page.source.left() - cell.left(), resolution, dpi.x),
                                grid.headerHeight +
                                    printed(page.source.top() - cell.top(), resolution, dpi.y),
                                printed(page.source.width(), resolution, dpi.x),
                                printed(page.source.height(), resolution, dpi.y));
            page.label = pageLabel(page.number, count, page.row, page.column);
            grid.pages.append(page);
        }
    }
    grid.scale = trueScale(map.transform, dpi);
    const double dotsPerMetre = double(resolution) / dpi.x / metresPerPixelAcross(map.transform);
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
    const QSize datum = metrics.textSize(map.datum, kTitleSize);
    const int space = metrics.textSize(QStringLiteral("  "), kTitleSize).width();
    for (const AreaPage &page : grid.pages) {
        if (page.number > 1) {
            Op newPage;
            newPage.kind = Op::Kind::NewPage;
            ops.append(newPage);
        }
        const QRect &target = page.target;
        // The band above the picture, across the printable width: the page's
        // place in the grid on the right, the title on the left, shortened to
        // leave room for the datum, which stands in the middle when it can.
        const QSize label = metrics.textSize(page.label, kTitleSize);
        const int textTop = std::max(0, grid.headerHeight - label.height()) / 2;
        const int labelLeft = std::max(0, grid.width - label.width());
        const int titleRoom = std::max(0, labelLeft - datum.width() - 2 * space);
        const QString title = shortened(map.title, titleRoom, metrics);
        const int titleRight = metrics.textSize(title, kTitleSize).width();
        const int centred = grid.width / 2 - datum.width() / 2;
        const int datumLeft =
            centred >= titleRight + space && centred + datum.width() + space <= labelLeft
                ? centred
                : std::max(titleRight + space, labelLeft - space - datum.width());
        text(ops, title, kTitleSize, QPoint(0, textTop));
        text(ops, map.datum, kTitleSize, QPoint(datumLeft, textTop));
        text(ops, page.label, kTitleSize, QPoint(labelLeft, textTop), kRed);

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
