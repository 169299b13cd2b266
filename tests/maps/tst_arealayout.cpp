#include "app/exampleproject.h"
#include "common/testmain.h"
#include "common/testutil.h"
#include "data/linelist.h"
#include "data/quorerror.h"
#include "data/routefiles.h"
#include "editor/sheetpainter.h"
#include "maps/areaprint.h"
#include "maps/calibration.h"
#include "platform/fakeplatform.h"

#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTransform>

#include <cmath>

namespace {

using Op = SheetOperation;

constexpr double kPointsPerInch = 72.0;
constexpr double kMetresPerInch = 0.0254;

class FixedMetrics : public TextMetrics
{
public:
    QSize textSize(const QString &text, int pointSize) const override
    {
        return QSize(int(text.size()) * pointSize, 2 * pointSize);
    }
};

// A 12000 x 9000 scan of a 1:25 000 sheet at 300 dots per inch, north up:
// 25 400 m across, 2.1167 m a pixel.
AreaMap scan()
{
    AreaMap map;
    map.picture = QSize(12000, 9000);
    map.xdens = map.ydens = 300;
    map.title = QStringLiteral("Sentier du lac");
    map.datum = QStringLiteral("ED50");
    const bool accepted =
        ComputeTransform(map.transform, {0, 0, 500000, 5000000}, {12000, 9000, 525400, 4980950},
                         {0, 9000, 500000, 4980950});
    Q_ASSERT(accepted);
    return map;
}

QStringList labels(const AreaGrid &grid)
{
    QStringList out;
    for (const AreaPage &p : grid.pages)
        out << p.label;
    return out;
}

template <typename F> QString refusal(F &&f)
{
    try {
        f();
    } catch (const QuorError &e) {
        return e.text();
    }
    return QString();
}

// What QPrinter wrote into a PDF file: each page's media box and every
// picture drawn on it, its size in pixels and the rectangle it fills in
// points. Qt names a picture after its object number.
struct PdfPicture
{
    QSize pixels;
    QRectF points;
};
struct PdfPage
{
    QSizeF media;
    QList<PdfPicture> pictures;
};

QList<PdfPage> readPdf(const QByteArray &pdf)
{
    const QString text = QString::fromLatin1(pdf);
    auto object = [&](const QString &number) {
        const QString head = QLatin1Char('\n') + number + QStringLiteral(" 0 obj");
        const qsizetype at = text.indexOf(head) + head.size();
        return pdf.mid(at, text.indexOf(QStringLiteral("endobj"), at) - at);
    };
    static const QRegularExpression pageObject(
        QStringLiteral("/Type /Page\\s[^>]*/Contents (\\d+) 0 R[^>]*/MediaBox \\[0 0 ([0-9.]+) "
                       "([0-9.]+)\\]"));
    static const QRegularExpression size(QStringLiteral("/Width (\\d+)\\s*/Height (\\d+)"));
    QList<PdfPage> pages;
    for (auto it = pageObject.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        PdfPage page{QSizeF(m.captured(2).toDouble(), m.captured(3).toDouble()), {}};
        const QByteArray body = object(m.captured(1));
        const qsizetype s = body.indexOf("stream\n") + 7;
        const QByteArray data = body.mid(s, body.lastIndexOf("endstream") - s);
        QByteArray sized(4, '\0');
        sized[3] = char(1); // qUncompress grows a short guess
        QList<QTransform> stack;
        QTransform ctm;
        const QList<QByteArray> tokens = qUncompress(sized + data).simplified().split(' ');
        for (qsizetype i = 6; i < tokens.size(); ++i) {
            const QByteArray &op = tokens.at(i);
            if (op == "q") {
                stack << ctm;
            } else if (op == "Q" && !stack.isEmpty()) {
                ctm = stack.takeLast();
            } else if (op == "cm") {
                double v[6];
                for (int j = 0; j < 6; ++j)
                    v[j] = tokens.at(i - 6 + j).toDouble();
                ctm = QTransform(v[0], v[1], v[2], v[3], v[4], v[5]) * ctm;
            } else if (op == "Do") {
                // A picture fills the unit square.
                const auto px = size.match(
                    QString::fromLatin1(object(QString::fromLatin1(tokens.at(i - 1).mid(3)))));
                page.pictures << PdfPicture{QSize(px.captured(1).toInt(), px.captured(2).toInt()),
                                            ctm.mapRect(QRectF(0, 0, 1, 1))};
            }
        }
        pages << page;
    }
    return pages;
}

} // namespace

// The route's area over pages: the grid, the scale and the layout.
class AreaLayoutTest : public QObject
{
    Q_OBJECT
private slots:
    void areaAroundTheRoute()
    {
        const AreaMap map = scan();
        // One kilometre is 473 pixels (2.1167 m each) on either side.
        QCOMPARE(routeArea(map, {{6000, 4500}}, 1.0),
                 QRect(QPoint(5527, 4027), QPoint(6473, 4973)));
        QCOMPARE(routeArea(map, {{3000, 2000}, {5000, 1000}, {4000, 2500}}, 0.5),
                 QRect(QPoint(2763, 763), QPoint(5237, 2737)));
        // Clipped to the picture; a route partly off the map prints its part.
        QCOMPARE(routeArea(map, {{100, 8900}, {-400, 9500}}, 1.0),
                 QRect(QPoint(0, 8900 - 473), QPoint(100 + 473, 8999)));
        QCOMPARE(refusal([&] {
                     routeArea(map, {{-600, 100}, {-900, 200}}, 1.0);
                 }),
                 QStringLiteral("La route est en dehors de la carte."));
        QCOMPARE(refusal([&] { routeArea(map, {}, 1.0); }),
                 QStringLiteral("La route n'a aucun point à imprimer."));
        AreaMap blank = map;
        blank.transform = MapTransform();
        QCOMPARE(refusal([&] {
                     routeArea(blank, {{10, 10}}, 1.0);
                 }),
                 QStringLiteral("La carte n'est pas calibrée : la zone ne peut pas être imprimée "
                                "à l'échelle."));
    }

    void pageGrids_data()
    {
        QTest::addColumn<QSize>("area");
        QTest::addColumn<QSize>("printable");
        QTest::addColumn<int>("resolution");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("cellWidth");
        QTest::addColumn<int>("cellHeight");
        QTest::addColumn<QPoint>("first");
        // At 300 dots per inch the header is 94 dots, the footer 118 and the
        // overlap 118 pixels. The area starts at (1000, 500); the whole pages
        // are centred on it, so they start half their excess before it:
        // 3 columns cover 2000 + 2 * 1882 = 5764, 382 more each side than
        // 5000; 2 rows cover 5458, whose centring would start above the map.
        QTest::newRow("portrait") << QSize(5000, 3000) << QSize(2000, 3000) << 300 << 2 << 3 << 2000
                                  << 2788 << QPoint(618, 0);
        // 2 x 2 pages cover 5882 x 3458: 441 and 229 more each side.
        QTest::newRow("landscape") << QSize(5000, 3000) << QSize(3000, 2000) << 300 << 2 << 2
                                   << 3000 << 1788 << QPoint(559, 271);
        // A small area gets a whole page around it: (947 - 2000) / 2.
        QTest::newRow("one page") << QSize(947, 947) << QSize(2000, 3000) << 300 << 1 << 1 << 2000
                                  << 2788 << QPoint(474, 0);
        // A 600 dots-per-inch printer: each map pixel is 2 x 2 dots, and a page
        // holds half as many pixels each way. 2 columns cover 3882, 691 more
        // each side; one row of 2787, 393 more.
        QTest::newRow("600 dpi") << QSize(2500, 2000) << QSize(4000, 6000) << 600 << 1 << 2 << 2000
                                 << 2787 << QPoint(309, 107);
    }

    void pageGrids()
    {
        QFETCH(QSize, area);
        QFETCH(QSize, printable);
        QFETCH(int, resolution);
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(int, cellWidth);
        QFETCH(int, cellHeight);
        QFETCH(QPoint, first);
        const AreaMap map = scan();
        const QRect where(QPoint(1000, 500), area);
        const AreaGrid grid = areaGrid(map, where, printable, resolution, 1.0);
        QCOMPARE(grid.rows, rows);
        QCOMPARE(grid.columns, columns);
        QCOMPARE(grid.pages.size(), rows * columns);
        const int overlap = 118;
        const int header = int(std::lround(0.8 / 2.54 * resolution));
        QRegion covered;
        for (const AreaPage &p : grid.pages) {
            QCOMPARE(p.number, (p.row - 1) * columns + p.column);
            QCOMPARE(p.source.topLeft(), first + QPoint((p.column - 1) * (cellWidth - overlap),
                                                        (p.row - 1) * (cellHeight - overlap)));
            // Whole pages: no sliver.
            QCOMPARE(p.source.size(), QSize(cellWidth, cellHeight));
            // The picture keeps the scan's scale: 1/300 inch a pixel.
            QCOMPARE(p.target, QRect(0, header, cellWidth * resolution / 300,
                                     cellHeight * resolution / 300));
            QVERIFY(p.target.bottom() < printable.height());
            covered += p.source;
        }
        QCOMPARE(covered.intersected(where), QRegion(where));
        if (columns > 1) // neighbours share the overlap
            QCOMPARE(grid.pages[0].source.intersected(grid.pages[1].source).width(), overlap);
    }

    void pageLabels()
    {
        const AreaGrid grid =
            areaGrid(scan(), QRect(1000, 500, 5000, 3000), QSize(2000, 3000), 300, 1.0);
        QCOMPARE(labels(grid), (QStringList{"1/6, ligne 1, colonne 1", "2/6, ligne 1, colonne 2",
                                            "3/6, ligne 1, colonne 3", "4/6, ligne 2, colonne 1",
                                            "5/6, ligne 2, colonne 2", "6/6, ligne 2, colonne 3"}));
        // Without overlap the pages simply abut.
        const AreaGrid flush =
            areaGrid(scan(), QRect(1000, 500, 4000, 2788), QSize(2000, 3000), 300, 0.0);
        QCOMPARE(labels(flush),
                 (QStringList{"1/2, ligne 1, colonne 1", "2/2, ligne 1, colonne 2"}));
        QCOMPARE(flush.pages[1].source.left(), 3000);
    }

    void scaleBarIsOneKilometre()
    {
        const AreaMap map = scan();
        for (int resolution : {300, 600, 1200}) {
            const AreaGrid grid = areaGrid(map, QRect(0, 0, 1000, 1000),
                                           QSize(8 * resolution, 11 * resolution), resolution, 1.0);
            QCOMPARE(grid.scale, 25000);
            QCOMPARE(grid.scaleBarMetres, 1000);
            // 1 km at 1:25 000 is 4 cm of paper.
            const double expected = 1000.0 / 25000 / kMetresPerInch * resolution;
            QVERIFY2(std::abs(grid.scaleBarDots - expected) <= 1.0,
                     qPrintable(QString::number(grid.scaleBarDots)));
        }
        // On a narrow page a large-scale map shows a shorter bar.
        const AreaGrid narrow = areaGrid(map, QRect(0, 0, 100, 100), QSize(700, 3000), 300, 1.0);
        QCOMPARE(narrow.scaleBarMetres, 500);
        QCOMPARE(AreaPrint::scaleBarText(500), QStringLiteral("500 m"));
    }

    // A scan whose file gives dots per centimetre, 118 across and 59 down
    // (299.72 and 149.86 dots per inch), pixels of 2.1167 m by 4.2333 m: the
    // same 1:25 000 sheet, read in its own unit.
    void densityInDotsPerCentimetre()
    {
        AreaMap map = scan();
        map.picture = QSize(12000, 4500);
        map.xdens = 118;
        map.ydens = 59;
        map.unitsCode = 2;
        QVERIFY(ComputeTransform(map.transform, {0, 0, 500000, 5000000},
                                 {12000, 4500, 525400, 4980950}, {0, 4500, 500000, 4980950}));
        const int resolution = 300;
        const QSize printable(2400, 3300);
        const AreaGrid grid =
            areaGrid(map, QRect(1000, 500, 3000, 1500), printable, resolution, 1.0);
        // 25400 m / 12000 pixels * 11800 pixels a metre of paper.
        QCOMPARE(grid.scale, qint64(std::llround(25400.0 / 12000 * 11800)));
        QCOMPARE(grid.scale, 24977);
        const double xdpi = 118 * 2.54;
        const double ydpi = 59 * 2.54;
        const int header = int(std::lround(0.8 / 2.54 * resolution));
        const int mapHeight =
            printable.height() - header - int(std::lround(1.0 / 2.54 * resolution));
        const int cellWidth = int(std::floor(printable.width() * xdpi / resolution));
        const int cellHeight = int(std::floor(mapHeight * ydpi / resolution));
        // Whole pages, taller than the area: 3088 dots hold 1542 pixels;
        // 3000 pixels across take two columns of 2397.
        QCOMPARE(cellHeight, 1542);
        QCOMPARE(grid.pages.size(), 2);
        QCOMPARE(grid.pages[0].source.size(), QSize(cellWidth, cellHeight));
        QCOMPARE(grid.pages[0].target.size(),
                 QSize(int(std::lround(cellWidth * resolution / xdpi)),
                       int(std::lround(cellHeight * resolution / ydpi))));
        // A kilometre of ground: 1000 / 2.1167 pixels, each 1/299.72 inch.
        QCOMPARE(grid.scaleBarMetres, 1000);
        QCOMPARE(grid.scaleBarDots, int(std::lround(1000 / (25400.0 / 12000) / xdpi * resolution)));
    }

    // The scale from what the scan and its calibration say: a file without
    // resolution is printed at the one the user gives, never over the file's
    // own; a north 30 degrees off the picture's vertical still prints
    // 1:25 000 beside a 4 cm kilometre, not the 1:21 650 of its east axis.
    void scaleFromTheScanAndTheCalibration()
    {
        const QRect area(1000, 500, 947, 947);
        const QSize a4(2400, 3300);
        AreaMap flat = scan();
        flat.unitsCode = 0;
        flat.xdens = flat.ydens = 1;
        QCOMPARE(refusal([&] { areaGrid(flat, area, a4, 300, 1.0); }), AreaPrint::kNoDensity);
        flat.givenDotsPerInch = 300;
        QCOMPARE(areaGrid(flat, area, a4, 300, 1.0).scale, 25000);
        flat.givenDotsPerInch = 150; // a pixel is 1/150 inch: twice as large
        QCOMPARE(areaGrid(flat, area, a4, 300, 1.0).scale, 12500);
        AreaMap inches = scan();
        inches.givenDotsPerInch = 150;
        QCOMPARE(areaGrid(inches, area, a4, 300, 1.0).scale, 25000);
        // 2.1167 m a pixel: 1:(2.1167 * dpi / 0.0254).
        QCOMPARE(AreaPrint::impliedScales(flat.transform),
                 QStringLiteral("150 ppp : 1:12500\n200 ppp : 1:16667\n300 ppp : 1:25000\n"
                                "400 ppp : 1:33333\n600 ppp : 1:50000"));

        // 25 400 m across the picture turned by 30 degrees: (21997, 12700);
        // 19 050 m down it: (9525, -16498).
        AreaMap turned = scan();
        QVERIFY(ComputeTransform(turned.transform, {0, 0, 500000, 5000000},
                                 {12000, 0, 521997, 5012700}, {0, 9000, 509525, 4983502}));
        const AreaGrid grid = areaGrid(turned, area, a4, 300, 1.0);
        QCOMPARE(grid.scale, 25000);
        QCOMPARE(grid.scaleBarMetres, 1000);
        QCOMPARE(grid.scaleBarDots, 472); // 4 cm at 300 dpi: 472.4 dots
    }

    // No margin: one point still gets a whole page of map around it, a
    // straight route whole pages, never strips; a point near the map's edge
    // a page inside the map; a map smaller than two pages two whole pages
    // that share more, cut only where the map ends.
    void wholePages()
    {
        const AreaMap map = scan();
        const QSize printable(2000, 3000); // pages of 2000 x 2788 pixels
        const auto sources = [&](const AreaMap &m, const QRect &area) {
            QList<QRect> out;
            for (const AreaPage &p : areaGrid(m, area, printable, 300, 1.0).pages)
                out << p.source;
            return out;
        };
        const QRect point = routeArea(map, {{6000, 4500}}, 0.0);
        QCOMPARE(point, QRect(6000, 4500, 1, 1));
        // 6000 - 1999 / 2, 4500 - 2787 / 2.
        QCOMPARE(sources(map, point), QList<QRect>({QRect(5001, 3107, 2000, 2788)}));
        // 3501 pixels: 2 pages covering 3882, 190 more on the left.
        QCOMPARE(sources(map, routeArea(map, {{1000, 4500}, {4500, 4500}}, 0.0)),
                 QList<QRect>({QRect(810, 3107, 2000, 2788), QRect(2692, 3107, 2000, 2788)}));
        QCOMPARE(sources(map, routeArea(map, {{100, 8950}}, 0.0)),
                 QList<QRect>({QRect(0, 6212, 2000, 2788)}));
        AreaMap small = map;
        small.picture = QSize(3000, 2000);
        QCOMPARE(sources(small, QRect(0, 0, 3000, 2000)),
                 QList<QRect>({QRect(0, 0, 2000, 2000), QRect(1000, 0, 2000, 2000)}));
    }

    // The band above the picture on a page barely wider than its texts: the
    // title is shortened, and no text overlaps another, the picture or the
    // page's edge.
    void headerBandOnANarrowPage()
    {
        AreaMap map = scan();
        map.title = QStringLiteral("Traversée des crêtes du Pic de la Serre par le col");
        const int width = 700;
        const AreaGrid grid = areaGrid(map, QRect(1000, 500, 2500, 500), QSize(width, 3000), 300, 1.0);
        const FixedMetrics metrics;
        const QList<Op> ops = areaLayout(map, grid, metrics);
        QList<QRect> boxes;
        QRect picture;
        int pages = 1;
        QStringList titles;
        const auto checkPage = [&] {
            for (qsizetype i = 0; i < boxes.size(); ++i) {
                QVERIFY(boxes[i].left() >= 0 && boxes[i].right() < width);
                QVERIFY(!boxes[i].intersects(picture));
                for (qsizetype j = i + 1; j < boxes.size(); ++j)
                    QVERIFY(!boxes[i].intersects(boxes[j]));
            }
            QCOMPARE(boxes.size(), 5);
            boxes.clear();
        };
        for (const Op &op : ops) {
            if (op.kind == Op::Kind::NewPage) {
                checkPage();
                ++pages;
            } else if (op.kind == Op::Kind::Picture) {
                picture = op.target;
            } else if (op.kind == Op::Kind::Text) {
                boxes << QRect(op.from, metrics.textSize(op.text, op.pointSize));
                if (boxes.size() == 1)
                    titles << op.text;
            }
        }
        checkPage();
        QCOMPARE(pages, grid.pages.size());
        // 700 less the label "1/5, ligne 1, colonne 1" (230), the datum (40)
        // and two spaces (40): 39 characters, the last one the ellipsis.
        QCOMPARE(pages, 5); // 2500 pixels: 700, then steps of 582
        QCOMPARE(titles, QStringList(pages, QStringLiteral("Traversée des crêtes du Pic de la "
                                                            "Serr\u2026")));
    }

    // The print preview keeps every page's picture until it closes: in all
    // at most 32 MiB at four bytes a dot, whatever the number of pages.
    void previewKeepsThePicturesSmall()
    {
        AreaGrid grid;
        AreaPage page;
        page.target = QRect(0, 94, 4000, 3000);
        grid.pages = {page, page};
        // sqrt(8 388 608 / 24 000 000) dots a dot.
        QCOMPARE(std::lround(AreaPrint::previewReduction(grid) * 10000), 5912);
        page.target = QRect(0, 94, 2000, 2000); // 4 000 000 dots: no need
        grid.pages = {page};
        QCOMPARE(AreaPrint::previewReduction(grid), 1.0);
    }

    void layoutOfThePages()
    {
        const AreaMap map = scan();
        const AreaGrid grid =
            areaGrid(map, QRect(1000, 500, 5000, 3000), QSize(2000, 3000), 300, 1.0);
        const QList<Op> ops = areaLayout(map, grid, FixedMetrics());
        int page = 0;
        QStringList pageTexts;
        for (const Op &op : ops) {
            if (op.kind == Op::Kind::NewPage) {
                ++page;
            } else if (op.kind == Op::Kind::Picture) {
                QCOMPARE(op.source, grid.pages[page].source);
                QCOMPARE(op.target, grid.pages[page].target);
            } else if (op.kind == Op::Kind::Text && page == 1) {
                pageTexts << op.text;
            }
        }
        QCOMPARE(page, 5);
        QCOMPARE(pageTexts, (QStringList{"Sentier du lac", "ED50", "2/6, ligne 1, colonne 2",
                                         "1 km", "1:25000"}));
        // The bar: a thick rule from the picture's left edge, 1 km long, on
        // every page.
        int bars = 0;
        for (const Op &op : ops) {
            if (op.kind == Op::Kind::Rule && op.penWidth == 3) {
                QCOMPARE(op.to.x() - op.from.x(), grid.scaleBarDots);
                QCOMPARE(op.from.x(), 0);
                ++bars;
            }
        }
        QCOMPARE(bars, 6);
    }

    void refusals()
    {
        const AreaMap map = scan();
        AreaMap flat = map;
        flat.xdens = 0;
        QCOMPARE(refusal([&] { areaGrid(flat, QRect(0, 0, 10, 10), QSize(2000, 3000), 300, 1); }),
                 AreaPrint::kNoDensity);
        QCOMPARE(refusal([&] { areaGrid(map, QRect(0, 0, 10, 10), QSize(2000, 200), 300, 1); }),
                 QStringLiteral("La page est trop petite pour y imprimer la carte."));
        QCOMPARE(refusal([&] { areaGrid(map, QRect(0, 0, 12000, 9000), QSize(200, 500), 300, 1); }),
                 QStringLiteral("La zone demande 6307 pages : choisissez une marge plus petite ou "
                                "un papier plus grand."));
    }
};

// The route of the example project printed through QPrinter into a PDF file.
class AreaPrintTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    AreaMap m_map;
    QList<QPoint> m_waypoints;
    QImage m_picture;
    double m_metresPerPixel = 0;

private slots:
    void initTestCase()
    {
        ExampleProject::write(m_dir.path());
        const QString project = m_dir.path() + QStringLiteral("/Exemple/");
        QStringList cal, waypoints;
        QVERIFY(LineList::read(project + ExampleProject::kCalibrationFileName, cal));
        QVERIFY(LineList::read(project + QStringLiteral("Quorr.AA"), waypoints));
        CalibrationTexts points;
        for (int i = 0; i < 3; ++i)
            points[i] = {cal[CalibrationLine::of(i, CalibrationLine::PixelX)],
                         cal[CalibrationLine::of(i, CalibrationLine::Easting)],
                         cal[CalibrationLine::of(i, CalibrationLine::PixelY)],
                         cal[CalibrationLine::of(i, CalibrationLine::Northing)]};
        QVERIFY(computeTransformFromTexts(m_map.transform, points));
        // Ground metres a pixel, between the first two calibration points.
        const PointTexts &a = points[0], &b = points[1];
        m_metresPerPixel = std::hypot(b.easting.toDouble() - a.easting.toDouble(),
                                      b.northing.toDouble() - a.northing.toDouble()) /
                           std::hypot(b.x.toDouble() - a.x.toDouble(), b.y.toDouble() - a.y.toDouble());
        for (int i = 0; i < RouteFiles::waypointCount(waypoints); ++i)
            m_waypoints << UtmToPixel(
                m_map.transform,
                RouteFiles::waypointField(waypoints, i, RouteFiles::Easting).toInt(),
                RouteFiles::waypointField(waypoints, i, RouteFiles::Northing).toInt());
        m_picture = ExampleProject::drawMap();
        m_map.picture = m_picture.size();
        m_map.xdens = m_map.ydens = ExampleProject::kDotsPerInch;
        m_map.title = ExampleProject::kRouteName;
        m_map.datum = cal[CalibrationLine::Datum];
    }

    void exampleRouteOnA4AndA5_data()
    {
        QTest::addColumn<int>("paper");
        QTest::addColumn<double>("marginKm");
        QTest::addColumn<int>("pages");
        QTest::addColumn<QSizeF>("media");
        // The route and 1 km around it: 1353 x 1285 pixels, 11.5 x 10.9 cm.
        QTest::newRow("A4, 1 km") << int(QPageSize::A4) << 1.0 << 1 << QSizeF(595, 842);
        // The whole map, 16.3 x 12.2 cm: two columns of A5.
        QTest::newRow("A5, 3 km") << int(QPageSize::A5) << 3.0 << 2 << QSizeF(420, 595);
    }

    void exampleRouteOnA4AndA5()
    {
        QFETCH(int, paper);
        QFETCH(double, marginKm);
        QFETCH(int, pages);
        QFETCH(QSizeF, media);
        const QString pdf = m_dir.filePath(QStringLiteral("zone.pdf"));
        FakePlatform platform;
        platform.previewAnswers = {true};
        platform.preparePrinter = [&](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
        };
        QPrinter printer(QPrinter::HighResolution);
        AreaPrintOptions options;
        options.paperSize = QPageSize::PageSizeId(paper);
        options.marginKm = marginKm;
        QVERIFY(printRouteArea(platform, nullptr, printer, m_picture, m_map, m_waypoints, options));
        QCOMPARE(platform.previews, 1);
        QCOMPARE(printer.docName(), QStringLiteral("Zone de Sentier du lac"));

        const QList<PdfPage> read = readPdf(TestUtil::readBytes(pdf));
        QCOMPARE(read.size(), pages);
        const QRect area = routeArea(m_map, m_waypoints, marginKm);
        int printedRows = 0;
        for (const PdfPage &page : read) {
            QCOMPARE(page.media.toSize(), media.toSize());
            QVERIFY(!page.pictures.isEmpty());
            for (const PdfPicture &p : page.pictures) {
                // 300 pixels to the inch: the map's own scale.
                QCOMPARE(qRound(p.points.width() / kPointsPerInch * 300), p.pixels.width());
                QCOMPARE(qRound(p.points.height() / kPointsPerInch * 300), p.pixels.height());
                QVERIFY(p.pixels.height() <= SheetPainter::kBandRows);
                // 1:25 000 on paper: 40.0 mm a kilometre of the calibration.
                const double mmPerKm = p.points.width() / p.pixels.width() * 25.4 /
                                       kPointsPerInch * 1000 / m_metresPerPixel;
                QCOMPARE(std::lround(mmPerKm * 10), 400);
                QVERIFY(p.points.right() <= page.media.width());
            }
            if (&page == &read.first()) {
                for (const PdfPicture &p : page.pictures)
                    printedRows += p.pixels.height();
            }
        }
        // A page is taller than the whole map (12.2 cm): it shows all of it,
        // more than the area.
        QVERIFY(area.height() <= m_picture.height());
        QCOMPARE(printedRows, m_picture.height());
    }

    void badInput()
    {
        FakePlatform platform;
        platform.previewAnswers = {true};
        QPrinter printer(QPrinter::HighResolution);
        QCOMPARE(
            refusal([&] {
                printRouteArea(platform, nullptr, printer, m_picture, m_map, {{-3000, -3000}}, {});
            }),
            AreaPrint::kOutsideMap);
        QCOMPARE(platform.previews, 0);

        // One waypoint prints the square around it; a printer that refuses to
        // begin says so.
        const QString bad = m_dir.filePath(QStringLiteral("absent/zone.pdf"));
        platform.preparePrinter = [&](QPrinter &p) {
            p.setOutputFormat(QPrinter::PdfFormat);
            p.setOutputFileName(bad);
        };
        QCOMPARE(refusal([&] {
                     printRouteArea(platform, nullptr, printer, m_picture, m_map,
                                    {m_waypoints.first()}, {});
                 }),
                 QStringLiteral("Impossible de créer le fichier ") + bad);
        QCOMPARE(platform.previews, 1);
        // Closing the preview prints nothing.
        QVERIFY(!printRouteArea(platform, nullptr, printer, m_picture, m_map, m_waypoints, {}));
    }
};

QUOR_TEST(AreaLayoutTest)
QUOR_TEST(AreaPrintTest)
#include "tst_arealayout.moc"
