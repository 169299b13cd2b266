#include "common/testmain.h"
#include "common/testutil.h"
#include "data/moduleloader.h"
#include "data/quorerror.h"
#include "exportfixture.h"
#include "mapexport/mapexport.h"
#include "mapexport/mapexportapi.h"
#include "mapexport/mapexportdialog.h"
#include "maps/jpegdecoder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <cmath>
#include <csignal>
#include <sys/resource.h>

using namespace TestUtil;
using MapExport::Format;

namespace {

// A 1500 x 1100 scan turned 4.6 degrees, 2.5 m a pixel, in zone 31 around
// 45 degrees north: E = 500000 + 2.5 x + 0.2 y, N = 5000000 + 0.2 x - 2.5 y.
constexpr int kWidth = 1500;
constexpr int kHeight = 1100;
const ReferencePoint kPoints[] = {
    {100, 100, 500270, 4999770}, {1400, 100, 503520, 5000030}, {100, 1000, 500450, 4997520}};
// The coefficients by hand from the points: two share a row, two a column.
constexpr double kC1 = (503520.0 - 500270.0) / (1400 - 100);   // 2.5
constexpr double kD1 = (5000030.0 - 4999770.0) / (1400 - 100); // 0.2
constexpr double kC2 = (500450.0 - 500270.0) / (1000 - 100);   // 0.2
constexpr double kD2 = (4997520.0 - 4999770.0) / (1000 - 100); // -2.5
constexpr double kC0 = 500270.0 - kC1 * 100 - kC2 * 100;
constexpr double kD0 = 4999770.0 - kD1 * 100 - kD2 * 100;
const QList<QPoint> kRoute = {{300, 900}, {400, 300}, {1100, 500}, {1200, 200}};
const QPoint kWaypoint(400, 300);
constexpr int kRouteWidth = 9;
const QByteArray kJpegStart("\xFF\xD8\xFF");

double eastingAt(double x, double y)
{
    return kC0 + kC1 * x + kC2 * y;
}
double northingAt(double x, double y)
{
    return kD0 + kD1 * x + kD2 * y;
}

QImage scan()
{
    QImage picture(kWidth, kHeight, QImage::Format_RGB888);
    picture.fill(QColor(245, 240, 225));
    QPainter painter(&picture);
    painter.setPen(QPen(QColor(40, 60, 200), 2));
    for (int x = 0; x < kWidth; x += 400)
        painter.drawLine(x, 0, x, kHeight);
    painter.setPen(QPen(Qt::red, kRouteWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(kRoute.constData(), int(kRoute.size()));
    return picture;
}

MapExport::Request request(Format format, const QString &destination,
                           const QString &datum = QStringLiteral("WGS84"))
{
    MapExport::Request r;
    r.picture = scan();
    ComputeTransform(r.transform, kPoints[0], kPoints[1], kPoints[2]);
    r.grid = {31, QLatin1Char('T'), datum};
    r.format = format;
    r.destination = destination;
    r.name = QStringLiteral("Aubrac");
    return r;
}

QByteArray runTool(const QString &program, const QStringList &arguments, const QByteArray &input = {})
{
    QProcess p;
    p.start(program, arguments);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(120'000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        qWarning("%s failed: %s", qPrintable(program), p.readAllStandardError().constData());
    return p.readAllStandardOutput();
}

struct LatLon
{
    double lat = 0;
    double lon = 0;
};

// cs2cs gives latitude then longitude for EPSG:4326.
LatLon latLonOf(double easting, double northing)
{
    const QList<QByteArray> f =
        runTool("cs2cs", {"-f", "%.10f", "EPSG:32631", "EPSG:4326"},
            QByteArray::number(easting, 'f', 3) + ' ' + QByteArray::number(northing, 'f', 3) + '\n')
            .simplified()
            .split(' ');
    return f.size() >= 2 ? LatLon{f[0].toDouble(), f[1].toDouble()} : LatLon{};
}

// The corners of the whole scan: the calibration's positions of the pixel
// edges, half a pixel outside the first and last pixels' centres.
QList<LatLon> cornersLatLon()
{
    QList<LatLon> corners;
    for (const double x : {-0.5, kWidth - 0.5})
        for (const double y : {-0.5, kHeight - 0.5})
            corners << latLonOf(eastingAt(x, y), northingAt(x, y));
    return corners;
}

bool isRed(const QColor &c)
{
    return c.red() > 180 && c.green() < 90 && c.blue() < 90;
}

// Files of this process cannot grow beyond 16 kB while it lives: a write
// past that fails with EFBIG, as on a full disk.
class SmallFiles
{
public:
    SmallFiles() : m_handler(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &m_before);
        rlimit small = m_before;
        small.rlim_cur = rlim_t{16} * 1024;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~SmallFiles()
    {
        setrlimit(RLIMIT_FSIZE, &m_before);
        std::signal(SIGXFSZ, m_handler);
    }
    SmallFiles(const SmallFiles &) = delete;
    SmallFiles &operator=(const SmallFiles &) = delete;

private:
    void (*m_handler)(int);
    rlimit m_before{};
};

// Whether a shared library whose file name contains `name` is mapped in this
// process.
bool mapped(const char *name)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(name);
}

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

} // namespace

class MapExportTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    // Runs first: nothing before it exported.
    void geoTiffGivesTheCalibrationsCorners()
    {
        const QString module = QLatin1String(MapExportApi::kModuleName);
        QVERIFY(!ModuleLoader::isLoaded(module));
        QVERIFY(!mapped("libgdal"));
        const QString path = m_dir.filePath("carte.tif");
        MapExport::exportMap(request(Format::GeoTiff, path));
        QVERIFY(ModuleLoader::isLoaded(module));
        QVERIFY(mapped("libgdal"));
        QCOMPARE(filesIn(m_dir.path()), QStringList{"carte.tif"});

        const QJsonObject info = QJsonDocument::fromJson(runTool("gdalinfo", {"-json", path})).object();
        QCOMPARE(info["driverShortName"].toString(), QString("GTiff"));
        QCOMPARE(info["size"].toArray(), (QJsonArray{kWidth, kHeight}));
        QVERIFY(
            info["coordinateSystem"].toObject()["wkt"].toString().contains("ID[\"EPSG\",32631]"));
        const QJsonObject image = info["metadata"].toObject()["IMAGE_STRUCTURE"].toObject();
        QCOMPARE(image["COMPRESSION"].toString(), QString("YCbCr JPEG"));
        const QJsonObject band = info["bands"].toArray()[0].toObject();
        QCOMPARE(band["block"].toArray(), (QJsonArray{256, 256}));
        QCOMPARE(band["overviews"].toArray().size(), 3); // 750, 375, 188 pixels wide

        const QJsonObject corners = info["cornerCoordinates"].toObject();
        const double tolerance = 0.01 * kC1;
        const auto check = [&](const char *name, double x, double y) {
            const QJsonArray at = corners[name].toArray();
            QVERIFY2(std::abs(at[0].toDouble() - eastingAt(x - 0.5, y - 0.5)) < tolerance, name);
            QVERIFY2(std::abs(at[1].toDouble() - northingAt(x - 0.5, y - 0.5)) < tolerance, name);
        };
        check("upperLeft", 0, 0);
        check("upperRight", kWidth, 0);
        check("lowerLeft", 0, kHeight);
        check("lowerRight", kWidth, kHeight);

        // The waypoint's position is its pixel, and the pixel is the route's.
        const QByteArray located =
            runTool("gdallocationinfo",
                {"-geoloc", path, QString::number(eastingAt(kWaypoint.x(), kWaypoint.y()), 'f', 3),
                 QString::number(northingAt(kWaypoint.x(), kWaypoint.y()), 'f', 3)});
        QVERIFY2(located.contains("Location: (400P,300L)"), located.constData());
        const QByteArray values =
            runTool("gdallocationinfo", {"-valonly", path, "400", "300"}).simplified();
        const QList<QByteArray> rgb = values.split(' ');
        QCOMPARE(rgb.size(), 3);
        QVERIFY2(isRed(QColor(rgb[0].toInt(), rgb[1].toInt(), rgb[2].toInt())), values.constData());
    }

    void routeAreaIsShiftedAndEd50HasItsSystem()
    {
        const QString path = m_dir.filePath("zone.tif");
        MapExport::Request r = request(Format::GeoTiff, path, "ED50");
        r.extent = MapExport::routeExtent(r.picture.size(), r.transform, kRoute, 0.5);
        // 500 m is 200 pixels, clipped to the picture.
        QCOMPARE(r.extent, QRect(QPoint(100, 0), QPoint(1400, 1099)));
        // A picture of 32 bits a pixel, as the example project's, read in place too.
        r.picture = r.picture.convertToFormat(QImage::Format_RGB32);
        MapExport::exportMap(r);
        const QJsonObject info = QJsonDocument::fromJson(runTool("gdalinfo", {"-json", path})).object();
        QVERIFY(
            info["coordinateSystem"].toObject()["wkt"].toString().contains("ID[\"EPSG\",23031]"));
        const QJsonArray upperLeft = info["cornerCoordinates"].toObject()["upperLeft"].toArray();
        QVERIFY(std::abs(upperLeft[0].toDouble() - eastingAt(99.5, -0.5)) < 0.01 * kC1);
        QVERIFY(std::abs(upperLeft[1].toDouble() - northingAt(99.5, -0.5)) < 0.01 * kC1);
        const QByteArray located =
            runTool("gdallocationinfo",
                {"-geoloc", path, QString::number(eastingAt(kWaypoint.x(), kWaypoint.y()), 'f', 3),
                 QString::number(northingAt(kWaypoint.x(), kWaypoint.y()), 'f', 3)});
        QVERIFY2(located.contains("Location: (300P,300L)"), located.constData());
        const QList<QByteArray> rgb =
            runTool("gdallocationinfo", {"-valonly", path, "300", "300"}).simplified().split(' ');
        QCOMPARE(rgb.size(), 3);
        QVERIFY(isRed(QColor(rgb[0].toInt(), rgb[1].toInt(), rgb[2].toInt())));
    }

    void mbtilesPutsTheWaypointOnTheRoute()
    {
        const QString path = m_dir.filePath("carte.mbtiles");
        MapExport::exportMap(request(Format::MBTiles, path));
        QMap<QString, QString> metadata;
        for (const QByteArray &line :
             runTool("sqlite3", {path, "select name, value from metadata"}).split('\n')) {
            const qsizetype bar = line.indexOf('|');
            if (bar > 0)
                metadata[line.left(bar)] = QString::fromUtf8(line.mid(bar + 1));
        }
        QCOMPARE(metadata["name"], QString("Aubrac"));
        QCOMPARE(metadata["format"], QString("jpg"));

        // The deepest level does not enlarge the scan: 2.51 m a pixel on the
        // ground is 3.55 m of Web Mercator at 45.1 degrees north.
        const LatLon waypoint = latLonOf(eastingAt(kWaypoint.x(), kWaypoint.y()),
                                         northingAt(kWaypoint.x(), kWaypoint.y()));
        const double world = 2 * M_PI * 6378137.0;
        const double mercatorPixel = std::hypot(kC1, kD1) / std::cos(waypoint.lat * M_PI / 180);
        const int deepest = int(std::floor(std::log2(world / 256 / mercatorPixel)));
        QCOMPARE(deepest, 15);
        QCOMPARE(metadata["maxzoom"].toInt(), deepest);

        // Every level up to where the whole map is no larger than a tile.
        const QList<LatLon> corners = cornersLatLon();
        const auto mercatorY = [](double lat) {
            return std::log(std::tan(M_PI / 4 + lat * M_PI / 360)) * 6378137.0;
        };
        double west = 180, east = -180, south = 90, north = -90;
        for (const LatLon &c : corners) {
            west = std::min(west, c.lon), east = std::max(east, c.lon);
            south = std::min(south, c.lat), north = std::max(north, c.lat);
        }
        const double spanX = (east - west) * world / 360;
        const double spanY = mercatorY(north) - mercatorY(south);
        int highest = deepest;
        while (std::max(spanX, spanY) / (world / 256 / std::ldexp(1.0, highest)) > 256)
            --highest;
        QCOMPARE(metadata["minzoom"].toInt(), highest);
        const QByteArray levels = runTool("sqlite3", {path, "select distinct zoom_level from tiles "
                                                        "order by zoom_level"});
        QCOMPARE(levels.split('\n').size() - 1, deepest - highest + 1);
        const QList<QByteArray> bounds = metadata["bounds"].toUtf8().split(',');
        QCOMPARE(bounds.size(), 4);
        QVERIFY(std::abs(bounds[0].toDouble() - west) < 1e-4);
        QVERIFY(std::abs(bounds[2].toDouble() - east) < 1e-4);
        QVERIFY(std::abs(bounds[1].toDouble() - south) < 1e-4);
        QVERIFY(std::abs(bounds[3].toDouble() - north) < 1e-4);

        // The slippy-map tile of the waypoint at the deepest level, and its
        // pixel there: red.
        const double n = std::ldexp(1.0, deepest);
        const double tx = (waypoint.lon + 180) / 360 * n;
        const double latRad = waypoint.lat * M_PI / 180;
        const double ty = (1 - std::asinh(std::tan(latRad)) / M_PI) / 2 * n;
        const qint64 column = qint64(std::floor(tx));
        const qint64 row = qint64(n) - 1 - qint64(std::floor(ty)); // rows count from the south
        const QString tile = m_dir.filePath("tuile.jpg");
        runTool("sqlite3", {path, QString("select writefile('%1', tile_data) from tiles where "
                                      "zoom_level=%2 and tile_column=%3 and tile_row=%4")
                                  .arg(tile)
                                  .arg(deepest)
                                  .arg(column)
                                  .arg(row)});
        QVERIFY(readBytes(tile).startsWith(kJpegStart));
        const QImage image = decodeJpegFile(tile);
        QCOMPARE(image.size(), QSize(256, 256));
        const QPoint at(int((tx - std::floor(tx)) * 256), int((ty - std::floor(ty)) * 256));
        QVERIFY2(isRed(image.pixelColor(at)), qPrintable(image.pixelColor(at).name()));

        // The turned map leaves the north-west corner of every level's tiles
        // off the map: paper white, not the black of a missing tile.
        for (int zoom = highest; zoom <= deepest; ++zoom) {
            const QString level = QString("from tiles where zoom_level=%1").arg(zoom);
            runTool("sqlite3", {path, QString("select writefile('%1', tile_data) %2 and tile_column="
                                          "(select min(tile_column) %2) and tile_row=(select "
                                          "max(tile_row) %2)")
                                      .arg(tile, level)});
            QVERIFY2(readBytes(tile).startsWith(kJpegStart), qPrintable(level));
            const QColor corner = decodeJpegFile(tile).pixelColor(0, 0);
            QVERIFY2(std::min({corner.red(), corner.green(), corner.blue()}) > 240,
                     qPrintable(QString("%1 at zoom %2").arg(corner.name()).arg(zoom)));
        }
        QFile::remove(tile);
    }

    void kmzTilesTheExtent()
    {
        const QString path = m_dir.filePath("carte.kmz");
        const MapExport::Request r = request(Format::Kmz, path);
        QCOMPARE(MapExport::kmzTiles(r), 4);
        MapExport::exportMap(r);
        const QStringList entries =
            QString::fromUtf8(runTool("unzip", {"-Z1", path})).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(entries.value(0), QString("doc.kml"));

        const QList<ExportFixture::KmlBox> boxes = ExportFixture::kmlBoxes(path);
        QCOMPARE(boxes.size(), 4);
        QCOMPARE(entries.size(), boxes.size() + 1);
        // Named by row and column from 1, row by row.
        QStringList hrefs;
        for (const ExportFixture::KmlBox &b : boxes)
            hrefs << b.href;
        QCOMPARE(hrefs, (QStringList{"files/tile_1_1.jpg", "files/tile_1_2.jpg",
                                     "files/tile_2_1.jpg", "files/tile_2_2.jpg"}));

        // Two rows of two, sharing their edges exactly, over the corners.
        QCOMPARE(boxes[0].south, boxes[2].north);
        QCOMPARE(boxes[1].south, boxes[3].north);
        QCOMPARE(boxes[0].east, boxes[1].west);
        QCOMPARE(boxes[2].east, boxes[3].west);
        QCOMPARE(boxes[0].north, boxes[1].north);
        QCOMPARE(boxes[0].west, boxes[2].west);
        const double north = boxes[0].north.toDouble(), west = boxes[0].west.toDouble();
        const double south = boxes[3].south.toDouble(), east = boxes[3].east.toDouble();
        const double pixel = 1e-4; // about 10 m: a few output pixels
        // A tenth of a millimetre: GDAL's and cs2cs's ways through PROJ differ
        // in the last digits.
        const double rounding = 1e-9;
        for (const LatLon &c : cornersLatLon()) {
            QVERIFY(c.lat <= north + rounding && c.lat >= south - rounding);
            QVERIFY(c.lon >= west - rounding && c.lon <= east + rounding);
        }
        const QList<LatLon> corners = cornersLatLon();
        const auto extreme = [&](auto pick, auto better) {
            double v = pick(corners[0]);
            for (const LatLon &c : corners)
                v = better(pick(c), v) ? pick(c) : v;
            return v;
        };
        QVERIFY(north - extreme([](const LatLon &c) { return c.lat; }, std::greater<>()) < pixel);
        QVERIFY(extreme([](const LatLon &c) { return c.lat; }, std::less<>()) - south < pixel);
        QVERIFY(extreme([](const LatLon &c) { return c.lon; }, std::less<>()) - west < pixel);
        QVERIFY(east - extreme([](const LatLon &c) { return c.lon; }, std::greater<>()) < pixel);

        for (const ExportFixture::KmlBox &b : boxes) {
            const QString file = m_dir.filePath("tuile.jpg");
            writeBytes(file, runTool("unzip", {"-p", path, b.href}));
            const QImage tile = decodeJpegFile(file);
            QVERIFY(!tile.isNull());
            QVERIFY(tile.width() <= 1024 && tile.height() <= 1024);
            QVERIFY(tile.width() > 512 && tile.height() > 512);
            QFile::remove(file);
        }
    }

    void tooManyKmzTilesAreRefused()
    {
        MapExport::Request r = request(Format::Kmz, m_dir.filePath("grande.kmz"));
        // Never painted: only its size counts.
        r.picture = QImage(12000, 10000, QImage::Format_RGB888);
        const int tiles = MapExport::kmzTiles(r);
        QVERIFY(tiles > MapExport::kMaxKmzTiles);
        QCOMPARE(messageOf([&] { MapExport::exportMap(r); }), MapExport::tooManyTilesText(tiles));
        QCOMPARE(MapExport::tooManyTilesText(154),
                 QString("La carte en KMZ ferait 154 tuiles, et les GPS n'en lisent que 100 : "
                         "exportez la zone de la route, ou choisissez une résolution plus "
                         "grossière."));
        r.kmzReduction = MapExport::fittingKmzReduction(r);
        QCOMPARE(r.kmzReduction, 1.5);
        QVERIFY(MapExport::kmzTiles(r) <= MapExport::kMaxKmzTiles);
        QVERIFY(!QFile::exists(r.destination));
    }

    void cancelLeavesNothing()
    {
        QTemporaryDir dir;
        for (const Format format : {Format::GeoTiff, Format::MBTiles, Format::Kmz}) {
            const QString path = dir.filePath("carte." + MapExport::suffix(format));
            int calls = 0;
            const auto halfWay = [&](qint64 done, qint64 total) {
                ++calls;
                return done * 2 < total;
            };
            QVERIFY_THROWS_EXCEPTION(Cancelled,
                                     MapExport::exportMap(request(format, path), halfWay));
            QVERIFY(calls > 2);
            QCOMPARE(filesIn(dir.path()), QStringList());
        }
    }

    void unwritableDestinationAndFullDisk()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath("absent/carte.tif");
        QCOMPARE(messageOf([&] { MapExport::exportMap(request(Format::GeoTiff, missing)); }),
                 "Impossible de créer le fichier " + missing);
        writeBytes(dir.filePath("fichier"), "x");
        const QString underFile = dir.filePath("fichier/carte.mbtiles");
        QCOMPARE(messageOf([&] { MapExport::exportMap(request(Format::MBTiles, underFile)); }),
                 "Impossible de créer le fichier " + underFile);

        // A file size limit fails the writes as a full disk does.
        const QString path = dir.filePath("carte.tif");
        writeBytes(path, "ancienne");
        QStringList messages;
        {
            const SmallFiles limit;
            for (const Format format : {Format::GeoTiff, Format::MBTiles, Format::Kmz}) {
                const QString target = dir.filePath("plein." + MapExport::suffix(format));
                messages << messageOf([&] { MapExport::exportMap(request(format, target)); });
            }
            messages << messageOf([&] { MapExport::exportMap(request(Format::GeoTiff, path)); });
        }
        QCOMPARE(messages, QStringList(4, "Disque plein"));
        QCOMPARE(readBytes(path), QByteArray("ancienne"));
        QCOMPARE(filesIn(dir.path()), (QStringList{"carte.tif", "fichier"}));
    }

    void refusals()
    {
        const QString path = m_dir.filePath("refus.tif");
        MapExport::Request r = request(Format::GeoTiff, path);
        r.transform = MapTransform();
        QCOMPARE(messageOf([&] { MapExport::exportMap(r); }),
                 QString("La carte n'est pas calibrée : elle ne peut pas être exportée."));
        r = request(Format::GeoTiff, path, "ED50");
        r.grid.zone = 27;
        QCOMPARE(messageOf([&] { MapExport::exportMap(r); }),
                 QString("Aucun système de coordonnées EPSG ne correspond à la zone 27T en ED50 : "
                         "la carte ne peut pas être exportée."));
        r.grid = {31, QLatin1Char('K'), "ED50"};
        QCOMPARE(MapExport::epsgCode(r.grid), 0);
        QCOMPARE(MapExport::epsgCode({60, QLatin1Char('C'), "WGS84"}), 32760);
        r = request(Format::GeoTiff, path);
        QCOMPARE(messageOf([&] { MapExport::routeExtent(r.picture.size(), r.transform, {}, 1); }),
                 QString("La route n'a aucun point : sa zone ne peut pas être exportée."));
        r.extent = QRect(2000, 0, 100, 100);
        QCOMPARE(messageOf([&] { MapExport::exportMap(r); }),
                 QString("La zone à exporter est en dehors de l'image de la carte."));
        QVERIFY(!QFile::exists(path));
    }

    void dialogOffersWhatFits()
    {
        MapExportDialog dialog(MapExportOptions(), false);
        QCOMPARE(dialog.windowTitle(), QString("Exporter la carte"));
        QVERIFY(!dialog.ZoneRoute->isEnabled());
        QVERIFY(!dialog.AvecRoute->isChecked());
        QVERIFY(dialog.CarteEntiere->isChecked());
        QVERIFY(dialog.Resolution->isHidden());

        MapExportDialog kmz(MapExportOptions(), true);
        kmz.setTileCounter([](const MapExportOptions &o) {
            return o.routeArea ? 20 : int(std::ceil(120 / (o.kmzReduction * o.kmzReduction)));
        });
        kmz.Format->setCurrentIndex(2);
        QVERIFY(!kmz.Resolution->isHidden());
        QCOMPARE(kmz.Tuiles->text(), MapExport::tooManyTilesText(120));
        QVERIFY(!kmz.Boutons->button(QDialogButtonBox::Ok)->isEnabled());
        QCOMPARE(kmz.Resolution->itemText(1), QString("Pixels 1,5 fois plus grands : 54 tuiles"));
        kmz.Resolution->setCurrentIndex(1);
        QVERIFY(kmz.Boutons->button(QDialogButtonBox::Ok)->isEnabled());
        kmz.Resolution->setCurrentIndex(0);
        kmz.ZoneRoute->setChecked(true);
        QVERIFY(kmz.Marge->isEnabled());
        QCOMPARE(kmz.Tuiles->text(), QString("20 tuiles de 1024 × 1024 pixels au plus."));
        const MapExportOptions chosen = kmz.options();
        QCOMPARE(chosen.format, Format::Kmz);
        QVERIFY(chosen.routeArea && chosen.drawRoute);
        QCOMPARE(chosen.kmzReduction, 1.0);
    }
};

QUOR_TEST_FIRST(MapExportTest)
#include "tst_mapexport.moc"
