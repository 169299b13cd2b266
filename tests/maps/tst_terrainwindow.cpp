#include "common/testmain.h"
#include "maps/mapconversion.h"
#include "maps/terrainsource.h"
#include "routewindow.h"
#include "terrain/terrainchoice.h"

#include <QProcess>

#include <cmath>
#include <functional>

using namespace RouteWindow;

namespace {

// A model over the fixture's map in the map's own system (ED50 UTM 31
// north), 100 m cells from E 499000, N 4997000, of the altitudes `height`
// gives at the cells' centres.
QString writeModel(const QString &folder, const std::function<double(double, double)> &height)
{
    const int columns = 45; // E 499000 to 503500
    const int rows = 40;    // N 4997000 to 5001000
    QByteArray asc = "ncols 45\nnrows 40\nxllcorner 499000\nyllcorner 4997000\ncellsize 100\n";
    for (int r = 0; r < rows; ++r) {
        const double n = 4997000 + (rows - r - 0.5) * 100;
        for (int c = 0; c < columns; ++c) {
            const double e = 499000 + (c + 0.5) * 100;
            asc += QByteArray::number(height(e, n), 'f', 3) + ' ';
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

// A plane: 1000 m at E 500000, N 4997000, one metre more every 10 m east and
// every 100 m north. Bilinear interpolation gives a plane back exactly.
QString writePlane(const QString &folder)
{
    return writeModel(
        folder, [](double e, double n) { return 1000 + (e - 500000) / 10 + (n - 4997000) / 100; });
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

    QString projectFolder() const { return f.dir->path() + QLatin1Char('/') + kProject; }

    // Route "Lac" of `waypoints` opened on the map, the project's model being
    // `model` (which need not be there).
    void openRouteOn(const QString &model, const QStringList &waypoints)
    {
        QVERIFY(!model.isEmpty());
        TerrainChoice::write(f.state->projectDirectory(), model);
        f.writeRoutes({"Lac", "AA"});
        f.writeWaypoints(QStringLiteral("AA"), waypoints);
        f.openMap();
        f.openRoute(QStringLiteral("Lac"));
    }

    void openRoute(const QStringList &waypoints)
    {
        openRouteOn(writePlane(projectFolder()), waypoints);
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

    // Where the model has no value, a new waypoint has no altitude rather
    // than the last one's.
    void clickWhereTheModelHasNoValue()
    {
        openRouteOn(writeModel(projectFolder(),
                               [](double e, double n) {
                                   return e > 501000
                                              ? -9999
                                              : 1000 + (e - 500000) / 10 + (n - 4997000) / 100;
                               }),
                    {});
        f.clickMap(100, 200);
        // Pixel (700, 50): E 501400, where every cell around is -9999 m.
        f.clickMap(700, 50);
        QCOMPARE((QStringList{altitudeOf(fileLines(), 0), altitudeOf(fileLines(), 1)}),
                 (QStringList{"1046", ""}));
        QVERIFY(f.platform->errors.isEmpty());
    }

    // A model moved away since it was chosen is said once; the clicks still
    // place their waypoints.
    void clickAfterTheModelMoved()
    {
        const QString model = writePlane(projectFolder());
        QVERIFY(QFile::rename(model, model + QStringLiteral(".ailleurs")));
        openRouteOn(model, {});
        f.clickMap(100, 200);
        f.clickMap(700, 50);
        QCOMPARE(f.platform->errors, QStringList{Terrain::missingText(model)});
        QCOMPARE(fileLines().size(), 20);
        QCOMPARE(altitudeOf(fileLines(), 0), QString());
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

    // A route over a cone 200 m high and 700 m round, its two ends on the
    // flat at 1000 m: the leg is listed. The sample at the top, E 501000,
    // N 4999000, lies between four cell centres 70.7 m from it: 1000 + 200 *
    // (1 - 70.71 / 700) = 1179.8 m.
    void hiddenClimbOfARoute()
    {
        const QString model =
            writeModel(f.dir->path() + QLatin1Char('/') + kProject, [](double e, double n) {
                return 1000 + 200 * std::max(0.0, 1 - std::hypot(e - 501000, n - 4999000) / 700);
            });
        QVERIFY(!model.isEmpty());
        const QStringList lines = record(QStringLiteral("Col"), 100, 500, QStringLiteral("1000")) +
                                  record(QStringLiteral("Lac"), 900, 500, QStringLiteral("1000")) +
                                  record(QStringLiteral("Pont"), 900, 100, QStringLiteral("1000"));
        QCOMPARE(TerrainSource::hiddenClimbs(*f.state, lines, 3), QStringList());
        TerrainChoice::write(f.state->projectDirectory(), model);
        QCOMPARE(TerrainSource::hiddenClimbs(*f.state, lines, 3),
                 QStringList{QStringLiteral("Entre Col et Lac le terrain monte de 180 m et "
                                            "redescend de 180 m : ajoutez une étape pour que "
                                            "l'horaire en tienne compte")});
        // Only the waypoints inserted count.
        QCOMPARE(TerrainSource::hiddenClimbs(*f.state, lines, 1), QStringList());

        // The route's own profile: the waypoints 1600 m and 800 m apart on
        // the flat, the ground over the top between the first two.
        const TerrainModel cone = TerrainModel::open(model);
        Coordinates::Grid grid;
        const MapTerrain terrain(
            cone, grid, Coordinates::areaOfExtent(grid, {500200, 4999000}, {501800, 4999800}));
        const auto [points, header] = TerrainSource::routeProfile(terrain, "Lac", lines);
        QCOMPARE(points.size(), 3);
        QCOMPARE((QList<qint64>{points[0].distance, points[1].distance, points[2].distance}),
                 (QList<qint64>{0, 1600, 2400}));
        QCOMPARE((QList<qint64>{points[0].altitude, points[1].altitude, points[2].altitude}),
                 (QList<qint64>{1000, 1000, 1000}));
        QCOMPARE(points[1].place, QStringLiteral("Lac"));
        QCOMPARE(header.totals.climb, 180);
        QCOMPARE(header.totals.descent, 180);
        QCOMPARE(header.ground.first(), QPointF(0, 1000));
        QCOMPARE(header.ground.last(), QPointF(2400, 1000));
    }

    // The frame of a map: none for a map without calibration (every pixel at
    // one place), a zone or letter that is no grid's, or no picture.
    void mapFrames()
    {
        MapTransform t;
        QVERIFY(ComputeTransform(t, {0, 0, 500000, 5000000}, {1000, 1000, 502000, 4998000},
                                 {0, 1000, 500000, 4998000}));
        const QSize size(1200, 900);
        const auto frame = TerrainSource::mapFrame("31", "U", "ED50", t, size);
        QVERIFY(frame);
        QCOMPARE(frame->first.zone, 31);
        QVERIFY(frame->second.west < frame->second.east);
        QVERIFY(!TerrainSource::mapFrame("31", "U", "ED50", MapTransform(), size));
        QVERIFY(!TerrainSource::mapFrame("Zone", "U", "ED50", t, size));
        QVERIFY(!TerrainSource::mapFrame("31", "UV", "ED50", t, size));
        QVERIFY(!TerrainSource::mapFrame("31", "U", "ED50", t, QSize()));
        // A map turned by 45 degrees, whose opposite corners share their
        // northing, has its frame.
        MapTransform turned;
        QVERIFY(ComputeTransform(turned, {0, 0, 500000, 5000000}, {1000, 0, 501000, 5001000},
                                 {0, 1000, 501000, 4999000}));
        QVERIFY(TerrainSource::mapFrame("31", "U", "ED50", turned, QSize(1000, 1000)));
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
