#include "common/testmain.h"
#include "common/testutil.h"
#include "terrain/mapterrain.h"
#include "terrain/terrainchoice.h"
#include "terrain/terrainmodel.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace TestUtil;

namespace {

// A 4 x 3 model of 1000 m and more, 100 m cells from E 500000, N 4760300 of
// ED50 / UTM 31N, in the system `srs`.
bool makeModel(const QString &path, const QString &srs = QStringLiteral("EPSG:23031"))
{
    writeBytes(path + ".asc", "ncols 4\nnrows 3\nxllcorner 500000\nyllcorner 4760000\n"
                              "cellsize 100\n1000 1001 1002 1003\n1010 1011 1012 1013\n"
                              "1020 1021 1022 1023\n");
    QProcess gdal;
    gdal.start(QStringLiteral("gdal_translate"),
               {QStringLiteral("-q"), QStringLiteral("-a_srs"), srs, path + ".asc", path});
    const bool made = gdal.waitForFinished(60000) && gdal.exitCode() == 0;
    QFile::remove(path + ".asc");
    return made;
}

} // namespace

// What a shared project may name as its model, beyond rasters: the
// filesystem's special files, folders of other things, choices that are no
// path, systems no operation reaches.
class ModelFilesTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString file(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(makeModel(file("modele.tif")));
        // Apart: a folder holding a FIFO gives GDAL none of its files.
        QVERIFY(QDir().mkpath(file("special")));
        QVERIFY(::mkfifo(QFile::encodeName(file("special/fifo.tif")).constData(), 0644) == 0);
    }

    // A FIFO waits for a writer forever: a hang fails the test in seconds.
    void init() { ::alarm(20); }
    void cleanup() { ::alarm(0); }

    void specialFilesAreNoModels()
    {
        QCOMPARE(messageOf([&] { TerrainModel::open(file("special/fifo.tif")); }),
                 Terrain::unreadableText(file("special/fifo.tif")));
        QCOMPARE(messageOf([&] { TerrainModel::open(file("absent.tif")); }),
                 Terrain::missingText(file("absent.tif")));
        // A folder of tiles holding a link to a FIFO is refused whole: GDAL
        // could take the FIFO for some tile's companion.
        QDir().mkpath(file("tuiles"));
        QVERIFY(QFile::copy(file("modele.tif"), file("tuiles/a.tif")));
        QCOMPARE(TerrainModel::open(file("tuiles")).tiles().size(), std::size_t(1));
        QVERIFY(QFile::link(file("special/fifo.tif"), file("tuiles/b.tif")));
        QCOMPARE(messageOf([&] { TerrainModel::open(file("tuiles")); }),
                 Terrain::emptyFolderText(file("tuiles")));
    }

    // The choice's file: a FIFO is refused at once, 64 KiB is read, a byte
    // more is said to be too long rather than taken for no model.
    void choiceFiles()
    {
        const QString project = file("Alpes");
        QDir().mkpath(project);
        const QString choice = project + "/Quorterrain.txt";
        QByteArray bytes = "modele.tif\r\n";
        bytes += QByteArray(64 * 1024 - bytes.size(), 'x');
        writeBytes(choice, bytes);
        QCOMPARE(TerrainChoice::read(project), project + "/modele.tif");
        writeBytes(choice, bytes + 'x');
        QCOMPARE(messageOf([&] { TerrainChoice::read(project); }),
                 QStringLiteral("Le fichier « %1 » est trop long pour désigner un modèle de "
                                "terrain : il dépasse 64 Ko.")
                     .arg(choice));
        QFile::remove(choice);
        QVERIFY(::mkfifo(QFile::encodeName(choice).constData(), 0644) == 0);
        QCOMPARE(messageOf([&] { TerrainChoice::read(project); }),
                 QStringLiteral("Accès au fichier refusé"));
    }

    // A model of Mars lies under no Earth map, but the walker must hear that
    // its system is the fault, not its region.
    void systemWithoutOperation()
    {
        QVERIFY(makeModel(file("mars.tif"), QStringLiteral("IAU_2015:49900")));
        const Coordinates::Grid grid{31, QLatin1Char('T'), QStringLiteral("ED50")};
        const Coordinates::GridPoint low{500000, 4760000}, high{500400, 4760300};
        const MapTerrain mars(TerrainModel::open(file("mars.tif")), grid,
                              Coordinates::areaOfExtent(grid, low, high));
        QCOMPARE(messageOf([&] { mars.checkCovers(low, high); }),
                 QStringLiteral("Le modèle de terrain « %1 » est dans un système de coordonnées "
                                "vers lequel Quor ne sait pas convertir les positions de la carte.")
                     .arg(file("mars.tif")));
        // The same cells on Earth cover the map.
        const MapTerrain earth(TerrainModel::open(file("modele.tif")), grid,
                               Coordinates::areaOfExtent(grid, low, high));
        QCOMPARE(messageOf([&] { earth.checkCovers(low, high); }), QString());
    }
};

QUOR_TEST(ModelFilesTest)
#include "tst_modelfiles.moc"
