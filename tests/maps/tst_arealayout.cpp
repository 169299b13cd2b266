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
        // At 300 dots per inch the header is 94 dots, the footer 118 and the
        // overlap 118 pixels.
        QTest::newRow("portrait") << QSize(5000, 3000) << QSize(2000, 3000) << 300 << 2 << 3 << 2000
                                  << 2788;
        QTest::newRow("landscape")
            << QSize(5000, 3000) << QSize(3000, 2000) << 300 << 2 << 2 << 3000 << 1788;
        QTest::newRow("one page") << QSize(947, 947) << QSize(2000, 3000) << 300 << 1 << 1 << 2000
                                  << 2788;
        // A 600 dots-per-inch printer: each map pixel is 2 x 2 dots, and a page
        // holds half as many pixels each way.
        QTest::newRow("600 dpi") << QSize(2500, 2000) << QSize(4000, 6000) << 600 << 1 << 2 << 2000
                                 << 2787;
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
            QCOMPARE(p.source.left(), where.left() + (p.column - 1) * (cellWidth - overlap));
            QCOMPARE(p.source.top(), where.top() + (p.row - 1) * (cellHeight - overlap));
            QVERIFY(p.source.width() <= cellWidth && p.source.height() <= cellHeight);
            QVERIFY(where.contains(p.source));
            // The picture keeps the scan's scale: 1/300 inch a pixel.
            QCOMPARE(p.target, QRect(0, header, p.source.width() * resolution / 300,
                                     p.source.height() * resolution / 300));
            QVERIFY(p.target.bottom() < printable.height());
            covered += p.source;
        }
        QCOMPARE(covered, QRegion(where));
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
        QCOMPARE(grid.pages[0].source.size(), QSize(cellWidth, std::min(cellHeight, 1500)));
        QCOMPARE(grid.pages[0].target.size(),
                 QSize(int(std::lround(cellWidth * resolution / xdpi)),
                       int(std::lround(std::min(cellHeight, 1500) * resolution / ydpi))));
        // A kilometre of ground: 1000 / 2.1167 pixels, each 1/299.72 inch.
        QCOMPARE(grid.scaleBarMetres, 1000);
        QCOMPARE(grid.scaleBarDots, int(std::lround(1000 / (25400.0 / 12000) / xdpi * resolution)));
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
                QVERIFY(p.points.right() <= page.media.width());
            }
            if (&page == &read.first()) {
                for (const PdfPicture &p : page.pictures)
                    printedRows += p.pixels.height();
            }
        }
        QCOMPARE(printedRows, area.height());
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
