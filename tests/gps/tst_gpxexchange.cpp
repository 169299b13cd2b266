#include "common/testmain.h"
#include "common/testutil.h"
#include "data/catalogue.h"
#include "data/gpxfile.h"
#include "data/itinerary.h"
#include "data/quorerror.h"
#include "data/speedtable.h"
#include "data/stringgrid.h"
#include "data/textforms.h"
#include "gps/coordinates.h"
#include "gps/gpxexport.h"
#include "gps/gpximport.h"
#include "gpxclient.h"

#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <ctime>

using namespace TestUtil;

namespace {

constexpr double kDegreeTolerance = 1e-6; // what gpsbabel's unicsv prints

// A 4000 x 3000 picture at 2.5 m a pixel, ED50 31T, west of Toulouse.
constexpr qint32 kWest = 370000;
constexpr qint32 kNorth = 4835000;
constexpr double kMetresPerPixel = 2.5;
constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

MapFrame toulouseFrame()
{
    MapFrame frame;
    ComputeTransform(frame.transform, {0, 0, kWest, kNorth}, {kWidth, 0, kWest + 10000, kNorth},
                     {0, kHeight, kWest, kNorth - 7500});
    frame.zone = 31;
    frame.letter = QLatin1Char('T');
    frame.datum = QStringLiteral("ED50");
    frame.width = kWidth;
    frame.height = kHeight;
    return frame;
}

Coordinates::LatLon wgs84(double easting, double northing)
{
    return Coordinates::toWgs84({31, QLatin1Char('T'), QStringLiteral("ED50")},
                                {easting, northing});
}

QString error(const std::function<void()> &f)
{
    try {
        f();
    } catch (const QuorError &e) {
        return e.text();
    }
    return QString();
}

// Converts a CSV of points into GPX with gpsbabel; `filter` makes them a
// route or a track.
GpxDocument throughGpsbabel(const QString &dir, const QString &csv, const QString &filter)
{
    const QString in = dir + "/in.csv";
    const QString out = dir + "/out.gpx";
    writeBytes(in, csv.toUtf8());
    GpxClient::run({"-i", "unicsv", "-f", in, "-x", filter, "-o", "gpx", "-F", out});
    return Gpx::read(out);
}

double distanceToPolyline(const QPointF &p, const QList<ImportedPoint> &line)
{
    double best = INFINITY;
    for (qsizetype i = 0; i + 1 < line.size(); ++i) {
        const QPointF a(line[i].pixel), b(line[i + 1].pixel);
        const QPointF ab = b - a;
        const double len2 = QPointF::dotProduct(ab, ab);
        const double t =
            len2 > 0 ? std::clamp(QPointF::dotProduct(p - a, ab) / len2, 0.0, 1.0) : 0.0;
        const QPointF d = p - (a + t * ab);
        best = std::min(best, std::hypot(d.x(), d.y()));
    }
    return best;
}

} // namespace

// GPX out of the program, read by a real client; GPX of that client brought
// onto a map.
class GpxExchangeTest : public QObject
{
    Q_OBJECT

private slots:
    void mapRouteReadByGpsbabel()
    {
        QUOR_NEED_GPX_CLIENT();
        QTemporaryDir dir;
        const QList<MapRoutePoint> points = {
            {"AB000", 375000, 4830000, "812", 31, QLatin1Char('T'), "ED50"},
            {"Col « d'Aspin »", 376120, 4831085, "", 31, QLatin1Char('T'), "ED50"},
            {"山頂 Λίμνη", 500000, 5000000, "1250", 32, QLatin1Char('T'), "WGS84"}};
        const QString path = dir.filePath("route.gpx");
        GpxExport::writeMapRoute(path, "Tour du lac", points);
        QVERIFY(readBytes(path).contains(
            "<desc>Coordonnées converties en WGS84 par PROJ : Inverse of UTM zone 31N + ED50 to "
            "WGS 84 (28) + axis order change (2D) ; Inverse of UTM zone 32N + axis order change "
            "(2D)</desc>"));

        // gpsbabel shows waypoints unless asked for routes: both must agree.
        for (const QStringList &kind : {QStringList(), QStringList{"-r"}}) {
            const auto rows = GpxClient::readUnicsv(GpxClient::run(
                kind + QStringList{"-i", "gpx", "-f", path, "-o", "unicsv", "-F", "-"}));
            QCOMPARE(rows.size(), points.size());
            for (int i = 0; i < points.size(); ++i) {
                const MapRoutePoint &m = points[i];
                const Coordinates::LatLon p = Coordinates::toWgs84(
                    {m.zone, m.letter, m.datum}, {double(m.easting), double(m.northing)});
                QCOMPARE(rows[i]["Name"], m.label);
                QVERIFY(std::abs(rows[i]["Latitude"].toDouble() - p.latitude) <= kDegreeTolerance);
                QVERIFY(std::abs(rows[i]["Longitude"].toDouble() - p.longitude) <=
                        kDegreeTolerance);
                QCOMPARE(rows[i].value("Altitude"),
                         m.altitude.isEmpty() ? QString() : m.altitude + ".0");
            }
        }
    }

    void itineraryReadByGpsbabel()
    {
        QUOR_NEED_GPX_CLIENT();
        StringGrid stages(Itinerary::kColumns, Itinerary::kGridRows);
        StringGrid catalogue(Catalogue::kColumns, Catalogue::kRows);
        catalogue.setCell(Catalogue::Title, 3, "Boucle du Pic");
        catalogue.setCell(Catalogue::Date, 3, date_text(dateToDays(QDate(2025, 7, 12))));
        auto stage = [&](int row, const char *place, const char *means, const char *position,
                         const char *altitude, const char *time) {
            stages.setCell(Itinerary::Place, row, place);
            stages.setCell(Itinerary::Means, row, means);
            stages.setCell(Itinerary::Position, row, position);
            stages.setCell(Itinerary::Altitude, row, altitude);
            stages.setCell(Itinerary::Time, row, time);
        };
        stage(1, "Parking", "MP", "31T 375000 4830000", "812", "08:30");
        stage(2, "Source", "PR", "près du torrent", "900", "09:10"); // no position: left out
        stage(3, "AB001", "VA", "31T 376120 4831085", "", "23:50");
        stage(4, "Refuge", "", "31t  376500 4831500", "1450", "00:20"); // the next day
        // Inserted from a waypoint of a WGS84 map: the project's routes say so.
        const GpxExport::StageDatums datums = {
            {GpxExport::stageDatumKey("AB001", "31T 376120 4831085"), "WGS84"}};
        SpeedTable speeds;

        // Summer time in Paris: local time is two hours ahead of universal
        // time, for the program and for gpsbabel, which prints local time
        // unless asked for universal time.
        const QByteArray zone = qgetenv("TZ");
        qputenv("TZ", "Europe/Paris");
        tzset();
        QTemporaryDir dir;
        const QString path = dir.filePath("iti.gpx");
        Gpx::write(path, GpxExport::itineraryDocument(stages, catalogue, 3, speeds, datums));
        const QByteArray xml = readBytes(path);
        const auto local = GpxClient::readUnicsv(
            GpxClient::run({"-i", "gpx", "-f", path, "-o", "unicsv", "-F", "-"}));
        const auto rows = GpxClient::readUnicsv(
            GpxClient::run({"-r", "-i", "gpx", "-f", path, "-o", "unicsv,utc=0", "-F", "-"}));
        if (zone.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", zone);
        tzset();
        QVERIFY(xml.contains("<time>2025-07-12T08:30:00+02:00</time>"));
        QVERIFY(xml.contains("<time>2025-07-13T00:20:00+02:00</time>"));
        QCOMPARE(local.size(), 3);
        QCOMPARE(rows.size(), 3);
        const struct
        {
            const char *name, *notes, *altitude;
            double e, n;
            const char *datum;
            const char *date, *time, *utcDate, *utcTime;
        } expected[] = {{"Parking", "Marches, Plat (MP)", "812.0", 375000, 4830000, "ED50",
                         "2025/07/12", "08:30:00", "2025/07/12", "06:30:00"},
                        {"AB001", "Voiture, Autoroute (VA)", "", 376120, 4831085, "WGS84",
                         "2025/07/12", "23:50:00", "2025/07/12", "21:50:00"},
                        {"Refuge", "", "1450.0", 376500, 4831500, "ED50", "2025/07/13", "00:20:00",
                         "2025/07/12", "22:20:00"}};
        for (int i = 0; i < 3; ++i) {
            const auto &x = expected[i];
            const Coordinates::LatLon p =
                Coordinates::toWgs84({31, QLatin1Char('T'), x.datum}, {x.e, x.n});
            for (const auto &row : {local[i], rows[i]}) {
                QCOMPARE(row["Name"], x.name);
                QCOMPARE(row.value("Altitude"), x.altitude);
                QVERIFY(std::abs(row["Latitude"].toDouble() - p.latitude) <= kDegreeTolerance);
                QVERIFY(std::abs(row["Longitude"].toDouble() - p.longitude) <= kDegreeTolerance);
            }
            QCOMPARE(rows[i].value("Notes"), x.notes);
            QCOMPARE(local[i]["Date"], x.date);
            QCOMPARE(local[i]["Time"], x.time);
            QCOMPARE(rows[i]["Date"], x.utcDate);
            QCOMPARE(rows[i]["Time"], x.utcTime);
        }
        QCOMPARE(GpxExport::proposedFileName("Boucle: A/B"), "Boucle_ A_B.gpx");
    }

    void itineraryRefusals()
    {
        StringGrid stages(Itinerary::kColumns, Itinerary::kGridRows);
        StringGrid catalogue(Catalogue::kColumns, Catalogue::kRows);
        SpeedTable speeds;
        stages.setCell(Itinerary::Position, 2, "au col");
        QCOMPARE(error([&] { GpxExport::itineraryDocument(stages, catalogue, 0, speeds, {}); }),
                 "Aucune étape de l'itinéraire n'a de position : il n'y a rien à exporter.");
        stages.setCell(Itinerary::Place, 2, "Col");
        stages.setCell(Itinerary::Position, 2, "0T 375000 4830000");
        QCOMPARE(error([&] { GpxExport::itineraryDocument(stages, catalogue, 0, speeds, {}); }),
                 "Étape 2 (Col) : La zone UTM 0 est incorrecte : elle doit aller de 1 à 60.");
        stages.setCell(Itinerary::Position, 2, "31A 375000 4830000");
        QCOMPARE(error([&] { GpxExport::itineraryDocument(stages, catalogue, 0, speeds, {}); }),
                 "Étape 2 (Col) : La lettre de bande « A » est incorrecte : elle doit aller de C à "
                 "X.");
    }

    void trackOf5000PointsFromGpsbabel()
    {
        QUOR_NEED_GPX_CLIENT();
        // A walk that winds across the map, ten bends of 300 m.
        QString csv = "lat,lon,ele\n";
        constexpr int kPoints = 5000;
        for (int i = 0; i < kPoints; ++i) {
            const double s = double(i) / (kPoints - 1);
            const Coordinates::LatLon p = wgs84(372000 + 5000 * s + 300 * std::sin(20 * M_PI * s),
                                                4831000 + 2000 * std::sin(3 * M_PI * s));
            csv += QStringLiteral("%1,%2,%3\n")
                       .arg(p.latitude, 0, 'f', 9)
                       .arg(p.longitude, 0, 'f', 9)
                       .arg(500 + i % 100);
        }
        QTemporaryDir dir;
        const GpxDocument doc = throughGpsbabel(dir.path(), csv, "transform,trk=wpt,del");
        const QList<GpxChoice> choices = GpxImport::choices(doc);
        QCOMPARE(choices.size(), 1);
        QCOMPARE(choices[0].kind, GpxChoice::Track);
        QCOMPARE(doc.tracks[0].points.size(), kPoints);

        const MapFrame frame = toulouseFrame();
        const GpxImportResult r = GpxImport::importChoice(doc, choices[0], frame);
        QCOMPARE(r.outside, 0);
        QVERIFY(r.points.size() <= GpxImport::kMaxWaypoints);
        QVERIFY(r.points.size() > 2);
        QCOMPARE(r.simplified, kPoints - r.points.size());
        // Every point of the track, placed as the import places it, lies
        // within a pixel of the simplified route.
        GpxDocument one;
        for (const GpxPoint &g : doc.tracks[0].points) {
            one.waypoints = {g};
            const GpxImportResult p =
                GpxImport::importChoice(one, {GpxChoice::Waypoints, 0, {}}, frame);
            QCOMPARE(p.points.size(), 1);
            QVERIFY(distanceToPolyline(QPointF(p.points[0].pixel), r.points) <=
                    GpxImport::kTolerancePixels);
        }
        one.waypoints = {doc.tracks[0].points.first()};
        QCOMPARE(
            r.points.first().pixel,
            GpxImport::importChoice(one, {GpxChoice::Waypoints, 0, {}}, frame).points[0].pixel);
        one.waypoints = {doc.tracks[0].points.last()};
        QCOMPARE(
            r.points.last().pixel,
            GpxImport::importChoice(one, {GpxChoice::Waypoints, 0, {}}, frame).points[0].pixel);
    }

    void routePartlyOffTheMapFromGpsbabel()
    {
        QUOR_NEED_GPX_CLIENT();
        QString csv = "lat,lon,name,ele\n";
        // Six points on the map, four beyond its eastern and southern edges.
        const QList<QPair<double, double>> utm = {
            {371000, 4834000}, {382000, 4834000}, {372000, 4833000}, {373000, 4832000},
            {374000, 4826000}, {375000, 4831000}, {395000, 4800000}, {376000, 4830000},
            {377000, 4829000}, {379000, 4827400}};
        for (int i = 0; i < utm.size(); ++i) {
            const Coordinates::LatLon p = wgs84(utm[i].first, utm[i].second);
            csv += QStringLiteral("%1,%2,P%3 é,%4\n")
                       .arg(p.latitude, 0, 'f', 9)
                       .arg(p.longitude, 0, 'f', 9)
                       .arg(i)
                       .arg(1000.4 + i);
        }
        QTemporaryDir dir;
        const GpxDocument doc = throughGpsbabel(dir.path(), csv, "transform,rte=wpt,del");
        const QList<GpxChoice> choices = GpxImport::choices(doc);
        QCOMPARE(choices.size(), 1);
        QCOMPARE(choices[0].kind, GpxChoice::Route);
        const GpxImportResult r = GpxImport::importChoice(doc, choices[0], toulouseFrame());
        QCOMPARE(r.outside, 4);
        QCOMPARE(r.simplified, 0);
        QStringList names, altitudes;
        for (const ImportedPoint &p : r.points) {
            names << p.name;
            altitudes << p.altitude;
        }
        QCOMPARE(names, QStringList({"P0 é", "P2 é", "P3 é", "P5 é", "P7 é", "P8 é"}));
        QCOMPARE(altitudes, QStringList({"1000", "1002", "1003", "1005", "1007", "1008"}));
        // Back on the map's grid to the metre it left.
        QCOMPARE(r.points[1].easting, 372000);
        QCOMPARE(r.points[1].northing, 4833000);
        QCOMPARE(r.points[1].pixel, QPoint(800, 800));
        QCOMPARE(GpxImport::outsideText(r.outside),
                 "4 points hors de la carte ont été laissés de côté.");
        QCOMPARE(GpxImport::outsideText(1), "1 point hors de la carte a été laissé de côté.");
    }

    void choicesAndSimplification()
    {
        GpxDocument doc;
        QCOMPARE(error([&] { GpxImport::choices(doc); }),
                 "Le fichier GPX ne contient ni route, ni trace, ni point : il n'y a rien à "
                 "importer.");
        doc.name = "Sommets";
        doc.waypoints = {GpxPoint(), GpxPoint()};
        QCOMPARE(GpxImport::choices(doc).first().caption, "Points Sommets (2 points)");
        doc.routes = {{"Aller", {GpxPoint()}}, {"Vide", {}}};
        doc.tracks = {{"", {GpxPoint(), GpxPoint(), GpxPoint()}}};
        QStringList captions;
        for (const GpxChoice &c : GpxImport::choices(doc))
            captions << c.caption;
        QCOMPARE(captions, QStringList({"Route Aller (1 point)", "Trace 3 points"}));

        // A square's corners stay, the points along its sides go.
        const QList<QPointF> square = {{0, 0}, {5, 0.9}, {10, 0}, {9.5, 5}, {10, 10}, {0, 10}};
        QCOMPARE(GpxImport::douglasPeucker(square, 1.0), std::vector<qsizetype>({0, 2, 4, 5}));

        // A zigzag that one pixel cannot thin enough: the tolerance grows
        // until it fits the labels of a route, first and last points kept.
        GpxDocument zigzag;
        zigzag.tracks = {{"Zigzag", {}}};
        constexpr int kZigzag = 3001;
        for (int i = 0; i < kZigzag; ++i) {
            GpxPoint g;
            const Coordinates::LatLon p = wgs84(371000 + i, 4832000 + (i % 2) * 10 + i / 3);
            g.latitude = p.latitude;
            g.longitude = p.longitude;
            zigzag.tracks[0].points << g;
        }
        const GpxImportResult r =
            GpxImport::importChoice(zigzag, {GpxChoice::Track, 0, {}}, toulouseFrame());
        QVERIFY(r.points.size() <= GpxImport::kMaxWaypoints && r.points.size() > 100);
        QCOMPARE(r.points.first().easting, 371000);
        QCOMPARE(r.points.last().easting, 371000 + kZigzag - 1);
    }
};

QUOR_TEST(GpxExchangeTest)
#include "tst_gpxexchange.moc"
