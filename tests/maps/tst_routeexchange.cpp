#include "common/testmain.h"
#include "gps/gpximport.h"
#include "maps/areaoptionsdialog.h"
#include "routewindow.h"

#include <QDoubleSpinBox>
#include <QPrinter>

using namespace RouteWindow;

namespace {

const QString kRoute = QStringLiteral("Forêt des Landes");

} // namespace

// The routes panel's commands beyond the list: a route to GPX and back onto
// the map, and the route's part of the map printed.
class RouteExchangeTest : public QObject
{
    Q_OBJECT
    Fixture f;

    void openMapWithRoute()
    {
        f.writeRoutes({"Lac", "AA", kRoute, "AB"});
        f.writeWaypoints(QStringLiteral("AB"), records(QStringLiteral("AB"), 3));
        f.openMap();
        f.clickItem(f.w->Routes->ChRoutes, 1);
    }

private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    // Exported, then imported again: a second route whose waypoints lie on
    // those of the first, names and altitudes kept.
    void exportThenImportDrawsOnTop()
    {
        openMapWithRoute();
        QStringList original = records(QStringLiteral("AB"), 3);
        original[3] = QStringLiteral("1250");
        f.writeWaypoints(QStringLiteral("AB"), original);
        const QString gpx = f.dir->filePath(QStringLiteral("landes.gpx"));
        f.platform->saveFileAnswers = {gpx};
        f.w->Routes->RExportGpx->click();
        QVERIFY2(f.platform->errors.isEmpty(), qPrintable(f.platform->errors.join('\n')));
        QCOMPARE(f.platform->dialogs.constLast().proposedName,
                 QStringLiteral("Forêt des Landes.gpx"));
        QVERIFY(QFile::exists(gpx));

        f.platform->openFileAnswers = {gpx};
        f.w->Routes->RImportGpx->click();
        QVERIFY2(f.platform->errors.isEmpty(), qPrintable(f.platform->errors.join('\n')));
        QVERIFY(f.platform->informations.isEmpty());
        QCOMPARE(f.fileLines(f.routesPath()),
                 QStringList({"Lac", "AA", kRoute, "AB", "Forêt des Landes (2)", "AC"}));
        // Same labels, same metres: the conversion there and back is exact to
        // the centimetre.
        QStringList expected = original;
        for (int i = 0; i < 3; ++i)
            expected[i * 10 + 5] = QStringLiteral("31");
        QCOMPARE(f.fileLines(f.waypointPath(QStringLiteral("AC"))), expected);
        QCOMPARE(f.shownPanel(), QStringLiteral("Waypoints"));
        QCOMPARE(f.w->Waypoints->Label25->text(), QStringLiteral("Forêt des Landes (2) >AC"));
        QCOMPARE(f.pixel(150, 300), kRed);
    }

    // A route partly beside the map keeps what is on it and says how much
    // was left out; one wholly beside it adds nothing.
    void pointsBesideTheMap()
    {
        openMapWithRoute();
        const QString gpx = f.dir->filePath(QStringLiteral("col.gpx"));
        // 31U 500200 4999400 and 31U 500400 4999400 lie on the map (pixels
        // (100, 300) and (200, 300)), the third point 50 km away.
        TestUtil::writeBytes(
            gpx, QByteArray("<?xml version=\"1.0\"?>\n"
                            "<gpx version=\"1.1\" creator=\"test\" "
                            "xmlns=\"http://www.topografix.com/GPX/1/1\"><rte><name>Co</name>"
                            "<rtept lat=\"45.1390\" lon=\"3.0025\"><name>1200</name></rtept>"
                            "<rtept lat=\"45.1390\" lon=\"3.0051\"/>"
                            "<rtept lat=\"45.6\" lon=\"3.6\"/></rte></gpx>\n"));
        const QByteArray routes = TestUtil::readBytes(f.routesPath());
        f.platform->openFileAnswers = {gpx, gpx};
        // The name "Co" is too short: the user is asked, and cancels.
        f.w->Routes->RImportGpx->click();
        QCOMPARE(TestUtil::readBytes(f.routesPath()), routes);
        f.platform->textAnswers = {QStringLiteral("Col")};
        f.w->Routes->RImportGpx->click();
        QVERIFY2(f.platform->errors.isEmpty(), qPrintable(f.platform->errors.join('\n')));
        QCOMPARE(f.platform->informations, QStringList{GpxImport::outsideText(1)});
        QCOMPARE(f.fileLines(f.routesPath()).mid(4), QStringList({"Col", "AC"}));
        const QStringList lines = f.fileLines(f.waypointPath(QStringLiteral("AC")));
        QCOMPARE(lines.size(), 20);
        // A name that could be read as a number is no label.
        QCOMPARE(lines.at(0), QStringLiteral("AC000"));
        QCOMPARE(lines.at(10), QStringLiteral("AC001"));
    }

    void printTheRouteArea()
    {
        openMapWithRoute();
        const QString pdf = f.dir->filePath(QStringLiteral("zone.pdf"));
        f.platform->dialogScripts = {[](QDialog &dialog) {
            auto &options = static_cast<AreaOptionsDialog &>(dialog);
            options.Marge->setValue(0.5);
            return true;
        }};
        f.platform->previewAnswers = {true};
        f.platform->preparePrinter = [&pdf](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
        };
        f.w->Routes->RZone->click();
        QVERIFY2(f.platform->errors.isEmpty(), qPrintable(f.platform->errors.join('\n')));
        QCOMPARE(f.platform->previews, 1);
        QVERIFY(TestUtil::readBytes(pdf).startsWith("%PDF"));
        // The route was drawn on the map that was printed.
        QCOMPARE(f.pixel(150, 300), kRed);
        // Cancelling the options prints nothing.
        f.w->Routes->RZone->click();
        QCOMPARE(f.platform->previews, 1);
    }
};

QUOR_TEST(RouteExchangeTest)
#include "tst_routeexchange.moc"
