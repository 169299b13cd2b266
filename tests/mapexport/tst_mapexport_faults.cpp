#include "common/testmain.h"
#include "common/testutil.h"
#include "exportfixture.h"
#include "maps/jpegdecoder.h"
#include "maps/terrainsource.h"
#include "terrain/mapterrain.h"
#include "terrain/terrainmodel.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <cmath>
#include <unistd.h>

using namespace ExportFixture;
using MapExport::Format;

namespace {

// Zone 60 south around 17 degrees south, where the 180th meridian runs
// through easting 819452 at northing 8118000 (cs2cs, WGS 84 / UTM 60S):
// maps of 10 m pixels centred on it.
const Coordinates::Grid kFiji{60, QLatin1Char('K'), QStringLiteral("WGS84")};
constexpr int kMeridianEasting = 819450;
constexpr int kMeridianNorthing = 8118000;
constexpr int kFijiPixel = 10;

MapExport::Request acrossTheAntimeridian(QSize size)
{
    return northUpMap(kFiji, kMeridianEasting - size.width() / 2 * kFijiPixel,
                      kMeridianNorthing + size.height() / 2 * kFijiPixel, kFijiPixel, size);
}

// In ED50 / UTM 31N off Menorca, PROJ's choice of ED50 to WGS 84 changes
// near easting 621500 (4.425 degrees east) on northing 4439900, and the two
// operations there differ by 6 m: a map of 2 m pixels whose centre lies west
// of that line, and a marker east of it.
const Coordinates::Grid kMenorca{31, QLatin1Char('T'), QStringLiteral("ED50")};
constexpr int kMenorcaWest = 615000;
constexpr int kMenorcaNorth = 4441900;
constexpr int kMenorcaPixel = 2;
const QSize kMenorcaSize(4000, 2000);
const QPoint kMarker(3800, 1000); // easting 622600, northing 4439900
constexpr int kMarkerHalf = 3;

struct Box
{
    double north = 0, south = 0, east = 0, west = 0;
    QString href;
};

QList<Box> boxesOf(const QString &kmz)
{
    QList<Box> boxes;
    for (const KmlBox &b : kmlBoxes(kmz))
        boxes << Box{b.north.toDouble(), b.south.toDouble(), b.east.toDouble(), b.west.toDouble(),
                     b.href};
    return boxes;
}

} // namespace

class ExportFaultsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    // 2400 x 1530 output pixels (the map turned by the grid's convergence of
    // 0.9 degree): 1200 on each side of the meridian make two tiles each,
    // and no tile crosses it; the rows make two tiles.
    void kmzAcrossTheAntimeridianCountsItsTiles()
    {
        MapExport::Request r = acrossTheAntimeridian(QSize(2400, 1500));
        QCOMPARE(MapExport::kmzTiles(r), 2 * (2 + 2));
    }

    void kmzAcrossTheAntimeridianKeepsItsTilesOnEachSide()
    {
        MapExport::Request r = acrossTheAntimeridian(QSize(2400, 1500));
        r.format = Format::Kmz;
        r.destination = m_dir.filePath("fidji.kmz");
        MapExport::exportMap(r);
        int westOfIt = 0, eastOfIt = 0;
        for (const Box &b : boxesOf(r.destination)) {
            QVERIFY(b.west < b.east && b.west >= -180 && b.east <= 180);
            westOfIt += b.east == 180;
            eastOfIt += b.west == -180;
        }
        QCOMPARE(westOfIt + eastOfIt, 2 + 2);
    }

    // Level 13 has 8192 columns of tiles: the map's are the last and the
    // first.
    void mbtilesAcrossTheAntimeridianIsQuick()
    {
        MapExport::Request r = acrossTheAntimeridian(QSize(600, 400));
        r.format = Format::MBTiles;
        r.destination = m_dir.filePath("fidji.mbtiles");
        MapExport::exportMap(r);
        const QJsonObject info =
            QJsonDocument::fromJson(run("gdalinfo", {"-json", r.destination})).object();
        QCOMPARE(info["driverShortName"].toString(), QString("MBTiles"));
        QCOMPARE(run("sqlite3", {r.destination, "select min(tile_column), max(tile_column) from "
                                                "tiles where zoom_level = 13"})
                     .trimmed(),
                 QByteArray("0|8191"));
    }

    // Web Mercator ends at 85.05 degrees: a map of Svalbard's north reaching
    // beyond it is refused at once rather than stretched towards infinity.
    void mbtilesBeyondMercatorsLatitudes()
    {
        // WGS 84 / UTM 33N: N 9473225 is 85.3 degrees north on easting 500000.
        MapExport::Request r = northUpMap({33, QLatin1Char('X'), QStringLiteral("WGS84")}, 490000,
                                          9480000, 25, QSize(600, 400));
        r.format = Format::MBTiles;
        r.destination = m_dir.filePath("pole.mbtiles");
        QCOMPARE(
            TestUtil::messageOf([&] { MapExport::exportMap(r); }),
            QStringLiteral("La carte s'étend au-delà de 85° de latitude, où les cartes des "
                           "téléphones s'arrêtent : elle ne peut pas être exportée en MBTiles. "
                           "Exportez-la en GeoTIFF ou en KMZ."));
        QVERIFY(!QFile::exists(r.destination));
    }

    void kmzInAFolderWithABrace()
    {
        QDir(m_dir.path()).mkdir("Sorties }");
        MapExport::Request r = acrossTheAntimeridian(QSize(300, 200));
        r.format = Format::Kmz;
        r.destination = m_dir.filePath("Sorties }/carte.kmz");
        MapExport::exportMap(r);
        QCOMPARE(run("unzip", {"-Z1", r.destination}).split('\n').value(0), QByteArray("doc.kml"));
    }

    // The system's limit on a name, and one byte more.
    void longNames()
    {
        QTemporaryDir dir;
        const long limit = pathconf(QFile::encodeName(dir.path()).constData(), _PC_NAME_MAX);
        const auto named = [&](long bytes) {
            return dir.filePath(QString(bytes - 4, QLatin1Char('n')) + ".kmz");
        };
        MapExport::Request r = acrossTheAntimeridian(QSize(300, 200));
        r.format = Format::Kmz;
        for (const long bytes : {250L, limit}) {
            r.destination = named(bytes);
            MapExport::exportMap(r);
            QVERIFY(QFile::exists(r.destination));
        }
        r.destination = named(limit + 1);
        QCOMPARE(TestUtil::messageOf([&] { MapExport::exportMap(r); }),
                 "Impossible de créer le fichier " + r.destination);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    // The terrain module's operation for a WGS84 model over the map is the
    // export's, and the marker lands where that operation puts it, not where
    // the other operation east of the line would.
    void oneDatumOperationForEveryOutput()
    {
        MapExport::Request r =
            northUpMap(kMenorca, kMenorcaWest, kMenorcaNorth, kMenorcaPixel, kMenorcaSize);
        r.picture.fill(Qt::white);
        for (int dy = -kMarkerHalf; dy <= kMarkerHalf; ++dy)
            for (int dx = -kMarkerHalf; dx <= kMarkerHalf; ++dx)
                r.picture.setPixelColor(kMarker + QPoint(dx, dy), Qt::black);
        const Coordinates::Transformation chosen = MapExport::mapTransformation(r);

        const QString model = m_dir.filePath("baleares.tif");
        TestUtil::writeBytes(m_dir.filePath("baleares.asc"), "ncols 2\nnrows 2\nxllcorner 0\n"
                                                             "yllcorner 0\ncellsize 1\n0 0\n0 0\n");
        run("gdal_translate", {"-q", "-ot", "Int16", "-a_srs", "EPSG:4326", "-a_ullr", "4.3",
                               "40.2", "4.6", "40.0", m_dir.filePath("baleares.asc"), model});
        const auto frame = TerrainSource::mapFrame("31", "T", "ED50", r.transform, kMenorcaSize);
        QVERIFY(frame);
        const MapTerrain terrain(TerrainModel::open(model), kMenorca, frame->second);
        // The geodesy module gives its operations longitude first.
        QCOMPARE(chosen.operation(),
                 terrain.operation(terrain.model().tiles().front()) + " + axis order change (2D)");

        r.format = Format::Kmz;
        r.destination = m_dir.filePath("baleares.kmz");
        MapExport::exportMap(r);
        const Coordinates::LatLon expected =
            chosen.toWgs84({double(kMenorcaWest + kMarker.x() * kMenorcaPixel),
                            double(kMenorcaNorth - kMarker.y() * kMenorcaPixel)});
        for (const Box &b : boxesOf(r.destination)) {
            if (expected.longitude < b.west || expected.longitude > b.east ||
                expected.latitude < b.south || expected.latitude > b.north)
                continue;
            const QString file = m_dir.filePath("tuile.jpg");
            TestUtil::writeBytes(file, run("unzip", {"-p", r.destination, b.href}));
            const QImage tile = decodeJpegFile(file);
            // The marker's centre: the mean of its dark pixels' centres.
            double x = 0, y = 0, n = 0;
            for (int row = 0; row < tile.height(); ++row)
                for (int column = 0; column < tile.width(); ++column)
                    if (qGray(tile.pixel(column, row)) < 128)
                        x += column + 0.5, y += row + 0.5, ++n;
            const double across = (b.east - b.west) / tile.width();
            const double down = (b.north - b.south) / tile.height();
            const double longitude = b.west + x / n * across;
            const double latitude = b.north - y / n * down;
            // Half an output pixel; the other operation is three away.
            QVERIFY2(std::abs(longitude - expected.longitude) < across / 2 &&
                         std::abs(latitude - expected.latitude) < down / 2,
                     qPrintable(QString("%1 %2")
                                    .arg((longitude - expected.longitude) / across)
                                    .arg((latitude - expected.latitude) / down)));
            return;
        }
        QFAIL("no tile holds the marker");
    }
};

QUOR_TEST(ExportFaultsTest)
#include "tst_mapexport_faults.moc"
