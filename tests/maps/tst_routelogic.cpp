#include "common/testmain.h"
#include "data/quorerror.h"
#include "editor/sheetpainter.h"
#include "maps/linelookup.h"
#include "maps/mapprint.h"
#include "maps/routedrawing.h"
#include "maps/routelist.h"
#include "maps/waypointlist.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QTest>

#include <limits>

namespace {

QStringList allCodes()
{
    QStringList lines;
    for (char16_t a = u'A'; a <= u'Z'; ++a) {
        for (char16_t b = u'A'; b <= u'Z'; ++b)
            lines << QStringLiteral("Route ") + QChar(a) + QChar(b) << QString(QChar(a)) + QChar(b);
    }
    return lines;
}

QStringList record(const QString &label, const QString &easting, const QString &northing,
                   const QString &dx = QStringLiteral("0"), const QString &dy = QStringLiteral("0"))
{
    return {label,
            easting,
            northing,
            QStringLiteral("1200"),
            QStringLiteral("massif.jpg"),
            QStringLiteral("31"),
            QStringLiteral("U"),
            QStringLiteral("ED50"),
            dx,
            dy};
}

// The sample calibration: one pixel is two metres, north up.
MapTransform sample()
{
    MapTransform t;
    t.c = {500000, 2, 0};
    t.d = {5000000, 0, -2};
    t.e = {-250000, 0.5, 0};
    t.f = {2500000, 0, -0.5};
    return t;
}

// Records every operation as a line of text.
class RecordingRouteCanvas : public RouteCanvas
{
public:
    void setFontColour(const QColor &colour) override
    {
        ops << QStringLiteral("font %1").arg(colour.name());
    }
    void textOut(int left, int top, const QString &text) override
    {
        ops << QStringLiteral("text %1,%2 %3").arg(left).arg(top).arg(text);
    }
    void setPen(const QColor &colour, int width) override
    {
        ops << QStringLiteral("pen %1 %2").arg(colour.name()).arg(width);
    }
    void ellipse(int left, int top, int right, int bottom) override
    {
        ops << QStringLiteral("ellipse %1,%2 %3,%4").arg(left).arg(top).arg(right).arg(bottom);
    }
    void line(QPoint from, QPoint to) override
    {
        ops << QStringLiteral("line %1,%2 %3,%4")
                   .arg(from.x())
                   .arg(from.y())
                   .arg(to.x())
                   .arg(to.y());
    }

    QStringList ops;
};

} // namespace

class RouteListTest : public QObject
{
    Q_OBJECT

private slots:
    void lookupIgnoresCaseAndTakesTheFirst()
    {
        const LineLookup lookup({"Forêt", "AA", "forêt", "AB"});
        QCOMPARE(lookup.find(QStringLiteral("FORÊT")), 0);
        QCOMPARE(lookup.find(QStringLiteral("ab")), 3);
        QCOMPARE(lookup.find(QStringLiteral("Lac")), -1);
    }

    void firstCodeIsAA()
    {
        QCOMPARE(RouteList::freeRouteCode({}).value(), QStringLiteral("AA"));
        QCOMPARE(RouteList::freeRouteCode({"Forêt", "AA"}).value(), QStringLiteral("AB"));
    }

    void freedCodeIsGivenAgain()
    {
        QCOMPARE(RouteList::freeRouteCode({"Forêt", "AA", "Lac", "AC"}).value(),
                 QStringLiteral("AB"));
        // Any line in any case takes a code.
        QCOMPARE(RouteList::freeRouteCode({"aa", "ab"}).value(), QStringLiteral("AC"));
    }

    void allCodesTaken()
    {
        const QStringList lines = allCodes();
        QCOMPARE(lines.size(), 2 * 676);
        QVERIFY(!RouteList::freeRouteCode(lines).has_value());
        QStringList names = RouteList::rebuildRouteLines(
            {QStringLiteral("Route AA"), QStringLiteral("Route ZZ")}, lines);
        QCOMPARE(names, QStringList({"Route AA", "AA", "Route ZZ", "ZZ"}));
        try {
            RouteList::rebuildRouteLines({QStringLiteral("Nouvelle route")}, lines);
            QFAIL("no error");
        } catch (const QuorError &e) {
            QCOMPARE(e.text(), QStringLiteral("Les 676 codes de route, de AA à ZZ, sont tous "
                                              "utilisés : aucune route ne peut être ajoutée."));
        }
    }

    void newNames()
    {
        const QStringList listed = {QStringLiteral("Forêt"), QStringLiteral("Lac")};
        QVERIFY(!RouteList::acceptsNewName(QStringLiteral("FORÊT"), listed));
        QVERIFY(!RouteList::acceptsNewName(QStringLiteral("lac"), listed));
        QVERIFY(!RouteList::acceptsNewName(QStringLiteral("Ab"), listed));
        QVERIFY(!RouteList::acceptsNewName(QString(), listed));
        QVERIFY(RouteList::acceptsNewName(QStringLiteral("Col"), listed));
        // Used as typed: the blank counts.
        QVERIFY(RouteList::acceptsNewName(QStringLiteral(" ab"), listed));
        QVERIFY(RouteList::acceptsNewName(QStringLiteral("Lac "), listed));
    }

    void rebuildKeepsStoredPairs()
    {
        const QStringList lines = {"Forêt", "AA", "Lac", "AB", "Col", "AC", "Reste"};
        // Listed in another order and case; Lac deleted; a new route.
        const QStringList rebuilt = RouteList::rebuildRouteLines(
            {QStringLiteral("col"), QStringLiteral("Pic du Midi"), QStringLiteral("Forêt")}, lines);
        // Codes are free against the lines as they were: Lac still holds AB.
        QCOMPARE(rebuilt, QStringList({"Col", "AC", "Pic du Midi", "AD", "Forêt", "AA"}));
    }
};

class WaypointListTest : public QObject
{
    Q_OBJECT

private slots:
    void pendingLabel()
    {
        QCOMPARE(WaypointList::freeWaypointLabel(QStringLiteral("AB"), {}).value(),
                 QStringLiteral("AB000"));
        const QStringList lines = record(QStringLiteral("AB000"), "1", "2") +
                                  record(QStringLiteral("AB001"), "1", "2") +
                                  record(QStringLiteral("AB003"), "1", "2");
        QCOMPARE(WaypointList::freeWaypointLabel(QStringLiteral("AB"), lines).value(),
                 QStringLiteral("AB002"));
        // Labels typed in another case still count, and so does any line.
        QCOMPARE(
            WaypointList::freeWaypointLabel(QStringLiteral("AB"), {"ab000", "x", "AB001"}).value(),
            QStringLiteral("AB002"));
    }

    void allLabelsTaken()
    {
        QStringList lines;
        for (int i = 0; i < 1000; ++i)
            lines += record(QStringLiteral("AB%1").arg(i, 3, 10, QLatin1Char('0')), "1", "2");
        QVERIFY(!WaypointList::freeWaypointLabel(QStringLiteral("AB"), lines).has_value());
        QCOMPARE(WaypointList::noFreeLabelMessage(QStringLiteral("AB")),
                 QStringLiteral("Les 1000 étiquettes de la route, de AB000 à AB999, sont toutes "
                                "utilisées : aucun point ne peut être ajouté."));
    }

    void labelsOfCompleteRecords()
    {
        QStringList lines = record(QStringLiteral("AB000"), "1", "2") +
                            record(QStringLiteral("AB001"), "1", "2").mid(0, 5);
        QCOMPARE(lines.size(), 15);
        QCOMPARE(WaypointList::labels(lines), QStringList{"AB000"});
    }

    void rebuild()
    {
        const QStringList a = record(QStringLiteral("AB000"), "500000", "5000000");
        const QStringList b = record(QStringLiteral("ab001"), "500100", "4999000");
        const QStringList c = record(QStringLiteral("AB002"), "500200", "4998000");
        const QStringList lines = a + b + c + QStringList{"AB003", "1"};
        const WaypointList::PanelTexts panel{"501000", "4990000", "850",  "carte.jpg",
                                             "32",     "T",       "WGS84"};
        const QStringList rebuilt = WaypointList::rebuildWaypointLines(
            {QStringLiteral("AB002"), QStringLiteral("AB001"), QStringLiteral("AB004")}, lines,
            panel);
        const QStringList fresh = {"AB004", "501000", "4990000", "850", "carte.jpg",
                                   "32",    "T",      "WGS84",   "0",   "0"};
        QCOMPARE(rebuilt, c + b + fresh);
    }

    void moveLabel()
    {
        QStringList lines = record(QStringLiteral("AB000"), "1", "2");
        WaypointList::moveLabel(lines, 0, RouteFiles::LabelOffsetY, -WaypointList::kLabelStep);
        WaypointList::moveLabel(lines, 0, RouteFiles::LabelOffsetY, -WaypointList::kLabelStep);
        QCOMPARE(lines.at(9), QStringLiteral("-20"));
        WaypointList::moveLabel(lines, 0, RouteFiles::LabelOffsetX, WaypointList::kLabelStep);
        QCOMPARE(lines.at(8), QStringLiteral("10"));
        lines[8] = QStringLiteral("1O");
        try {
            WaypointList::moveLabel(lines, 0, RouteFiles::LabelOffsetX, 10);
            QFAIL("no error");
        } catch (const QuorError &e) {
            QCOMPARE(e.text(), QStringLiteral("'1O' n'est pas une valeur entière correcte"));
        }
        QCOMPARE(lines.at(8), QStringLiteral("1O"));
    }
};

class RouteDrawingTest : public QObject
{
    Q_OBJECT

private slots:
    void styleOfA300DpiScan()
    {
        const RouteStyle style = routeStyle(300, 300);
        QCOMPARE(style.rx, 7);
        QCOMPARE(style.ry, 7);
        QCOMPARE(style.penWidth, 3);
        QCOMPARE(style.startLabelShiftX, 60);
        QCOMPARE(style.startLabelShiftY, 60);
    }

    void styleOfOtherDensities()
    {
        const RouteStyle style = routeStyle(72, 150);
        QCOMPARE(style.rx, 2);
        QCOMPARE(style.ry, 4);
        QCOMPARE(style.penWidth, 1);
        QCOMPARE(style.startLabelShiftX, 14);
        QCOMPARE(style.startLabelShiftY, 30);
        const RouteStyle big = routeStyle(65535, 65535);
        QCOMPARE(big.penWidth, 437);
        QCOMPARE(big.rx, 1311);
    }

    void twoWaypoints()
    {
        // Pixels (100, 300) and (400, 300); the second label moved.
        const QStringList lines = record(QStringLiteral("AB000"), "500200", "4999400") +
                                  record(QStringLiteral("AB001"), "500800", "4999400",
                                         QStringLiteral("-10"), QStringLiteral("30"));
        RecordingRouteCanvas canvas;
        drawRoute(canvas, sample(), routeStyle(300, 300), lines);
        QCOMPARE(canvas.ops, QStringList({
                                 "font #ff0000",
                                 "text 40,240 AB000",
                                 "pen #ff0000 3",
                                 "ellipse 86,286 114,314",
                                 "text 370,310 AB001",
                                 "ellipse 393,293 407,307",
                                 "line 100,300 400,300",
                             }));
    }

    void oneWaypointIsOneLargeCircle()
    {
        RecordingRouteCanvas canvas;
        drawRoute(canvas, sample(), routeStyle(300, 300),
                  record(QStringLiteral("AB000"), "500200", "4999400"));
        QCOMPARE(canvas.ops.size(), 4);
        QCOMPARE(canvas.ops.at(3), QStringLiteral("ellipse 86,286 114,314"));
    }

    void trailingPartRecordIsNotDrawn()
    {
        RecordingRouteCanvas canvas;
        drawRoute(canvas, sample(), routeStyle(300, 300),
                  record(QStringLiteral("AB000"), "500200", "4999400") +
                      record(QStringLiteral("AB001"), "500800", "4999400").mid(0, 5));
        QCOMPARE(canvas.ops.size(), 4);
    }

    void damagedNumbersStopTheDrawing_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("text");
        QTest::newRow("easting") << 1 << QStringLiteral("50080O");
        QTest::newRow("northing") << 2 << QStringLiteral("4999400.5");
        QTest::newRow("horizontal offset") << 8 << QStringLiteral("x");
        QTest::newRow("vertical offset") << 9 << QString();
    }

    void damagedNumbersStopTheDrawing()
    {
        QFETCH(int, line);
        QFETCH(QString, text);
        QStringList second = record(QStringLiteral("AB001"), "500800", "4999400");
        second[line] = text;
        const QStringList lines = record(QStringLiteral("AB000"), "500200", "4999400") + second +
                                  record(QStringLiteral("AB002"), "500900", "4999400");
        RecordingRouteCanvas canvas;
        try {
            drawRoute(canvas, sample(), routeStyle(300, 300), lines);
            QFAIL("no error");
        } catch (const QuorError &e) {
            QCOMPARE(e.text(),
                     QStringLiteral("'%1' n'est pas une valeur entière correcte").arg(text));
        }
        // The start stays drawn; nothing of the damaged waypoint or after it.
        QCOMPARE(canvas.ops.size(), 4);
    }

    void farMarksStayOffThePicture()
    {
        const QStringList lines = record(QStringLiteral("AB000"), "500200", "4999400",
                                         QStringLiteral("2147483647"), QStringLiteral("0"));
        RecordingRouteCanvas canvas;
        drawRoute(canvas, sample(), routeStyle(300, 300), lines);
        // No wrap round to a negative position on the picture.
        QVERIFY(canvas.ops.at(1).startsWith(QStringLiteral("text 536870911,240")));
    }

    void paintedMarksAreClipped()
    {
        QImage picture(200, 100, QImage::Format_RGB888);
        picture.fill(QColor(160, 160, 160));
        QPainter painter(&picture);
        PainterRouteCanvas canvas(painter);
        // A waypoint beyond the right edge, joined to one inside.
        drawRoute(canvas, sample(), routeStyle(300, 300),
                  record(QStringLiteral("AB000"), "500200", "4999900") +
                      record(QStringLiteral("AB001"), "501000", "4999900"));
        painter.end();
        QCOMPARE(picture.pixelColor(199, 50), QColor(255, 0, 0));
        QCOMPARE(picture.pixelColor(150, 45), QColor(160, 160, 160));
    }

    void markAreas()
    {
        QFont font(QStringLiteral("Arial"));
        font.setPointSize(30);
        QImage picture(10, 10, QImage::Format_RGB888);
        const QFontMetrics metrics(font, &picture);
        const RouteMark label{RouteMark::Kind::Label, QPoint(40, 240), {}, QStringLiteral("AB000")};
        QCOMPARE(
            markArea(label, metrics, 3),
            QRect(40, 240, metrics.horizontalAdvance(QStringLiteral("AB000")), metrics.height()));
        const RouteMark circle{RouteMark::Kind::Circle, QPoint(86, 286), QPoint(114, 314), {}};
        QCOMPARE(markArea(circle, metrics, 3), QRect(QPoint(84, 284), QPoint(116, 316)));
        const RouteMark line{RouteMark::Kind::Line, QPoint(400, 300), QPoint(100, 310), {}};
        QCOMPARE(markArea(line, metrics, 3), QRect(QPoint(98, 298), QPoint(402, 312)));
        const RouteMark far{
            RouteMark::Kind::Line, QPoint(0, 0), QPoint(std::numeric_limits<int>::max(), 0), {}};
        QCOMPARE(markArea(far, metrics, 3).right(), std::numeric_limits<int>::max() / 4);
    }

    void redrawAreaOfAnAddition()
    {
        const QStringList two = record(QStringLiteral("AB000"), "500200", "4999400") +
                                record(QStringLiteral("AB001"), "500800", "4999400");
        const QStringList three = two + record(QStringLiteral("AB002"), "500800", "4999000");
        QList<RouteMark> before, now;
        routeMarks(sample(), routeStyle(300, 300), two, before);
        routeMarks(sample(), routeStyle(300, 300), three, now);
        QCOMPARE(now.size(), 8);
        QImage picture(10, 10, QImage::Format_RGB888);
        const QFontMetrics metrics(QFont(), &picture);
        const std::optional<QRegion> area = redrawArea(before, now, metrics, 3);
        QVERIFY(area.has_value());
        QRegion expected;
        for (int i = 5; i < 8; ++i)
            expected += markArea(now.at(i), metrics, 3);
        QCOMPARE(*area, expected);
        // Nothing changes, nothing to redraw.
        QVERIFY(redrawArea(now, now, metrics, 3)->isEmpty());
        // Common marks in another order call for a full redraw.
        QList<RouteMark> swapped = before;
        swapped.swapItemsAt(0, 2);
        QVERIFY(!redrawArea(before, swapped, metrics, 3).has_value());
    }

    // Clipped to the redraw area, drawing a route over the last drawing of
    // another gives the very pixels of a full redraw.
    void clippedRedrawIsExact_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        // Points close enough for labels, circles and lines to overlap.
        const QStringList a = record(QStringLiteral("AB000"), "500200", "4999400");
        const QStringList b = record(QStringLiteral("AB001"), "500260", "4999380");
        const QStringList c = record(QStringLiteral("AB002"), "500240", "4999440");
        const QStringList d = record(QStringLiteral("AB003"), "500300", "4999420");
        const QStringList e = record(QStringLiteral("AB004"), "500220", "4999360");
        QTest::newRow("appended") << a + b + c << a + b + c + d;
        QTest::newRow("inserted in the middle") << a + b + c << a + d + b + c;
        QTest::newRow("inserted at the top") << a + b + c << e + a + b + c;
        QTest::newRow("first drawing") << QStringList() << a + b;
        QTest::newRow("deleted") << a + b + c + d << a + c + d;
        QTest::newRow("label moved") << a + b + c
                                     << a +
                                            record(QStringLiteral("AB001"), "500260", "4999380",
                                                   QStringLiteral("10"), QStringLiteral("-20")) +
                                            c;
    }

    void clippedRedrawIsExact()
    {
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        const RouteStyle style = routeStyle(300, 300);
        QFont font(QStringLiteral("Arial"));
        font.setPointSize(30);
        QImage start(600, 400, QImage::Format_RGB888);
        start.fill(QColor(160, 160, 160));
        QList<RouteMark> old, now;
        routeMarks(sample(), style, before, old);
        routeMarks(sample(), style, after, now);
        auto draw = [&](QImage &picture, const QList<RouteMark> &marks, const QRegion *clip) {
            QPainter painter(&picture);
            painter.setFont(font);
            if (clip)
                painter.setClipRegion(*clip);
            PainterRouteCanvas canvas(painter);
            drawMarks(canvas, style, marks);
        };
        draw(start, old, nullptr);
        QImage full = start.copy();
        draw(full, now, nullptr);
        QImage clipped = start.copy();
        const std::optional<QRegion> area =
            redrawArea(old, now, QFontMetrics(font, &clipped), style.penWidth);
        QVERIFY(area.has_value());
        QVERIFY(!area->isEmpty());
        draw(clipped, now, &*area);
        QVERIFY(full != start);
        QCOMPARE(clipped, full);
    }
};

class MapPrintLayoutTest : public QObject
{
    Q_OBJECT

private slots:
    void sheetSize()
    {
        QCOMPARE(mapPrintRectangle(QSize(3000, 2000), 600, 300, 300), QRect(0, 0, 6000, 4000));
        QCOMPARE(mapPrintRectangle(QSize(600, 900), 600, 300, 150), QRect(0, 0, 1200, 3600));
    }

    void halvesGoToEven()
    {
        // 1 x 500 / 200 = 2.5 and 3 x 500 / 200 = 7.5.
        QCOMPARE(mapPrintRectangle(QSize(1, 3), 500, 200, 200), QRect(0, 0, 2, 8));
        // 1 x 300 / 200 = 1.5.
        QCOMPARE(mapPrintRectangle(QSize(1, 1), 300, 200, 200).width(), 2);
    }

    void zeroDensityIsOneDotAPixel()
    {
        QCOMPARE(mapPrintRectangle(QSize(3000, 2000), 600, 0, 300), QRect(0, 0, 3000, 4000));
        QCOMPARE(mapPrintRectangle(QSize(3000, 2000), 600, 300, 0), QRect(0, 0, 6000, 2000));
    }

    void orientation()
    {
        QCOMPARE(mapPrintOrientation(QSize(1000, 1000)), QPageLayout::Landscape);
        QCOMPARE(mapPrintOrientation(QSize(3000, 2000)), QPageLayout::Landscape);
        QCOMPARE(mapPrintOrientation(QSize(999, 1000)), QPageLayout::Portrait);
    }

    // Bands of a few rows give the picture one drawing of the whole gives,
    // at a whole and at a fractional scale.
    void bandsDrawTheWholePicture_data()
    {
        QTest::addColumn<QRect>("target");
        QTest::newRow("x4") << QRect(0, 0, 400, 280);
        QTest::newRow("x2.37") << QRect(3, 5, 237, 166);
    }

    void bandsDrawTheWholePicture()
    {
        QFETCH(QRect, target);
        QImage picture(100, 70, QImage::Format_RGB888);
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixelColor(x, y, QColor((x * 37) % 256, (y * 53) % 256, (x ^ y) % 256));
        }
        auto render = [&](int bandRows) {
            QImage page(420, 300, QImage::Format_RGB32);
            page.fill(Qt::white);
            QPainter painter(&page);
            painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
            SheetPainter::paintPicture(painter, picture, picture.rect(), target, bandRows);
            return page;
        };
        QImage whole(420, 300, QImage::Format_RGB32);
        whole.fill(Qt::white);
        {
            QPainter painter(&whole);
            painter.drawImage(target, picture);
        }
        QCOMPARE(render(picture.height()), whole);
        QCOMPARE(render(7), whole);
        QCOMPARE(render(1), whole);
    }
};

QUOR_TEST(RouteListTest)
QUOR_TEST(WaypointListTest)
QUOR_TEST(RouteDrawingTest)
QUOR_TEST(MapPrintLayoutTest)
#include "tst_routelogic.moc"
