#include "common/testmain.h"
#include "common/testutil.h"
#include "terrain/terrainapi.h"
#include "terrain/terrainmodel.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <future>

#include <sys/stat.h>

using namespace TestUtil;

namespace {

// A model still opening after this long ends the run instead of holding CI.
constexpr int kWatchdogSeconds = 20;
// Long enough for a connection GDAL started to reach the listener.
constexpr int kConnectionWaitMs = 300;

// Where the object stores and image services would be, were they asked: the
// listener (%1).
const char *const kServices[][2] = {{"AWS_S3_ENDPOINT", "%1"},
                                    {"AWS_NO_SIGN_REQUEST", "YES"},
                                    {"AWS_HTTPS", "NO"},
                                    {"AWS_VIRTUAL_HOSTING", "FALSE"},
                                    {"SWIFT_STORAGE_URL", "http://%1/v1"},
                                    {"SWIFT_AUTH_TOKEN", "quor"},
                                    {"PL_URL", "http://%1/data/v1/"},
                                    {"PL_API_KEY", "quor"}};

void run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        qFatal("%s failed: %s", qPrintable(program), p.readAllStandardError().constData());
}

// A GeoTIFF of 8 x 8 cells of 25 m, all at `value`.
void makeTile(const QString &path, double value, const QString &srs = "EPSG:23031")
{
    writeBytes(path + ".asc", "ncols 8\nnrows 8\nxllcorner 0\nyllcorner 0\ncellsize 1\n" +
                                  (QByteArray::number(value, 'g', 10) + ' ').repeated(64));
    run("gdal_translate", {"-q", "-ot", "Float32", "-a_srs", srs, "-a_ullr", "500000", "4762000",
                           "500200", "4761800", path + ".asc", path});
    QFile::remove(path + ".asc");
}

// A virtual raster of 8 x 8 cells with one band made of `band`, placed like
// the tiles unless told otherwise.
QByteArray vrtOf(const QString &band, const QString &srs = "EPSG:23031",
                 const QString &transform = "500000, 25, 0, 4762000, 0, -25")
{
    return QStringLiteral("<VRTDataset rasterXSize='8' rasterYSize='8'><SRS>%1</SRS>"
                          "<GeoTransform>%2</GeoTransform>%3</VRTDataset>")
        .arg(srs.toHtmlEscaped(), transform, band)
        .toUtf8();
}

QString sourced(const QString &source, bool relative = true)
{
    return QStringLiteral("<VRTRasterBand dataType='Float32' band='1'><SimpleSource>"
                          "<SourceFilename relativeToVRT='%1'>%2</SourceFilename>"
                          "<SourceBand>1</SourceBand></SimpleSource></VRTRasterBand>")
        .arg(relative ? 1 : 0)
        .arg(source.toHtmlEscaped());
}

} // namespace

class HostileModelsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QTcpServer m_listener;

    QString file(const QString &name) const { return m_dir.filePath(name); }
    QString model() const { return file("MNT/modele.vrt"); }
    QString local() const { return QStringLiteral("127.0.0.1:%1").arg(m_listener.serverPort()); }

    // The message the model is refused with, empty when it opens.
    static QString refusal(const QString &path)
    {
        auto opening = std::async(std::launch::async,
                                  [&] { return messageOf([&] { TerrainModel::open(path); }); });
        if (opening.wait_for(std::chrono::seconds(kWatchdogSeconds)) != std::future_status::ready)
            qFatal("%s still opening after %d s", qPrintable(path), kWatchdogSeconds);
        return opening.get();
    }

    bool connected()
    {
        const bool any = m_listener.waitForNewConnection(kConnectionWaitMs) ||
                         m_listener.hasPendingConnections();
        while (QTcpSocket *socket = m_listener.nextPendingConnection())
            delete socket;
        return any;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_listener.listen(QHostAddress::LocalHost));
        QVERIFY(QDir(m_dir.path()).mkdir("MNT"));
        makeTile(file("MNT/tuile.tif"), 1234.5);
        makeTile(file("dehors.tif"), 2345);
        writeBytes(file("secret.txt"), "mot de passe: 0123456789abcdef\n");
        for (const auto &[name, value] : kServices)
            qputenv(name, QString(value).replace("%1", local()).toLatin1());
    }

    void cleanupTestCase()
    {
        for (const auto &[name, value] : kServices)
            qunsetenv(name);
    }

    void cleanup()
    {
        for (const char *name : {"modele.vrt", "lien.tif", "tube", "lien-tube", "reseau.kml"})
            QFile::remove(file(QStringLiteral("MNT/") + name));
    }

    // The guard refuses what it must, not every virtual raster.
    void localVirtualRaster()
    {
        writeBytes(model(), vrtOf(sourced("tuile.tif")));
        const TerrainModel opened = TerrainModel::open(model());
        double metres = 0;
        Terrain::module().read(opened.tiles()[0].raster, 3, 4, 1, 1, &metres);
        QCOMPARE(metres, 1234.5);
    }

    void nothingConnects_data()
    {
        QTest::addColumn<QString>("source");
        // A local file in the folder is left to GDAL, which has no driver left
        // for it: the model fails when its cells are first read.
        QTest::addColumn<bool>("readFirst");
        const QString http = "http://" + local();
        QTest::newRow("streaming URL") << "/vsicurl_streaming/" + http + "/mnt.tif" << false;
        QTest::newRow("URL") << "/vsicurl/" + http + "/mnt.tif" << false;
        QTest::newRow("S3 streaming") << "/vsis3_streaming/seau/mnt.tif" << false;
        QTest::newRow("Swift") << "/vsiswift/seau/mnt.tif" << false;
        QTest::newRow("gzip over a URL")
            << "/vsigzip//vsicurl_streaming/" + http + "/mnt.tif.gz" << false;
        QTest::newRow("web map") << "WMS:" + http + "/wms?LAYERS=mnt" << false;
        QTest::newRow("OPeNDAP") << "NETCDF:\"" + http + "/mnt.nc\":z" << false;
        QTest::newRow("Planet") << "PLScenes:version=Data_V1,itemtypes=PSScene,scene=a,asset=b"
                                << false;
        QTest::newRow("KML link") << "reseau.kml" << true;
    }

    // Each source as a virtual raster's, and the file systems as the model.
    void nothingConnects()
    {
        QFETCH(QString, source);
        QFETCH(bool, readFirst);
        writeBytes(file("MNT/reseau.kml"),
                   "<kml xmlns='http://www.opengis.net/kml/2.2'><Document><NetworkLink>"
                   "<Region><LatLonAltBox><north>43.1</north><south>43</south><east>3.1</east>"
                   "<west>3</west></LatLonAltBox></Region><Link><href>http://" +
                       local().toLatin1() +
                       "/mnt.kml</href></Link></NetworkLink></Document></kml>");
        writeBytes(model(), vrtOf(sourced(source, !source.contains(':'))));
        const QString message = refusal(model());
        QVERIFY(!connected());
        QCOMPARE(message,
                 readFirst ? Terrain::readFailedText(model()) : Terrain::unreadableText(model()));
        if (source.startsWith("/vsi")) {
            const QString direct = refusal(source);
            QVERIFY(!connected());
            // No such local file: the program never hands it to GDAL.
            QCOMPARE(direct, Terrain::missingText(source));
        }
    }

    void refusedVirtualRasters_data()
    {
        QTest::addColumn<QByteArray>("vrt");
        QTest::newRow("raw file") << vrtOf(
            "<VRTRasterBand dataType='Int16' band='1' subClass='VRTRawRasterBand'>"
            "<SourceFilename relativeToVRT='1'>../secret.txt</SourceFilename>"
            "<ImageOffset>0</ImageOffset><PixelOffset>2</PixelOffset><LineOffset>16</LineOffset>"
            "</VRTRasterBand>");
        QTest::newRow("up the tree") << vrtOf(sourced("../dehors.tif"));
        QTest::newRow("absolute") << vrtOf(sourced(file("dehors.tif"), false));
        QTest::newRow("symlink out") << vrtOf(sourced("lien.tif"));
        QTest::newRow("itself") << vrtOf(sourced("modele.vrt"));
        QTest::newRow("overview") << vrtOf(
            "<VRTRasterBand dataType='Float32' band='1'><Overview><SourceFilename "
            "relativeToVRT='1'>../dehors.tif</SourceFilename><SourceBand>1</SourceBand>"
            "</Overview></VRTRasterBand>");
        QTest::newRow("mask") << vrtOf(
            sourced("tuile.tif")
                .replace("</VRTRasterBand>",
                         "<MaskBand>" + sourced("../dehors.tif") + "</MaskBand></VRTRasterBand>"));
        // Inside the folder, but GDAL 3.6 crashes reading through it.
        QTest::newRow("kernel without size") << vrtOf(
            "<VRTRasterBand dataType='Float32' band='1'><KernelFilteredSource><SourceFilename "
            "relativeToVRT='1'>tuile.tif</SourceFilename><SourceBand>1</SourceBand><Kernel>"
            "<Coefs>1 1 1 1 1 1 1 1 1</Coefs></Kernel></KernelFilteredSource></VRTRasterBand>");
    }

    // Nothing outside the folder is read, nor anything GDAL crashes on.
    void refusedVirtualRasters()
    {
        QFETCH(QByteArray, vrt);
        QFile::link(file("dehors.tif"), file("MNT/lien.tif"));
        writeBytes(model(), vrt);
        QCOMPARE(refusal(model()), Terrain::unreadableText(model()));
    }

    // Virtual rasters within virtual rasters are followed a few levels down.
    void nestedVirtualRasters()
    {
        writeBytes(file("MNT/niveau0.vrt"), vrtOf(sourced("tuile.tif")));
        for (int level = 1; level <= 5; ++level)
            writeBytes(file(QStringLiteral("MNT/niveau%1.vrt").arg(level)),
                       vrtOf(sourced(QStringLiteral("niveau%1.vrt").arg(level - 1))));
        QCOMPARE(refusal(file("MNT/niveau2.vrt")), QString());
        QCOMPARE(refusal(file("MNT/niveau5.vrt")),
                 Terrain::unreadableText(file("MNT/niveau5.vrt")));
    }

    // GDAL builds a warped raster's transformer from the file's systems as it
    // opens it, and PROJ may crash on them.
    void warpedRefused()
    {
        run("gdalwarp",
            {"-q", "-of", "VRT", "-t_srs", "EPSG:4326", file("MNT/tuile.tif"), model()});
        QCOMPARE(refusal(model()), Terrain::unreadableText(model()));
    }

    // A geographic system carrying the code of a geocentric one, on which
    // PROJ crashes: converted as the honest code would have it.
    void systemWithAnotherKindsCode()
    {
        auto converted = [&](const char *code) {
            const QString wgs84 = QStringLiteral(
                "GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,298.257223563]],"
                "PRIMEM[\"Greenwich\",0],UNIT[\"degree\",0.0174532925199433],"
                "AUTHORITY[\"EPSG\",\"%1\"]]");
            writeBytes(model(), vrtOf(sourced("tuile.tif"), wgs84.arg(code),
                                      "2.99, 0.001, 0, 43, 0, -0.001"));
            QPointF at;
            messageOf([&] {
                const TerrainModel opened = TerrainModel::open(model());
                double x = 500000;
                double y = 4760000;
                unsigned char ok = 0;
                Terrain::module().toSystem(opened.tiles()[0].system, {}, {2.9, 42.9, 3.1, 43.1}, 1,
                                           &x, &y, &ok);
                at = ok ? QPointF(x, y) : QPointF();
            });
            return at;
        };
        QCOMPARE(converted("4978"), converted("4326"));
    }

    void fifosNeverBlock_data()
    {
        QTest::addColumn<QString>("source");
        QTest::newRow("FIFO") << "tube";
        QTest::newRow("symlink to a FIFO") << "lien-tube";
    }

    // As a virtual raster's source, and as the model.
    void fifosNeverBlock()
    {
        QFETCH(QString, source);
        ::mkfifo(QFile::encodeName(file("MNT/tube")).constData(), 0600);
        QFile::link(file("MNT/tube"), file("MNT/lien-tube"));
        writeBytes(model(), vrtOf(sourced(source)));
        QCOMPARE(refusal(model()), Terrain::unreadableText(model()));
        QCOMPARE(refusal(file("MNT/" + source)), Terrain::unreadableText(file("MNT/" + source)));
    }

    // data/immense.tif: a tiled BigTIFF of 456 bytes, georeferenced, with a
    // no-data value, whose header claims 741,440 x 741,440 cells of Int16 in
    // 16 x 16 tiles: 2.1 billion tiles, whose tables of offsets and sizes
    // would run far past the file's end. Opened within the cells' budget:
    // accepted, its emptiness left unproven.
    void headerClaimingBillionsOfTiles()
    {
        const QString path = QFINDTESTDATA("data/immense.tif");
        QCOMPARE(QFile(path).size(), 456);
        QCOMPARE(refusal(path), QString());
    }

    void heightUnits_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("srs");
        QTest::addColumn<double>("stored");
        QTest::addColumn<double>("metres");
        const QString utm = "EPSG:23031";
        QTest::newRow("dm") << "dm" << utm << 12345.0 << 1234.5;
        QTest::newRow("decimetre") << "decimetre" << utm << 12345.0 << 1234.5;
        QTest::newRow("cm") << "cm" << utm << 123450.0 << 1234.5;
        QTest::newRow("centimetre") << "centimetre" << utm << 123450.0 << 1234.5;
        QTest::newRow("mm") << "mm" << utm << 1234500.0 << 1234.5;
        QTest::newRow("km") << "km" << utm << 1.25 << 1250.0;
        QTest::newRow("ft") << "ft" << utm << 4000.0 << 4000 * 0.3048;
        // GeoTIFF's vertical systems: GDAL names the unit after the system's.
        QTest::newRow("vertical foot") << "" << utm + "+8228" << 4000.0 << 4000 * 0.3048;
        QTest::newRow("US survey foot") << "" << utm + "+6360" << 4000.0 << 4000 * 1200 / 3937.0;
    }

    void heightUnits()
    {
        QFETCH(QString, unit);
        QFETCH(QString, srs);
        QFETCH(double, stored);
        QFETCH(double, metres);
        const QString path = file("MNT/unite.tif");
        QFile::remove(path);
        makeTile(path, stored, srs);
        if (!unit.isEmpty())
            run("gdal_edit.py", {"-units", unit, path});
        double got = 0;
        QCOMPARE(messageOf([&] {
                     const TerrainModel opened = TerrainModel::open(path);
                     Terrain::module().read(opened.tiles()[0].raster, 0, 0, 1, 1, &got);
                 }),
                 QString());
        QVERIFY2(std::abs(got - metres) < 1e-4, qPrintable(QString::number(got, 'g', 10)));
    }

    void unknownUnitRefused()
    {
        const QString path = file("MNT/pression.tif");
        makeTile(path, 1000);
        run("gdal_edit.py", {"-units", "hPa", path});
        QCOMPARE(refusal(path), Terrain::unknownUnitText(path));
    }
};

QUOR_TEST(HostileModelsTest)
#include "tst_hostilemodels.moc"
