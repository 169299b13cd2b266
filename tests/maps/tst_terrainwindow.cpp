#include "common/testmain.h"
#include "routewindow.h"
#include "terrain/terrainchoice.h"

#include <QProcess>

using namespace RouteWindow;

namespace {

// A plane of altitudes over the fixture's map, in the map's own system (ED50
// UTM 31 north), 100 m cells: 1000 m at E 500000, N 4997000, one metre more
// every 10 m east and every 100 m north. Bilinear interpolation gives a
// plane back exactly.
QString writePlane(const QString &folder)
{
    const int columns = 45; // E 499000 to 503500
    const int rows = 40;    // N 4997000 to 5001000
    QByteArray asc = "ncols 45\nnrows 40\nxllcorner 499000\nyllcorner 4997000\ncellsize 100\n";
    for (int r = 0; r < rows; ++r) {
        const double n = 4997000 + (rows - r - 0.5) * 100;
        for (int c = 0; c < columns; ++c) {
            const double e = 499000 + (c + 0.5) * 100;
            asc += QByteArray::number(1000 + (e - 500000) / 10 + (n - 4997000) / 100) + ' ';
        }
        asc += '\n';
    }
    TestUtil::writeBytes(folder + QStringLiteral("/plan.asc"), asc);
    const QString tif = folder + QStringLiteral("/Terrain.tif");
    QProcess gdal;
    gdal.start(QStringLiteral("gdal_translate"),
               {QStringLiteral("-q"), QStringLiteral("-a_srs"), QStringLiteral("EPSG:23031"),
                folder + QStringLiteral("/plan.asc"), tif});
    return gdal.waitForFinished(60000) && gdal.exitCode() == 0 ? tif : QString();
}

QString altitudeOf(const QStringList &waypointLines, int waypoint)
{
    return waypointLines.value(waypoint * 10 + 3);
}

} // namespace

// The waypoints panel over a project that has an elevation model.
class TerrainWindowTest : public QObject
{
    Q_OBJECT
    Fixture f;

    void openRoute(const QStringList &waypoints)
    {
        const QString model = writePlane(f.dir->path() + QLatin1Char('/') + kProject);
        QVERIFY(!model.isEmpty());
        TerrainChoice::write(f.state->projectDirectory(), model);
        f.writeRoutes({"Lac", "AA"});
        f.writeWaypoints(QStringLiteral("AA"), waypoints);
        f.openMap();
        f.openRoute(QStringLiteral("Lac"));
    }

    QStringList fileLines() const { return f.fileLines(f.waypointPath(QStringLiteral("AA"))); }

private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    // The pointer shows the ground; a click makes a waypoint on it, unless
    // an altitude was typed for it.
    void waypointsStandOnTheGround()
    {
        openRoute({});
        // Pixel (100, 200): E 500200, N 4999600, 1000 + 20 + 26 m.
        f.clickMap(100, 200);
        QCOMPARE(f.w->Waypoints->WTerrain->text(), QStringLiteral("1046 m"));
        QCOMPARE(altitudeOf(fileLines(), 0), QStringLiteral("1046"));
        QCOMPARE(f.w->Waypoints->WZ->text(), QStringLiteral("1046"));
        // Pixel (700, 50): E 501400, N 4999900: 1000 + 140 + 29 m.
        f.w->Waypoints->WZ->clear();
        QTest::keyClicks(f.w->Waypoints->WZ, QStringLiteral("1500"));
        f.clickMap(700, 50);
        QCOMPARE(f.w->Waypoints->WTerrain->text(), QStringLiteral("1169 m"));
        QCOMPARE(altitudeOf(fileLines(), 1), QStringLiteral("1500"));
        // Typed for one waypoint only.
        f.clickMap(700, 50);
        QCOMPARE(altitudeOf(fileLines(), 2), QStringLiteral("1169"));
        QVERIFY(f.platform->errors.isEmpty());
    }

    // "Altitudes" fills a route of five: the two without altitude at once,
    // the three typed ones only when the walker says so.
    void altitudesFillARoute()
    {
        QStringList lines;
        const QStringList typed{"", "900", "", "1200", "1300"};
        for (int i = 0; i < 5; ++i)
            lines += record(QStringLiteral("AA%1").arg(i, 3, 10, QLatin1Char('0')), 100 + 50 * i,
                            300, typed[i]);
        openRoute(lines);
        // Pixel (100 + 50 i, 300): E 500200 + 100 i, N 4999400: 1044 + 10 i.
        f.platform->confirmAnswers = {false};
        f.w->Waypoints->WAltitudes->click();
        QCOMPARE(f.platform->questions.constLast(),
                 QStringLiteral("Remplacer aussi les 3 altitudes déjà saisies par celles du "
                                "terrain ?"));
        QStringList after = fileLines();
        QCOMPARE((QStringList{altitudeOf(after, 0), altitudeOf(after, 1), altitudeOf(after, 2),
                              altitudeOf(after, 3), altitudeOf(after, 4)}),
                 (QStringList{"1044", "900", "1064", "1200", "1300"}));
        f.platform->confirmAnswers = {true};
        f.w->Waypoints->WAltitudes->click();
        QCOMPARE(f.platform->questions.constLast(),
                 QStringLiteral("Remplacer aussi les 5 altitudes déjà saisies par celles du "
                                "terrain ?"));
        after = fileLines();
        QCOMPARE((QStringList{altitudeOf(after, 0), altitudeOf(after, 1), altitudeOf(after, 2),
                              altitudeOf(after, 3), altitudeOf(after, 4)}),
                 (QStringList{"1044", "1054", "1064", "1074", "1084"}));
        // Everything but the altitudes is as it was.
        for (int i = 0; i < 5; ++i)
            after[i * 10 + 3] = typed[i];
        QCOMPARE(after, lines);
        QVERIFY(f.platform->errors.isEmpty());
    }

    // Without a model the button says how to choose one, and the pointer
    // shows no ground.
    void withoutAModel()
    {
        f.writeRoutes({"Lac", "AA"});
        f.writeWaypoints(QStringLiteral("AA"), records(QStringLiteral("AA"), 2));
        f.openMap();
        f.openRoute(QStringLiteral("Lac"));
        f.clickMap(100, 200);
        QCOMPARE(f.w->Waypoints->WTerrain->text(), QString());
        f.w->Waypoints->WAltitudes->click();
        QCOMPARE(f.platform->informations,
                 QStringList{QStringLiteral("Le projet n'a pas de modèle de terrain : "
                                            "choisissez-en un avec « Modèle de terrain… ».")});
    }
};

QUOR_TEST(TerrainWindowTest)
#include "tst_terrainwindow.moc"
