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
#include <QTimeZone>

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
            "WGS 84 (17) + axis order change (2D) ; Inverse of UTM zone 32N + axis order change "
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
        // Where the route leaves the map or comes back, the crossing of the
        // edge (column 3999 or row 2999), with the altitude between its ends:
        // P0 to P1 leaves at 379997.5 E, 8997.5 m of 11000 on, 1001.2 m.
        QCOMPARE(names, QStringList({"P0 é", "", "", "P2 é", "P3 é", "", "", "P5 é", "", "", "P7 é",
                                     "P8 é", ""}));
        QCOMPARE(altitudes, QStringList({"1000", "1001", "1002", "1002", "1003", "1004", "1005",
                                         "1005", "1006", "1007", "1007", "1008", "1009"}));
        for (const int edge : {1, 2})
            QCOMPARE(r.points[edge].pixel.x(), 3999);
        for (const int edge : {5, 6, 8, 9, 12})
            QCOMPARE(r.points[edge].pixel.y(), 2999);
        QCOMPARE(r.points[1].northing, 4834000);
        // Back on the map's grid to the metre it left.
        QCOMPARE(r.points[3].easting, 372000);
        QCOMPARE(r.points[3].northing, 4833000);
        QCOMPARE(r.points[3].pixel, QPoint(800, 800));
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
        // Split farthest first: with room for three, the corner farthest from
        // the first chord; for four, the next farthest of either half.
        QCOMPARE(GpxImport::douglasPeucker(square, 1.0, 3), std::vector<qsizetype>({0, 2, 5}));
        QCOMPARE(GpxImport::douglasPeucker(square, 1.0, 4), std::vector<qsizetype>({0, 2, 4, 5}));
        QCOMPARE(GpxImport::douglasPeucker(square, 0.5), std::vector<qsizetype>({0, 1, 2, 4, 5}));

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
        // Every point stands out of the line by 10 m, four pixels: the
        // route is filled to its last label.
        QCOMPARE(r.points.size(), 1000);
        QCOMPARE(r.simplified, kZigzag - 1000);
        QCOMPARE(r.points.first().easting, 371000);
        QCOMPARE(r.points.last().easting, 371000 + kZigzag - 1);
    }

    // Where a path leaves the picture it keeps the crossing of the edge, and
    // the user hears how much of the walk was left out.
    void pathLeavingTheMapKeepsTheEdge()
    {
        // The right edge's last pixel centre, column 3999, is at 379997.5 E.
        const QList<QPair<double, double>> utm = {{378000, 4831000}, {379000, 4831000},
                                                  {381000, 4831000}, {381000, 4832000},
                                                  {379000, 4832000}, {378000, 4832000}};
        GpxDocument doc;
        doc.routes = {{"Boucle", {}}};
        for (int i = 0; i < utm.size(); ++i) {
            const Coordinates::LatLon p = wgs84(utm[i].first, utm[i].second);
            GpxPoint g;
            g.latitude = p.latitude;
            g.longitude = p.longitude;
            g.name = QStringLiteral("P%1").arg(i);
            g.elevation = 1000 + 100 * i;
            doc.routes[0].points << g;
        }
        const GpxImportResult r =
            GpxImport::importChoice(doc, {GpxChoice::Route, 0, {}}, toulouseFrame());
        QStringList got;
        for (const ImportedPoint &p : r.points)
            got << QStringLiteral("%1 %2 %3 %4,%5 %6")
                       .arg(p.name)
                       .arg(p.easting)
                       .arg(p.northing)
                       .arg(p.pixel.x())
                       .arg(p.pixel.y())
                       .arg(p.altitude);
        // 379997.5 rounds to the even metre; the edge's altitude lies a
        // quarter of the way from 1100 m to 1200 m, 998.75 of 2000 m on.
        QCOMPARE(
            got,
            QStringList({"P0 378000 4831000 3200,1600 1000", "P1 379000 4831000 3600,1600 1100",
                         " 379998 4831000 3999,1600 1150", " 379998 4832000 3999,1200 1350",
                         "P4 379000 4832000 3600,1200 1400", "P5 378000 4832000 3200,1200 1500"}));
        QCOMPARE(r.outside, 2);
        // Back onto the map right at a point of the path: no crossing of its own.
        GpxDocument back;
        back.routes = {{"Retour", {}}};
        for (const auto &[e, n] : {QPair<double, double>{381000, 4831000}, {379998, 4831000}}) {
            const Coordinates::LatLon p = wgs84(e, n);
            GpxPoint g;
            g.latitude = p.latitude;
            g.longitude = p.longitude;
            g.name = QStringLiteral("Bord");
            back.routes[0].points << g;
        }
        const GpxImportResult b =
            GpxImport::importChoice(back, {GpxChoice::Route, 0, {}}, toulouseFrame());
        QCOMPARE(b.points.size(), 1);
        QCOMPARE(b.points[0].name, "Bord");
        // 1002.5 + 1000 + 1002.5 m of grid; measured on a sphere, the ground
        // is within half a percent of it.
        QVERIFY(std::abs(r.outsideMetres - 3005.0) < 15.0);
        QCOMPARE(GpxImport::reportText(r),
                 "2 points hors de la carte ont été laissés de côté, avec 3,0 km du tracé.");
        QCOMPARE(GpxImport::outsideText(1, 40.4),
                 "1 point hors de la carte a été laissé de côté, avec 40 m du tracé.");
        QCOMPARE(GpxImport::outsideText(1, 99.4),
                 "1 point hors de la carte a été laissé de côté, avec 99 m du tracé.");
        QCOMPARE(GpxImport::outsideText(1, 100.0),
                 "1 point hors de la carte a été laissé de côté, avec 0,1 km du tracé.");
    }

    // The last pixel of each edge is on the map, the next one is not; the
    // width and the height differ, so neither can stand for the other.
    void pointsOnEachEdge()
    {
        // Pixel x = (E - 370000) / 2.5, y = (4835000 - N) / 2.5, halves to even.
        const QList<QPair<double, double>> utm = {
            {379998, 4831000}, {379999, 4831000}, {369999, 4831000}, {369998, 4831000},
            {375000, 4827502}, {375000, 4827501}, {375000, 4835001}, {375000, 4835002}};
        GpxDocument doc;
        for (const auto &[e, n] : utm) {
            const Coordinates::LatLon p = wgs84(e, n);
            GpxPoint g;
            g.latitude = p.latitude;
            g.longitude = p.longitude;
            doc.waypoints << g;
        }
        const GpxImportResult r =
            GpxImport::importChoice(doc, {GpxChoice::Waypoints, 0, {}}, toulouseFrame());
        QList<QPoint> pixels;
        for (const ImportedPoint &p : r.points)
            pixels << p.pixel;
        QCOMPARE(pixels, QList<QPoint>({{3999, 1600}, {0, 1600}, {2000, 2999}, {2000, 0}}));
        QCOMPARE(r.outside, 4);
        QCOMPARE(r.outsideMetres, 0.0); // loose points are no path
    }

    // Names and altitudes of another program pass the import gate.
    void namesAndAltitudesThroughTheGate()
    {
        const QByteArray xml =
            "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" version=\"1.1\">"
            "<wpt lat=\"43.62\" lon=\"1.45\"><name>Col&#10;du Loup</name><ele>1e308</ele></wpt>"
            "<wpt lat=\"43.62\" lon=\"1.451\"><name>\xd0\x9f\xd1\x83\xd1\x82\xd1\x8c</name>"
            "<ele>3e9</ele></wpt>"
            "<wpt lat=\"43.62\" lon=\"1.452\"><name>Lac, rive "
            "nord</name><ele>2147483647</ele></wpt>"
            "<wpt lat=\"43.62\" lon=\"1.453\"><name>"
            "Chapelle Notre-Dame-des-Neiges du haut vallon</name><ele>-430.6</ele></wpt>"
            "</gpx>";
        const GpxDocument doc = Gpx::parse(xml);
        MapFrame frame = toulouseFrame();
        // A map around those points: 20 km square from 360000 E, 4840000 N.
        ComputeTransform(frame.transform, {0, 0, 360000, 4840000}, {4000, 0, 380000, 4840000},
                         {0, 3000, 360000, 4825000});
        const GpxImportResult r =
            GpxImport::importChoice(doc, {GpxChoice::Waypoints, 0, {}}, frame);
        QCOMPARE(r.outside, 0);
        QStringList names, altitudes;
        for (const ImportedPoint &p : r.points) {
            names << p.name;
            altitudes << p.altitude;
        }
        QCOMPARE(names,
                 QStringList({"Col du Loup", "", "", "Chapelle Notre-Dame-des-Neiges du haut v"}));
        QCOMPARE(altitudes, QStringList({"", "", "2147483647", "-431"}));
        QCOMPARE(r.droppedAltitudes, 2);
        QCOMPARE(GpxImport::reportText(r, 1),
                 "3 altitudes illisibles ou hors limites ont été laissées de côté.");
        QCOMPARE(GpxImport::reportText(GpxImportResult(), 1),
                 "1 altitude illisible ou hors limites a été laissée de côté.");
        QCOMPARE(GpxImport::reportText(GpxImportResult()), "");
        GpxImportResult noShift;
        noShift.ballpark = true;
        QCOMPARE(GpxImport::reportText(noShift), Coordinates::kBallparkText);
    }

    // An itinerary across Paris's clock changes: a stage stays on its day,
    // and a time the clock skips gets the offset in force after the gap.
    void itineraryAcrossClockChanges_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QStringList>("times");
        QTest::addColumn<QStringList>("written");
        QTest::newRow("spring") << QDate(2025, 3, 30) << QStringList({"01:30", "02:30", "03:30"})
                                << QStringList({"2025-03-30T01:30:00+01:00",
                                                "2025-03-30T02:30:00+02:00",
                                                "2025-03-30T03:30:00+02:00"});
        QTest::newRow("spring, first stage in the gap")
            << QDate(2025, 3, 30) << QStringList({"02:30", "03:30"})
            << QStringList({"2025-03-30T02:30:00+02:00", "2025-03-30T03:30:00+02:00"});
        // 02:30 is shown twice in autumn: the first, still in summer time.
        QTest::newRow("autumn") << QDate(2025, 10, 26) << QStringList({"01:30", "02:30", "03:30"})
                                << QStringList({"2025-10-26T01:30:00+02:00",
                                                "2025-10-26T02:30:00+02:00",
                                                "2025-10-26T03:30:00+01:00"});
        QTest::newRow("the night before autumn's change")
            << QDate(2025, 10, 25) << QStringList({"23:30", "02:30", "02:00"})
            << QStringList({"2025-10-25T23:30:00+02:00", "2025-10-26T02:30:00+02:00",
                            "2025-10-27T02:00:00+01:00"});
    }
    void itineraryAcrossClockChanges()
    {
        QFETCH(QDate, date);
        QFETCH(QStringList, times);
        QFETCH(QStringList, written);
        StringGrid stages(Itinerary::kColumns, Itinerary::kGridRows);
        StringGrid catalogue(Catalogue::kColumns, Catalogue::kRows);
        catalogue.setCell(Catalogue::Date, 0, date_text(dateToDays(date)));
        for (int i = 0; i < times.size(); ++i) {
            stages.setCell(Itinerary::Position, i + 1, "31T 375000 4830000");
            stages.setCell(Itinerary::Time, i + 1, times[i]);
        }
        const GpxDocument doc = GpxExport::itineraryDocument(stages, catalogue, 0, SpeedTable(), {},
                                                             QTimeZone("Europe/Paris"));
        // The file's waypoints come first, one per stage.
        const QByteArray xml = Gpx::toXml(doc);
        QStringList got;
        for (qsizetype at = xml.indexOf("<time>"); got.size() < times.size() && at >= 0;
             at = xml.indexOf("<time>", at + 1))
            got << QString::fromLatin1(xml.mid(at + 6, xml.indexOf("</time>", at) - at - 6));
        QCOMPARE(got, written);
    }
};

QUOR_TEST(GpxExchangeTest)
#include "tst_gpxexchange.moc"
