#include "common/testmain.h"
#include "gps/gpximport.h"
#include "mapexport/mapexportdialog.h"
#include "maps/areaoptionsdialog.h"
#include "routewindow.h"

#include <QComboBox>
#include <QFile>
#include <QRadioButton>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QSpinBox>
#include <QPrinter>

using namespace RouteWindow;

namespace {

const QString kExchangedRoute = QStringLiteral("Forêt des Landes");

} // namespace

// The routes panel's commands beyond the list: a route to GPX and back onto
// the map, and the route's part of the map printed.
class RouteExchangeTest : public QObject
{
    Q_OBJECT
    Fixture f;

    void openMapWithRoute()
    {
        f.writeRoutes({"Lac", "AA", kExchangedRoute, "AB"});
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
                 QStringList({"Lac", "AA", kExchangedRoute, "AB", "Forêt des Landes (2)", "AC"}));
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
        // (100, 300) and (200, 300)), the third point 50 km away:
        // echo "500200 4999400" | cs2cs -f %.7f EPSG:23031 EPSG:4326
        TestUtil::writeBytes(
            gpx, QByteArray("<?xml version=\"1.0\"?>\n"
                            "<gpx version=\"1.1\" creator=\"test\" "
                            "xmlns=\"http://www.topografix.com/GPX/1/1\"><rte><name>Co</name>"
                            "<rtept lat=\"45.1462396\" lon=\"3.0013683\"><name>1200</name></rtept>"
                            "<rtept lat=\"45.1462395\" lon=\"3.0039123\"/>"
                            "<rtept lat=\"45.6\" lon=\"3.6\"/></rte></gpx>\n"));
        const QByteArray routes = TestUtil::readBytes(f.routesPath());
        f.platform->openFileAnswers = {gpx, gpx};
        // The name "Co" is too short: the user is asked, and cancels.
        f.w->Routes->RImportGpx->click();
        QCOMPARE(TestUtil::readBytes(f.routesPath()), routes);
        f.platform->textAnswers = {QStringLiteral("Col")};
        f.w->Routes->RImportGpx->click();
        QVERIFY2(f.platform->errors.isEmpty(), qPrintable(f.platform->errors.join('\n')));
        // The last leg, 68657 m on the ground (haversine), leaves the map
        // through its top edge 600 m north of its start, 50586 m short of
        // its end: 1.19 % of it is on the map.
        QCOMPARE(f.platform->informations,
                 QStringList{"1 point hors de la carte a été laissé de côté, avec 67,8 km du "
                             "tracé."});
        QCOMPARE(f.fileLines(f.routesPath()).mid(4), QStringList({"Col", "AC"}));
        const QStringList lines = f.fileLines(f.waypointPath(QStringLiteral("AC")));
        QCOMPARE(lines.size(), 30);
        // A name that could be read as a number is no label.
        QCOMPARE(lines.at(0), QStringLiteral("AC000"));
        QCOMPARE(lines.at(10), QStringLiteral("AC001"));
        QCOMPARE(lines.at(20), QStringLiteral("AC002"));
        QCOMPARE(lines.at(22), QStringLiteral("5000000"));
    }

    // Names written by another program never break the routes file or a
    // waypoint file: one line each, in Windows-1252, read back as written.
    void hostileNamesKeepTheFilesWhole()
    {
        openMapWithRoute();
        const QString gpx = f.dir->filePath(QStringLiteral("hostile.gpx"));
        // Pixels (100, 300) and (200, 300) of the map, as in pointsBesideTheMap.
        const auto file = [](const QByteArray &route, const QByteArray &first,
                             const QByteArray &second) {
            return "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" version=\"1.1\"><rte><name>" +
                   route + "</name><rtept lat=\"45.1462396\" lon=\"3.0013683\"><name>" + first +
                   "</name></rtept><rtept lat=\"45.1462395\" lon=\"3.0039123\"><name>" + second +
                   "</name></rtept></rte></gpx>";
        };
        TestUtil::writeBytes(gpx, file("Tour&#13;du lac", "Col&#10;du Loup", "Lac, rive nord"));
        f.platform->openFileAnswers = {gpx};
        f.w->Routes->RImportGpx->click();
        QVERIFY2(f.platform->errors.isEmpty(), qPrintable(f.platform->errors.join('\n')));
        QCOMPARE(TestUtil::readBytes(f.routesPath()),
                 TestUtil::cp1252("Lac\r\nAA\r\nForêt des Landes\r\nAB\r\nTour du lac\r\nAC\r\n"));
        QStringList expected = record(QStringLiteral("Col du Loup"), 100, 300);
        expected += record(QStringLiteral("AC000"), 200, 300);
        QCOMPARE(f.fileLines(f.waypointPath(QStringLiteral("AC"))), expected);

        // Two names the code page cannot hold would both be stored as "????":
        // each route gets a name asked for.
        TestUtil::writeBytes(gpx, file("\xd0\x9f\xd1\x83\xd1\x82\xd1\x8c", "A1", "A2"));
        f.platform->openFileAnswers = {gpx, gpx};
        f.platform->textAnswers = {QStringLiteral("Piste nord"), QStringLiteral("Piste sud")};
        f.w->Routes->RImportGpx->click();
        TestUtil::writeBytes(gpx, file("\xd0\x9f\xd0\xbe\xd1\x80\xd0\xb0", "A1", "A2"));
        f.w->Routes->RImportGpx->click();
        QVERIFY2(f.platform->errors.isEmpty(), qPrintable(f.platform->errors.join('\n')));
        QCOMPARE(f.platform->questions,
                 QStringList({QStringLiteral("Importer GPX"), QStringLiteral("Importer GPX")}));
        QCOMPARE(f.fileLines(f.routesPath()).mid(4),
                 QStringList({"Tour du lac", "AC", "Piste nord", "AD", "Piste sud", "AE"}));

        // Stopped while it reads: nothing written, nothing said.
        const QByteArray routes = TestUtil::readBytes(f.routesPath());
        f.platform->openFileAnswers = {gpx};
        f.platform->cancelProgressAt = f.platform->progressReports + 1;
        f.w->Routes->RImportGpx->click();
        QCOMPARE(TestUtil::readBytes(f.routesPath()), routes);
        QVERIFY(f.platform->errors.isEmpty());
        QVERIFY(f.platform->informations.isEmpty());
        QCOMPARE(f.platform->progressTitles.size(), 7);
    }

    // "Exporter GPX" waits for a route to be picked.
    void exportNeedsAPickedRoute()
    {
        f.writeRoutes({"Lac", "AA"});
        f.openMap();
        QVERIFY(!f.w->Routes->RExportGpx->isEnabled());
        QVERIFY(f.w->Routes->RImportGpx->isEnabled());
        f.clickItem(f.w->Routes->ChRoutes, 0);
        QVERIFY(f.w->Routes->RExportGpx->isEnabled());
    }

    void printTheRouteArea()
    {
        openMapWithRoute();
        const QString pdf = f.dir->filePath(QStringLiteral("zone.pdf"));
        f.platform->dialogScripts = {[](QDialog &dialog) {
            auto &options = static_cast<AreaOptionsDialog &>(dialog);
            options.Marge->setValue(0.5);
            // The file gives its resolution: nothing to ask.
            return options.Resolution == nullptr;
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

    // A scan whose file says nothing of its size: the options ask for its
    // resolution and show the scale it gives (2 m a pixel: 1:23622 at 300
    // dots per inch, 1:11811 at 150), and the pages follow.
    void areaOfAScanWithoutResolution()
    {
        MapFixtures::JpegParams params = f.paperParams();
        params.units = 0;
        params.xdens = params.ydens = 1;
        f.writeMap(kMapName, params);
        openMapWithRoute();
        QStringList scales;
        f.platform->dialogScripts = {[&](QDialog &dialog) {
            auto &options = static_cast<AreaOptionsDialog &>(dialog);
            if (!options.Resolution)
                return false;
            scales << options.Echelle->text();
            options.Resolution->setValue(150);
            scales << options.Echelle->text();
            return true;
        }};
        f.platform->previewAnswers = {true};
        const QString pdf = f.dir->filePath(QStringLiteral("zone.pdf"));
        f.platform->preparePrinter = [&pdf](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
        };
        f.w->Routes->RZone->click();
        QVERIFY2(f.platform->errors.isEmpty(), qPrintable(f.platform->errors.join('\n')));
        QCOMPARE(scales, QStringList({QStringLiteral("1:23622"), QStringLiteral("1:11811")}));
        QCOMPARE(f.platform->previews, 1);
        QVERIFY(TestUtil::readBytes(pdf).startsWith("%PDF"));
    }

    // "Exporter la carte…": the route's area as a GeoTIFF named after the
    // route; a cancel half-way leaves no file.
    void exportTheMap()
    {
        openMapWithRoute();
        QVERIFY(f.w->Routes->RExportCarte->isEnabled());
        const auto routeArea = [](QDialog &dialog) {
            auto &options = static_cast<MapExportDialog &>(dialog);
            options.Format->setCurrentIndex(0);
            options.ZoneRoute->setChecked(true);
            return true;
        };
        const QString tif = f.dir->filePath(QStringLiteral("foret.tif"));
        f.platform->dialogScripts = {routeArea, routeArea};
        f.platform->saveFileAnswers = {tif, tif};
        f.w->Routes->RExportCarte->click();
        QVERIFY2(f.platform->errors.isEmpty(), qPrintable(f.platform->errors.join('\n')));
        QCOMPARE(f.platform->dialogs.constLast().proposedName,
                 QStringLiteral("Forêt des Landes.tif"));
        QCOMPARE(f.platform->progressTitles.constLast(), QStringLiteral("Exporter la carte"));
        QVERIFY(TestUtil::readBytes(tif).startsWith(QByteArray("II*\0", 4)));

        QVERIFY(QFile::remove(tif));
        f.platform->cancelProgressAt = f.platform->progressReports + 1;
        f.w->Routes->RExportCarte->click();
        QVERIFY(f.platform->errors.isEmpty());
        QCOMPARE(QDir(f.dir->path()).entryList({QStringLiteral("*.tif*"), QStringLiteral(".*tif*")},
                                               QDir::Files | QDir::Hidden),
                 QStringList());
    }

    // Each printout has a printer of its own: the zone's paper and file do
    // not pass to the whole map, and the next zone keeps its paper and
    // proposes a file named after its own route in the folder of the last.
    void eachPrintoutItsOwnPrinter()
    {
        openMapWithRoute();
        f.writeWaypoints(QStringLiteral("AA"), records(QStringLiteral("AA"), 3));
        QVERIFY(QDir(f.dir->path()).mkdir(QStringLiteral("papiers")));
        const QString folder = f.dir->filePath(QStringLiteral("papiers"));
        f.platform->dialogScripts = {[](QDialog &dialog) {
                                         auto &options = static_cast<AreaOptionsDialog &>(dialog);
                                         options.Papier->setCurrentIndex(
                                             options.Papier->findData(int(QPageSize::A5)));
                                         return true;
                                     },
                                     [](QDialog &) { return true; }};
        f.platform->previewAnswers = {true, true};
        f.platform->printAnswers = {true};
        f.platform->preparePrinter = [&folder](QPrinter &printer) {
            if (printer.outputFileName().isEmpty())
                printer.setOutputFileName(folder + QStringLiteral("/premier.pdf"));
        };
        f.w->Routes->RZone->click();
        f.w->Waypoints->WImprimer->click();
        f.clickItem(f.w->Routes->ChRoutes, 0);
        f.w->Routes->RZone->click();
        QVERIFY2(f.platform->errors.isEmpty(), qPrintable(f.platform->errors.join('\n')));
        const auto &shown = f.platform->printersShown;
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown[0].docName, QStringLiteral("Zone de Forêt des Landes"));
        QCOMPARE(shown[0].file, QString());
        QCOMPARE(shown[0].paper, QPageSize::A5);
        QCOMPARE(shown[1].docName, QStringLiteral("Carte de quor"));
        QCOMPARE(shown[1].file, QString());
        QVERIFY(shown[1].paper != QPageSize::A5);
        QCOMPARE(shown[1].orientation, QPageLayout::Landscape); // 1200 x 900
        QCOMPARE(shown[2].docName, QStringLiteral("Zone de Lac"));
        QCOMPARE(shown[2].file, folder + QStringLiteral("/Zone de Lac.pdf"));
        QCOMPARE(shown[2].paper, QPageSize::A5);
        QCOMPARE(shown[2].orientation, QPageLayout::Portrait);
    }
};

QUOR_TEST(RouteExchangeTest)
#include "tst_routeexchange.moc"
