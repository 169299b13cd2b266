#include "common/testmain.h"
#include "editor/sheetpainter.h"
#include "maps/backgrounddecode.h"
#include "maps/mapoverlay.h"
#include "routewindow.h"

#include <QElapsedTimer>
#include <QPainter>

#include <atomic>
#include <chrono>
#include <thread>

using namespace RouteWindow;

namespace {

const QString kCrestRoute = QStringLiteral("Crêtes");

// Every map is decoded in the background, and the worker waits at its start
// until the test opens the gate or the decoding is cancelled.
class HeldDecodes
{
public:
    HeldDecodes()
    {
        BackgroundDecode::setBackgroundFrom(1);
        BackgroundDecode::setBeforeDecode([this](const std::atomic<bool> &cancel) {
            ++m_started;
            while (!m_open.load() && !cancel.load())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
    }
    ~HeldDecodes()
    {
        BackgroundDecode::setAfterRows({});
        BackgroundDecode::setBeforeDecode({});
        BackgroundDecode::setBackgroundFrom(qint64(16) * 1000 * 1000);
    }
    void open() { m_open.store(true); }
    // The worker also stops once `rows` rows are out, until openRows().
    void holdAtRow(int rows)
    {
        BackgroundDecode::setAfterRows([this, rows](int done, const std::atomic<bool> &cancel) {
            while (done >= rows && !m_rowsOpen.load() && !cancel.load())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
    }
    void openRows() { m_rowsOpen.store(true); }
    int started() const { return m_started.load(); }

private:
    std::atomic<bool> m_open{false};
    std::atomic<bool> m_rowsOpen{false};
    std::atomic<int> m_started{0};
};

} // namespace

// A big scan: its rows shown as its worker decodes them, the full picture
// handed over when the worker is done.
class BigScanTest : public QObject
{
    Q_OBJECT
    Fixture f;

    QStringList waypointFile() const { return f.fileLines(f.waypointPath(QStringLiteral("AB"))); }

private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void clickBeforeTheFullPictureLandsAsAfter()
    {
        HeldDecodes held;
        f.writeRoutes({"Lac", "AA", kCrestRoute, "AB"});
        f.openMap();
        f.openRoute(kCrestRoute);
        QVERIFY(f.session().isDecoding());
        QVERIFY(f.session().picture().isPartial());
        QCOMPARE(f.session().picture().size(), QSize(kMapWidth, kMapHeight));

        // x and y apart.
        f.clickMap(333, 221);
        QVERIFY(f.platform->errors.isEmpty());
        QCOMPARE(waypointFile(), record(QStringLiteral("AB000"), 333, 221));
        QCOMPARE(f.pixel(333 - 14, 221), kRed);

        held.open();
        QTRY_VERIFY(!f.session().isDecoding());
        QCOMPARE(f.session().picture().scan().size(), QSize(kMapWidth, kMapHeight));
        QCOMPARE(f.session().cleanImage().constBits(), f.session().picture().scan().constBits());
        // The mark drawn while no row was there stays over the full picture,
        // and a second click at the same pixel makes the same record.
        QCOMPARE(f.pixel(333 - 14, 221), kRed);
        QVERIFY(MapFixtures::near(f.pixel(600, 600), kPaper));
        f.clickMap(333, 221);
        QCOMPARE(waypointFile(), record(QStringLiteral("AB000"), 333, 221) +
                                     record(QStringLiteral("AB001"), 333, 221));
        QVERIFY(f.platform->errors.isEmpty());
    }

    void changeOfMapDuringTheDecode()
    {
        HeldDecodes held;
        f.openMap();
        QVERIFY(f.session().isDecoding());
        MapFixtures::JpegParams params = Fixture::paperParams();
        params.width = 800;
        const QString black = f.dir->filePath(QStringLiteral("nuit.jpg"));
        TestUtil::writeBytes(black, MapFixtures::makeJpeg(params, [](int, int) { return Qt::black; }));
        f.w->showMap(black);
        // The first worker gave up at its gate; only the second decodes.
        QTRY_COMPARE(held.started(), 2);
        held.open();
        QTRY_VERIFY(!f.session().isDecoding());
        QCOMPARE(f.session().imageCache().decodeCount(), 1);
        QCOMPARE(f.session().imageCache().path(), black);
        QCOMPARE(f.session().picture().size(), QSize(800, kMapHeight));
        QVERIFY(MapFixtures::near(f.pixel(700, 500), QColor(Qt::black)));
        // Nothing of the first map arrives later.
        QTest::qWait(50);
        QCOMPARE(f.session().picture().size(), QSize(800, kMapHeight));
        QVERIFY(f.platform->errors.isEmpty());
    }

    void closingDuringTheDecode()
    {
        HeldDecodes held;
        f.openMap();
        QVERIFY(f.session().isDecoding());
        QElapsedTimer timer;
        timer.start();
        f.w.reset();
        // The worker stops at once rather than finishing its picture.
        QVERIFY(timer.elapsed() < 5000);
        QVERIFY(f.platform->errors.isEmpty());
    }

    void rowsShownFromTheTopAsTheyCome()
    {
        HeldDecodes held;
        held.holdAtRow(300);
        f.openMap();
        QList<QRect> bands;
        QList<QImage> shownThen;
        connect(&f.session(), &MapSession::pictureUpdated, this, [&](const QRegion &area) {
            bands += area.boundingRect();
            shownThen += f.session().picture().compose(area.boundingRect());
        });
        held.open();
        // Part-way: the rows out show the scan, the next one paper.
        QTRY_VERIFY(f.session().picture().readyRows() >= 300);
        const int ready = f.session().picture().readyRows();
        QVERIFY(ready < kMapHeight);
        QVERIFY(MapFixtures::near(f.pixel(600, ready - 1), kPaper));
        QCOMPARE(f.pixel(600, ready), QColor(MapPicture::kPendingColour));
        held.openRows();
        QTRY_VERIFY(!f.session().isDecoding());
        // Whole rows, each band following the last, down to the bottom row.
        QVERIFY(!bands.isEmpty());
        int next = 0;
        for (const QRect &band : std::as_const(bands)) {
            QCOMPARE(band, QRect(0, next, kMapWidth, band.height()));
            next += band.height();
        }
        QCOMPARE(next, kMapHeight);
        // What a band showed when it came is what the full picture shows.
        const QImage full = f.session().shownImage();
        for (qsizetype i = 0; i < bands.size(); ++i)
            QCOMPARE(shownThen[i], full.copy(bands[i]));
    }

    void printingWaitsForTheFullPicture()
    {
        HeldDecodes held;
        f.writeRoutes({"Lac", "AA", kCrestRoute, "AB"});
        f.writeWaypoints(QStringLiteral("AB"), record(QStringLiteral("AB000"), 100, 300));
        f.openMap();
        f.openRoute(kCrestRoute);
        held.open();
        f.platform->printAnswers.append(false);
        f.w->Waypoints->WImprimer->click();
        QVERIFY(!f.session().isDecoding());
        QVERIFY(!f.session().picture().isPartial());
        QCOMPARE(f.platform->printDialogs, 1);
    }
};

// The marks painted over any part of the scan give the pixels that drawing
// them into a copy of the whole scan gave.
class MapOverlayTest : public QObject
{
    Q_OBJECT

    static QImage scan()
    {
        // Not flat, so that a part taken from the wrong place shows.
        QImage image(701, 503, QImage::Format_RGB888);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixelColor(x, y, QColor(x % 256, y % 256, (x + y) % 256));
        return image;
    }

    static QList<RouteMark> marks(const MapTransform &t, const RouteStyle &style,
                                  const QList<QPoint> &points)
    {
        QStringList lines;
        for (int i = 0; i < points.size(); ++i)
            lines += record(QStringLiteral("AB%1").arg(i, 3, 10, QLatin1Char('0')),
                            points[i].x(), points[i].y());
        QList<RouteMark> out;
        routeMarks(t, style, lines, out);
        return out;
    }

private slots:
    void partsAndPrintMatchTheDrawnScan()
    {
        MapTransform t;
        t.c = {500000, 2, 0};
        t.d = {5000000, 0, -2};
        t.e = {-250000, 0.5, 0};
        t.f = {2500000, 0, -0.5};
        const QFont font = gridLabelFont(300);
        const RouteStyle style = routeStyle(300, 300);
        const QImage clean = scan();
        const QString title = gridTitle(QStringLiteral("31"), QStringLiteral("U"),
                                        QStringLiteral("ED50"));
        // A route, then the same with a point put in the middle: the older
        // line stays under the new ones until a redraw.
        const QList<RouteMark> first = marks(t, style, {{100, 300}, {400, 120}, {650, 480}});
        const QList<RouteMark> second =
            marks(t, style, {{100, 300}, {250, 250}, {400, 120}, {650, 480}});

        QImage drawn = clean.copy();
        {
            QPainter painter(&drawn);
            painter.setFont(font);
            painter.setPen(GridLabels::kColour);
            PainterLabelCanvas labels(painter);
            drawGridLabels(labels, t, drawn.width(), drawn.height(), title);
        }
        for (const QList<RouteMark> &route : {first, second}) {
            QPainter painter(&drawn);
            painter.setFont(font);
            PainterRouteCanvas canvas(painter);
            drawMarks(canvas, style, route);
        }

        MapPicture shown(clean);
        shown.overlay().setGridLabels(font, t, clean.size(), title, clean);
        shown.overlay().addRoute(font, style, first, clean);
        shown.overlay().addRoute(font, style, second, clean);
        QCOMPARE(shown.compose(shown.rect()), drawn);
        const QRect part(237, 111, 301, 203);
        QCOMPARE(shown.compose(part), drawn.copy(part));
        // The scan itself is never drawn on.
        QCOMPARE(shown.scan(), clean);

        // While the scan decodes, the rows there show with the marks over
        // them, the others as paper under the same marks.
        MapPicture partial;
        partial.setPartial(clean.size());
        partial.overlay() = shown.overlay();
        QCOMPARE(partial.setReadyRows(clean, 200), QRect(0, 0, 701, 200));
        QImage paper = clean.copy();
        for (int y = 200; y < paper.height(); ++y)
            for (int x = 0; x < paper.width(); ++x)
                paper.setPixel(x, y, MapPicture::kPendingColour);
        shown.setScan(paper);
        QCOMPARE(partial.compose(part), shown.compose(part));
        QVERIFY(partial.scan().isNull());
        // Rows never go back; the last ones complete the scan.
        QCOMPARE(partial.setReadyRows(clean, 150), QRect());
        QCOMPARE(partial.setReadyRows(clean, 503), QRect(0, 200, 701, 303));
        QCOMPARE(partial.scan(), clean);
        shown.setScan(clean);

        // Printed at two dots and a half a pixel, band by band.
        const QRect target(0, 0, 1753, 1258);
        QImage printed(target.size(), QImage::Format_RGB32);
        QImage expected(target.size(), QImage::Format_RGB32);
        {
            QPainter painter(&printed);
            paintMapPicture(painter, shown, shown.rect(), target);
        }
        {
            QPainter painter(&expected);
            SheetPainter::paintPicture(painter, drawn, drawn.rect(), target);
        }
        QCOMPARE(printed, expected);
    }
};

QUOR_TEST(BigScanTest)
QUOR_TEST(MapOverlayTest)
#include "tst_bigscan.moc"
