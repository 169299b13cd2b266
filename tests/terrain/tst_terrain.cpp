#include "app/exampleproject.h"
#include "common/testmain.h"
#include "common/testutil.h"
#include "data/moduleloader.h"
#include "gps/coordinates.h"
#include "terrain/mapterrain.h"
#include "terrain/terrainchoice.h"
#include "terrain/terrainmodel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <functional>

using namespace TestUtil;
using Coordinates::GridPoint;

namespace {

// Should a model ever reach for the network, the test fails at once instead
// of waiting for a server that never answers.
[[maybe_unused]] const bool kShortTimeouts =
    qputenv("GDAL_HTTP_TIMEOUT", "2") && qputenv("GDAL_HTTP_CONNECTTIMEOUT", "2");

const Coordinates::Grid kGrid{31, QLatin1Char('T'), QStringLiteral("ED50")};
// The example map's extent, in ED50 / UTM 31N.
const GridPoint kSouthWest{499700, 4760252};
const GridPoint kNorthEast{503764, 4763300};
constexpr double kTolerance = 0.01;
constexpr double kNoData = -9999;

// A raster of the test: its system, its top-left corner and cell sizes in
// the system's units, its size, and its cells' sizes in metres.
struct Layout
{
    QString srs;
    double west, north, dx, dy;
    int columns, rows;
    double metresX, metresY;
};

// Three systems, cells of different width and height, never square.
const Layout kLayouts[] = {
    {"EPSG:23031", 499000, 4764000, 30, 20, 170, 210, 30, 20},
    {"EPSG:4326", 2.98, 43.03, 1.0 / 1200, 1.0 / 1800, 96, 90, 67.85, 61.84},
    {"EPSG:2154", 699000, 6214000, 25, 40, 200, 110, 25, 40},
};

using Surface = std::function<double(const Layout &, int column, int row)>;

double plane(const Layout &, int c, int r)
{
    return 1000 + 0.7 * c + 0.3 * r;
}

// 1300 m at the middle cell, down 0.3 m a metre to a plain at 1000 m.
double cone(const Layout &l, int c, int r)
{
    const double d = std::hypot((c - l.columns / 2) * l.metresX, (r - l.rows / 2) * l.metresY);
    return 1000 + std::max(0.0, 300 - 0.3 * d);
}

QString tool(const QString &program, const QStringList &args, const QByteArray &input = {})
{
    QProcess p;
    p.start(program, args);
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(120000);
    if (p.exitCode() != 0)
        qWarning() << program << args << p.readAllStandardError();
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString number(double v)
{
    return QString::number(v, 'g', 17);
}

// An ASCII grid of the surface, made a GeoTIFF by gdal_translate.
QString makeRaster(const QString &path, const Layout &l, const Surface &z,
                   const QStringList &options = {})
{
    QByteArray grid = QStringLiteral("ncols %1\nnrows %2\nxllcorner 0\nyllcorner 0\ncellsize 1\n"
                                     "NODATA_value %3\n")
                          .arg(l.columns)
                          .arg(l.rows)
                          .arg(kNoData)
                          .toLatin1();
    for (int r = 0; r < l.rows; ++r) {
        for (int c = 0; c < l.columns; ++c)
            grid += QByteArray::number(z(l, c, r), 'g', 10) + ' ';
        grid += '\n';
    }
    writeBytes(path + ".asc", grid);
    QStringList args{"-q", "-ot", "Float32", "-a_nodata", number(kNoData), "-a_ullr"};
    args << number(l.west) << number(l.north) << number(l.west + l.columns * l.dx)
         << number(l.north - l.rows * l.dy);
    if (!l.srs.isEmpty())
        args << "-a_srs" << l.srs;
    tool("gdal_translate", args + options + QStringList{path + ".asc", path});
    QFile::remove(path + ".asc");
    return path;
}

QList<double> numbers(const QString &text)
{
    QList<double> out;
    for (const QString &word : text.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts))
        out << word.toDouble();
    return out;
}

// Map positions in `srs` as cs2cs converts them for the map's area, x first.
QList<QPointF> cs2cs(const Coordinates::Area &a, const QString &srs, const QList<GridPoint> &ps)
{
    QByteArray input;
    for (const GridPoint &p : ps)
        input += QStringLiteral("%1 %2\n").arg(number(p.easting), number(p.northing)).toLatin1();
    const QString box =
        QStringList{number(a.west), number(a.south), number(a.east), number(a.north)}.join(',');
    const QList<double> v =
        numbers(tool("cs2cs", {"-f", "%.10f", "--bbox", box, "EPSG:23031", srs}, input));
    QList<QPointF> out;
    for (qsizetype i = 0; i + 2 < v.size() + 1; i += 3) // x y z; degrees come latitude first
        out << (srs == "EPSG:4326" ? QPointF(v[i + 1], v[i]) : QPointF(v[i], v[i + 1]));
    return out;
}

// gdallocationinfo's values at system positions (-geoloc) or at cells.
QList<double> valuesAt(const QString &file, const QList<QPointF> &at, bool geoloc)
{
    QByteArray input;
    for (const QPointF &p : at)
        input += QStringLiteral("%1 %2\n").arg(number(p.x()), number(p.y())).toLatin1();
    QStringList args{"-valonly"};
    if (geoloc)
        args << "-geoloc";
    return numbers(tool("gdallocationinfo", args << file, input));
}

// Whether a shared library whose name holds `name` is mapped in the process.
bool mapped(const char *name)
{
    QFile maps("/proc/self/maps");
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(name);
}

MapTerrain onMap(const QString &path)
{
    return MapTerrain(TerrainModel::open(path), kGrid,
                      Coordinates::areaOfExtent(kGrid, kSouthWest, kNorthEast));
}

} // namespace

class TerrainTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString file(const QString &name) const { return m_dir.filePath(name); }

private slots:
    // Runs first: the program's code is all linked in, and GDAL stays out
    // until a model is opened.
    void gdalLoadedByTheFirstModel()
    {
        QVERIFY(!mapped("libgdal"));
        QVERIFY(!mapped("libquor_terrain"));
        makeRaster(file("plan.tif"), kLayouts[0], plane);
        QVERIFY(!mapped("libgdal"));
        onMap(file("plan.tif"));
        QVERIFY(mapped("libquor_terrain"));
        QVERIFY(mapped("libgdal"));
    }

    void altitudesAgreeWithGdalTools_data()
    {
        QTest::addColumn<int>("layout");
        QTest::newRow("ED50 UTM 31N") << 0;
        QTest::newRow("WGS84 degrees") << 1;
        QTest::newRow("Lambert-93") << 2;
    }

    // The position goes through cs2cs with the map's area, the four cells
    // around it come from gdallocationinfo, the interpolation is done here.
    void altitudesAgreeWithGdalTools()
    {
        QFETCH(int, layout);
        const Layout &l = kLayouts[layout];
        const QList<GridPoint> points{
            {501732, 4761776}, {500123.4, 4762890.7}, {503001.9, 4760500.3}, {501565, 4761890}};
        for (const bool flat : {true, false}) {
            const Surface surface = flat ? Surface(plane) : Surface(cone);
            const QString path = makeRaster(file("surface.tif"), l, surface);
            const MapTerrain terrain = onMap(path);
            const QList<QPointF> at = cs2cs(terrain.area(), l.srs, points);
            QCOMPARE(at.size(), points.size());
            const QList<double> located = valuesAt(path, at, true);
            for (qsizetype i = 0; i < points.size(); ++i) {
                const double column = (at[i].x() - l.west) / l.dx - 0.5;
                const double row = (l.north - at[i].y()) / l.dy - 0.5;
                const int c = int(std::floor(column));
                const int r = int(std::floor(row));
                const QList<double> z = valuesAt(
                    path,
                    {QPointF(c, r), QPointF(c + 1, r), QPointF(c, r + 1), QPointF(c + 1, r + 1)},
                    false);
                const double fx = column - c;
                const double fy = row - r;
                const double expected = z[0] * (1 - fx) * (1 - fy) + z[1] * fx * (1 - fy) +
                                        z[2] * (1 - fx) * fy + z[3] * fx * fy;
                const std::optional<double> got = terrain.altitude(points[i]);
                QVERIFY(got);
                QVERIFY2(std::abs(*got - expected) < kTolerance,
                         qPrintable(QStringLiteral("%1 %2").arg(*got).arg(expected)));
                // The cell holding the position is the one gdallocationinfo finds.
                QCOMPARE(located[i], z[(column - c >= 0.5 ? 1 : 0) + (row - r >= 0.5 ? 2 : 0)]);
                if (z[0] == z[1] && z[1] == z[2] && z[2] == z[3]) // on the plain
                    QVERIFY(std::abs(*got - located[i]) < kTolerance);
                if (flat)
                    QVERIFY(std::abs(*got - (1000 + 0.7 * column + 0.3 * row)) < kTolerance);
            }
        }
    }

    // Cells' edges and centres: each boundary from both sides.
    void edgesAndEmptyCells()
    {
        const Layout &l = kLayouts[0];
        const MapTerrain terrain =
            onMap(makeRaster(file("trou.tif"), l, [](const Layout &l, int c, int r) {
                return c == 5 && r == 5 ? kNoData : plane(l, c, r);
            }));
        // The west edge: half a cell beyond the first centre, the edge cells answer.
        QCOMPARE(*terrain.altitude({499000, 4763990}), plane(l, 0, 0));
        QVERIFY(!terrain.altitude({499000 - 0.01, 4763990}));
        QVERIFY(!terrain.altitude({499000 + 170 * 30 + 0.01, 4763990}));
        QVERIFY(terrain.altitude({499000 + 170 * 30, 4763990}));
        // On the centres of cells (4, 5) and (6, 5), the empty cell (5, 5)
        // between them weighs nothing; a centimetre towards it, it does.
        const double x4 = 499000 + 4.5 * 30;
        const double x6 = 499000 + 6.5 * 30;
        const double y5 = 4764000 - 5.5 * 20;
        QVERIFY(std::abs(*terrain.altitude({x4, y5}) - plane(l, 4, 5)) < kTolerance);
        QVERIFY(std::abs(*terrain.altitude({x6, y5}) - plane(l, 6, 5)) < kTolerance);
        QVERIFY(!terrain.altitude({x4 + 0.01, y5}));
        QVERIFY(!terrain.altitude({x6 - 0.01, y5}));
        QVERIFY(terrain.altitude({x4 - 0.01, y5 + 0.01}));
    }

    // Over a folder of tiles the finer wins, and the coarser fills its holes.
    void finerTileWins()
    {
        QDir(m_dir.path()).mkdir("tuiles");
        makeRaster(file("tuiles/grossier.tif"), kLayouts[0], plane);
        const Layout fine{"EPSG:23031", 501000, 4762000, 10, 8, 50, 60, 10, 8};
        makeRaster(file("tuiles/fin.tif"), fine,
                   [](const Layout &, int c, int) { return c < 10 ? kNoData : 500.0; });
        writeBytes(file("tuiles/lisez-moi.txt"), "Tuiles du massif");
        QImage(8, 8, QImage::Format_RGB32).save(file("tuiles/photo.jpg"));
        const MapTerrain terrain = onMap(file("tuiles"));
        QCOMPARE(terrain.model().tiles().size(), std::size_t(2));
        QCOMPARE(terrain.model().tiles()[0].path, file("tuiles/fin.tif"));
        QCOMPARE(*terrain.altitude({501300, 4761800}), 500.0);
        // In the fine tile's empty columns, the coarse tile's plane.
        QVERIFY(std::abs(*terrain.altitude({501050, 4761800}) -
                         (1000 + 0.7 * (2050 / 30.0 - 0.5) + 0.3 * (2200 / 20.0 - 0.5))) <
                kTolerance);
        QVERIFY(std::abs(*terrain.altitude({500500, 4761800}) -
                         (1000 + 0.7 * (1500 / 30.0 - 0.5) + 0.3 * (2200 / 20.0 - 0.5))) <
                kTolerance);
        QVERIFY(!terrain.altitude({600000, 4761800}));
    }

    void profileAcrossTheCone()
    {
        const Layout &l = kLayouts[0];
        const MapTerrain terrain = onMap(makeRaster(file("cone.tif"), l, cone));
        // The apex's cell centre, and the plain 1200 m either side.
        const GridPoint apex{499000 + 85.5 * 30, 4764000 - 105.5 * 20};
        const GridPoint west{apex.easting - 1200, apex.northing};
        const GridPoint east{apex.easting + 1200, apex.northing};
        const Terrain::Profile p = terrain.profile({west, apex, east});
        QCOMPARE(p.step, 20.0);
        QCOMPARE(p.samples.size(), 2 * 60 + 1);
        QCOMPARE(p.samples.last().distance, 2400.0);
        QVERIFY(std::abs(p.total.climb - 300) < 3 && std::abs(p.total.descent - 300) < 3);

        const QList<MapTerrain::Waypoint> route{{"Col", west, 1000}, {"Lac", east, 1000}};
        const QList<MapTerrain::Leg> legs = terrain.hiddenClimbs(route);
        QCOMPARE(legs.size(), 1);
        QCOMPARE(legs[0].text, QStringLiteral("Entre Col et Lac le terrain monte de 300 m et "
                                              "redescend de 300 m : ajoutez une étape pour que "
                                              "l'horaire en tienne compte"));
        QCOMPARE(terrain.hiddenClimbs(route, 299).size(), 1);
        QVERIFY(terrain.hiddenClimbs(route, 300).isEmpty());
        QVERIFY(terrain.profile({}).samples.isEmpty());
        QCOMPARE(terrain.profile({apex, apex}).samples.size(), 1);
    }

    void hiddenClimbOfALeg()
    {
        auto leg = [](QList<double> altitudes) {
            Terrain::Profile p;
            for (double a : altitudes)
                p.samples << Terrain::Sample{p.samples.size() * 10.0, a};
            p.total = Terrain::climbOf(p.samples);
            return p;
        };
        const Terrain::Climb h = Terrain::hiddenClimb(leg({1000, 1250, 1100}), 1000, 1100);
        QCOMPARE(h.climb, 150.0);
        QCOMPARE(h.descent, 150.0);
        QVERIFY(!Terrain::deservesAStage(Terrain::hiddenClimb(leg({1000, 1050, 1000}))));
        QVERIFY(!Terrain::deservesAStage(Terrain::hiddenClimb(leg({1000, 1050.4, 1000}))));
        QVERIFY(Terrain::deservesAStage(Terrain::hiddenClimb(leg({1000, 1051, 1000}))));
        QVERIFY(Terrain::deservesAStage(Terrain::hiddenClimb(leg({1000, 1000, 949, 1000}))));
        // A stretch without altitudes is bridged.
        Terrain::Profile gap = leg({1000, 1200, 1000});
        gap.samples[1].altitude.reset();
        QCOMPARE(Terrain::climbOf(gap.samples).climb, 0.0);
        QCOMPARE(Terrain::hiddenClimbText("A", "%1", {150.4, 49.6}),
                 QStringLiteral("Entre A et %1 le terrain monte de 150 m et redescend de 50 m : "
                                "ajoutez une étape pour que l'horaire en tienne compte"));
    }

    void hostileModels()
    {
        auto refused = [](const QString &path) {
            return messageOf([&] { TerrainModel::open(path); });
        };
        writeBytes(file("texte.tif"), "Ceci n'est pas un raster.\n");
        QCOMPARE(refused(file("texte.tif")), Terrain::unreadableText(file("texte.tif")));
        writeBytes(file("vide.tif"), "");
        QCOMPARE(refused(file("vide.tif")), Terrain::unreadableText(file("vide.tif")));
        QCOMPARE(refused(file("absent.tif")), Terrain::missingText(file("absent.tif")));

        QImage colours(40, 30, QImage::Format_RGB32);
        colours.fill(Qt::darkGreen);
        QVERIFY(colours.save(file("photo.jpg")));
        QCOMPARE(refused(file("photo.jpg")), Terrain::notElevationText(file("photo.jpg")));
        makeRaster(file("octets.tif"), kLayouts[0], plane, {"-ot", "Byte"});
        QCOMPARE(refused(file("octets.tif")), Terrain::notElevationText(file("octets.tif")));
        Layout nowhere = kLayouts[0];
        nowhere.srs.clear();
        makeRaster(file("sans.tif"), nowhere, plane);
        QCOMPARE(refused(file("sans.tif")), Terrain::notGeoreferencedText(file("sans.tif")));
        makeRaster(file("rien.tif"), kLayouts[0], [](const Layout &, int, int) { return kNoData; });
        QCOMPARE(refused(file("rien.tif")), Terrain::noAltitudeText(file("rien.tif")));

        QDir(m_dir.path()).mkdir("dossier");
        QCOMPARE(refused(file("dossier")), Terrain::emptyFolderText(file("dossier")));
        // A photo is passed over like a note; an elevation raster that
        // cannot be used says why.
        QFile::copy(file("photo.jpg"), file("dossier/photo.jpg"));
        QCOMPARE(refused(file("dossier")), Terrain::emptyFolderText(file("dossier")));
        QFile::copy(file("sans.tif"), file("dossier/sans.tif"));
        QCOMPARE(refused(file("dossier")), Terrain::notGeoreferencedText(file("dossier/sans.tif")));

        // Elsewhere: 300 km west of the map.
        Layout away = kLayouts[0];
        away.west -= 300000;
        const MapTerrain far = onMap(makeRaster(file("loin.tif"), away, plane));
        QVERIFY(!far.covers(kSouthWest, kNorthEast));
        QCOMPARE(messageOf([&] { far.checkCovers(kSouthWest, kNorthEast); }),
                 Terrain::notCoveringText(file("loin.tif")));
        const MapTerrain near = onMap(makeRaster(file("proche.tif"), kLayouts[0], plane));
        QVERIFY(near.covers(kSouthWest, kNorthEast));
        QVERIFY(!near.covers({600000, 4760000}, {610000, 4770000}));
        // Nothing was written beside the models.
        QVERIFY(QDir(m_dir.path()).entryList({"*.aux.xml", "*.ovr"}).isEmpty());
    }

    // 100 000 x 100 000 cells: a virtual raster over a small one, and a sparse
    // GeoTIFF of 1.8 MB whose cells are all empty.
    void hugeModels()
    {
        makeRaster(file("petit.tif"), kLayouts[0], plane);
        writeBytes(file("immense.vrt"),
                   "<VRTDataset rasterXSize='100000' rasterYSize='100000'><SRS>EPSG:23031</SRS>"
                   "<GeoTransform>450000, 1, 0, 4800000, 0, -1</GeoTransform>"
                   "<VRTRasterBand dataType='Float32' band='1'><SimpleSource>"
                   "<SourceFilename relativeToVRT='1'>petit.tif</SourceFilename>"
                   "<SourceBand>1</SourceBand><SrcRect xOff='0' yOff='0' xSize='170' ySize='210'/>"
                   "<DstRect xOff='0' yOff='0' xSize='100000' ySize='100000'/></SimpleSource>"
                   "</VRTRasterBand></VRTDataset>");
        QElapsedTimer timer;
        timer.start();
        const MapTerrain terrain = onMap(file("immense.vrt"));
        QVERIFY(terrain.altitude({501732, 4761776}));
        const Terrain::Profile p = terrain.profile({{450500, 4750000}, {549500, 4750000}});
        QCOMPARE(p.samples.size(), Terrain::kMaxSamples + 1);
        QCOMPARE(p.step, 99000.0 / Terrain::kMaxSamples);
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));

        tool("gdal_create",
             {"-q",      "-outsize",  "100000",  "100000",        "-ot",
              "Float32", "-a_nodata", "-9999",   "-a_srs",        "EPSG:23031",
              "-a_ullr", "450000",    "4800000", "550000",        "4700000",
              "-co",     "TILED=YES", "-co",     "SPARSE_OK=YES", file("creux.tif")});
        timer.restart();
        QCOMPARE(messageOf([&] { TerrainModel::open(file("creux.tif")); }),
                 Terrain::noAltitudeText(file("creux.tif")));
        QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
    }

    // A folder of a thousand tiles: headers read, a few files open at once.
    void thousandTiles()
    {
        const QString folder = file("mille");
        QDir().mkpath(folder);
        const QByteArray prj =
            tool("gdalsrsinfo", {"-o", "wkt_esri", "EPSG:23031"}).trimmed().toLatin1();
        auto height = [](double e, double n) {
            return 1000 + 0.01 * (e - 490000) + 0.02 * (n - 4750000);
        };
        for (int i = 0; i < 1000; ++i) {
            const double west = 490000 + (i % 40) * 500.0;
            const double south = 4750000 + (i / 40) * 500.0;
            QByteArray grid = QStringLiteral("ncols 10\nnrows 10\nxllcorner %1\nyllcorner %2\n"
                                             "cellsize 50\n")
                                  .arg(west)
                                  .arg(south)
                                  .toLatin1();
            for (int r = 0; r < 10; ++r) {
                for (int c = 0; c < 10; ++c)
                    grid +=
                        QByteArray::number(height(west + 25 + 50 * c, south + 475 - 50 * r)) + ' ';
                grid += '\n';
            }
            const QString name = folder + QStringLiteral("/t%1").arg(i, 4, 10, QLatin1Char('0'));
            writeBytes(name + ".asc", grid);
            writeBytes(name + ".prj", prj);
        }
        const auto openFiles = [] { return QDir("/proc/self/fd").count(); };
        const qsizetype before = openFiles();
        QElapsedTimer timer;
        timer.start();
        const MapTerrain terrain = onMap(folder);
        QCOMPARE(terrain.model().tiles().size(), std::size_t(1000));
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(openFiles() - before <= 40);
        // The first tile, long closed, and one in the middle.
        for (const GridPoint p : {GridPoint{490123, 4750321}, GridPoint{501234, 4757654}})
            QVERIFY(std::abs(*terrain.altitude(p) - height(p.easting, p.northing)) < kTolerance);
    }

    void projectChoice()
    {
        const QString project = file("Alpes");
        QDir().mkpath(project + "/MNT");
        const QString choice = project + "/Quorterrain.txt";
        QCOMPARE(TerrainChoice::read(project), QString());
        TerrainChoice::write(project, project + "/MNT/Modèle.tif");
        QCOMPARE(readBytes(choice), QByteArray("MNT/Mod\xe8le.tif\r\n"));
        QCOMPARE(TerrainChoice::read(project), project + "/MNT/Modèle.tif");
        TerrainChoice::write(project, file("Рельеф.tif"));
        QCOMPARE(readBytes(choice), "\xEF\xBB\xBF" + file("Рельеф.tif").toUtf8() + "\r\n");
        QCOMPARE(TerrainChoice::read(project + "/"), file("Рельеф.tif"));
        writeBytes(choice, "..\\relief.tif\nsecond");
        QCOMPARE(TerrainChoice::read(project), project + "/..\\relief.tif");
        QVERIFY(messageOf([&] {
                    TerrainChoice::write(project, file("a\nb.tif"));
                }).startsWith("Le chemin « "));
        TerrainChoice::write(project, QString());
        QVERIFY(!QFile::exists(choice));
    }

    // The example project's model, drawn at build time from its relief.
    void exampleTerrain()
    {
        const QString project = QStringLiteral(QUOR_TEST_MODULE_DIR "/example/Exemple");
        QCOMPARE(readBytes(project + "/Quorterrain.txt"), QByteArray("Terrain.tif\r\n"));
        const MapTerrain terrain = onMap(TerrainChoice::read(project));
        QCOMPARE(terrain.model().tiles()[0].cellWidth, 25.0);
        QCOMPARE(terrain.model().tiles()[0].cellHeight, 25.0);
        terrain.checkCovers(kSouthWest, kNorthEast);
        for (double e = kSouthWest.easting; e <= kNorthEast.easting; e += 500) {
            for (double n = kSouthWest.northing; n <= kNorthEast.northing; n += 500)
                QVERIFY(std::abs(*terrain.altitude({e, n}) - ExampleProject::altitude(e, n)) < 2);
        }
    }
};

QUOR_TEST_FIRST(TerrainTest)
#include "tst_terrain.moc"
