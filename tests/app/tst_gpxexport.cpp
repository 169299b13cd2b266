#include "app/quorapp.h"
#include "app/tquor.h"
#include "common/testmain.h"
#include "common/testutil.h"
#include "data/gpxfile.h"
#include "data/itinerary.h"
#include "platform/fakeplatform.h"

#include <QAction>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace TestUtil;

// "E&xporter GPX" of the itinerary view, in the real main window.
class ItineraryGpxTest : public QObject
{
    Q_OBJECT

private slots:
    void exportsTheOpenItinerary()
    {
        QTemporaryDir dir;
        QDir(dir.path()).mkdir("Alpes");
        QByteArray catalogue(4400, '\0');
        catalogue.replace(16, 8, QByteArray("\x07Lac/Col"));
        writeBytes(dir.path() + "/Alpes/Quord.qud", catalogue);
        writeBytes(dir.path() + "/Quori.qud", "[Projet]\r\nNom=Alpes\r\n");
        // The route its second stage was inserted from lies on a WGS84 map.
        writeBytes(dir.path() + "/Alpes/Quorr.qud", "Sentier\r\nAB\r\n");
        writeBytes(dir.path() + "/Alpes/Quorr.AB",
                   "AB000\r\n376120\r\n4831085\r\n\r\ncarte.jpg\r\n31\r\nT\r\nWGS84\r\n0\r\n0\r\n");
        FakePlatform platform;
        QuorApp app(platform, dir.path());
        TQuor &main = *app.main;
        QVERIFY(!main.ExporterGpx1->isEnabled());
        main.Itinraire1->trigger();
        QVERIFY(main.ExporterGpx1->isEnabled());

        // Nothing to export: refused before any dialog.
        main.ExporterGpx1->trigger();
        QCOMPARE(platform.errors,
                 QStringList("Aucune étape de l'itinéraire n'a de position : il n'y a rien à "
                             "exporter."));
        QVERIFY(platform.dialogs.isEmpty());

        StringGrid &stages = main.stageGrid();
        stages.setCell(Itinerary::Place, 1, "Parking");
        stages.setCell(Itinerary::Position, 1, "31T 375000 4830000");
        stages.setCell(Itinerary::Place, 2, "AB000");
        stages.setCell(Itinerary::Position, 2, "31T 376120 4831085");
        const QString target = dir.path() + "/Alpes/sortie.gpx";
        platform.saveFileAnswers = {std::nullopt, target};
        main.ExporterGpx1->trigger(); // cancelled
        QVERIFY(!QFile::exists(target));
        main.ExporterGpx1->trigger();
        QCOMPARE(platform.dialogs.size(), 2);
        const FakePlatform::DialogCall &call = platform.dialogs.last();
        QCOMPARE(call.title, "Exporter l'itinéraire au format GPX");
        QCOMPARE(call.directory, dir.path() + "/Alpes/");
        QCOMPARE(call.proposedName, "Lac_Col.gpx");
        QCOMPARE(call.filter, "Fichier GPX|*.gpx");
        QCOMPARE(call.defaultExtension, "gpx");

        const GpxDocument doc = Gpx::read(target);
        QCOMPARE(doc.routes.size(), 1);
        QCOMPARE(doc.routes[0].name, "Lac/Col");
        QCOMPARE(doc.routes[0].points.size(), 2);
        QCOMPARE(doc.routes[0].points[1].name, "AB000");
        // ED50 for the first stage, WGS84 for the one from the WGS84 map.
        QCOMPARE(doc.description, "Coordonnées converties en WGS84 par PROJ : Inverse of UTM "
                                  "zone 31N + ED50 to WGS 84 (17) + axis order change (2D) ; "
                                  "Inverse of UTM zone 31N + axis order change (2D)");
        QCOMPARE(platform.errors.size(), 1);

        main.Itinraire1->trigger(); // back to the catalogue, without saving
        QVERIFY(!main.ExporterGpx1->isEnabled());
    }
};

QUOR_TEST(ItineraryGpxTest)
#include "tst_gpxexport.moc"
