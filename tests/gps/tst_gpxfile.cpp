#include "common/testmain.h"
#include "common/testutil.h"
#include "data/filelayer.h"
#include "data/gpxfile.h"
#include "data/quorerror.h"

#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

using namespace TestUtil;

namespace {

QString parseError(const QByteArray &bytes)
{
    try {
        Gpx::parse(bytes);
    } catch (const QuorError &e) {
        return e.text();
    }
    return QStringLiteral("(accepted)");
}

QByteArray gpx11(const QByteArray &body)
{
    return "<?xml version=\"1.0\"?>\n<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" "
           "version=\"1.1\" creator=\"x\">\n" +
           body + "\n</gpx>\n";
}

} // namespace

// The GPX file: what the program writes reads back, and bad files are refused
// with their own French message.
class GpxFileTest : public QObject
{
    Q_OBJECT

private slots:
    void writtenFileReadsBack()
    {
        GpxDocument doc;
        doc.name = QStringLiteral("Tour « été »");
        doc.description = QStringLiteral("Coordonnées converties");
        GpxPoint a;
        a.latitude = 43.123456789;
        a.longitude = -0.5;
        a.name = QStringLiteral("Pic d'Anie & <Ansabère>");
        a.elevation = 2504;
        a.time = QDateTime(QDate(2025, 7, 12), QTime(8, 30), Qt::OffsetFromUTC, 7200);
        GpxPoint b;
        b.latitude = -33.9;
        b.longitude = 179.999999999;
        // Names in any script come back as they were.
        b.name = QStringLiteral("山頂 Λίμνη بحيرة 🏔");
        b.description = QStringLiteral("Marches, Plat (MP)");
        doc.waypoints = {a};
        doc.routes = {{QStringLiteral("Route"), {a, b}}};
        doc.tracks = {{QStringLiteral("Trace"), {b, a, b}}};

        const QByteArray xml = Gpx::toXml(doc);
        QVERIFY(xml.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx "
                               "xmlns=\"http://www.topografix.com/GPX/1/1\""));
        QVERIFY(xml.contains(" version=\"1.1\" creator=\"Quor\" "));
        QVERIFY(xml.contains("<rtept lat=\"43.123456789\" lon=\"-0.500000000\">\n"
                             "            <ele>2504</ele>\n"
                             "            <time>2025-07-12T08:30:00+02:00</time>\n"));

        const GpxDocument back = Gpx::parse(xml);
        QCOMPARE(back.name, doc.name);
        QCOMPARE(back.description, doc.description);
        QCOMPARE(back.waypoints.size(), 1);
        QCOMPARE(back.routes.size(), 1);
        QCOMPARE(back.tracks.size(), 1);
        QCOMPARE(back.routes[0].name, QStringLiteral("Route"));
        QCOMPARE(back.tracks[0].points.size(), 3);
        const GpxPoint &ra = back.routes[0].points[0];
        const GpxPoint &rb = back.routes[0].points[1];
        QCOMPARE(ra.name, a.name);
        QCOMPARE(ra.latitude, a.latitude);
        QCOMPARE(ra.elevation, a.elevation);
        QCOMPARE(ra.time, a.time);
        QCOMPARE(ra.time.offsetFromUtc(), 7200);
        QCOMPARE(rb.name, b.name);
        QCOMPARE(rb.description, b.description);
        QCOMPARE(rb.longitude, b.longitude);
        QVERIFY(!rb.elevation && !rb.time.isValid());
    }

    void gpx10AndForeignElements()
    {
        const QByteArray v10 =
            "<gpx xmlns=\"http://www.topografix.com/GPX/1/0\" version=\"1.0\">"
            "<name>Ancien</name><trk><name>T</name><trkseg><trkpt lat=\"1\" lon=\"2\"/>"
            "</trkseg><trkseg><trkpt lat=\"3\" lon=\"4\"><ele> 12.5 </ele>"
            "<extensions><name>pas celui-ci</name></extensions></trkpt></trkseg></trk></gpx>";
        const GpxDocument doc = Gpx::parse(v10);
        QCOMPARE(doc.name, QStringLiteral("Ancien"));
        QCOMPARE(doc.tracks.size(), 1);
        QCOMPARE(doc.tracks[0].points.size(), 2); // segments end to end
        QCOMPARE(doc.tracks[0].points[1].elevation, 12.5);
        QVERIFY(doc.tracks[0].points[1].name.isEmpty());
    }

    void refusals_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << QByteArray() << "Le fichier GPX est vide.";
        QTest::newRow("not XML") << QByteArray("Datum,WGS84\r\nRouteName, 3,FORÊT\r\n")
                                 << "Le fichier n'est pas un fichier GPX lisible : XML incorrect "
                                    "à la ligne 1, colonne 1.";
        QTest::newRow("not GPX") << QByteArray("<kml><Document/></kml>")
                                 << "Ce fichier n'est pas un fichier GPX : son premier élément "
                                    "est « kml » au lieu de « gpx ».";
        QTest::newRow("other namespace")
            << QByteArray("<gpx xmlns=\"http://example.com/gpx\"/>")
            << "Ce fichier n'est pas un fichier GPX 1.0 ou 1.1 : son espace de noms est "
               "« http://example.com/gpx ».";
        const QByteArray whole = gpx11("<wpt lat=\"1\" lon=\"2\"><name>A</name></wpt>");
        QTest::newRow("cut off") << whole.left(whole.indexOf("</name>") + 4)
                                 << "Le fichier GPX est incomplet : il s'arrête à la ligne 3.";
        QTest::newRow("latitude out of range")
            << gpx11("<wpt lat=\"90.0001\" lon=\"2\"/>")
            << "Latitude « 90.0001 » incorrecte à la ligne 3 du fichier GPX : il faut un nombre "
               "de -90 à 90.";
        QTest::newRow("latitude missing")
            << gpx11("<wpt lon=\"2\"/>") << "Latitude manquante à la ligne 3 du fichier GPX.";
        QTest::newRow("longitude not a number")
            << gpx11("<rte><rtept lat=\"1\" lon=\"nan\"/></rte>")
            << "Longitude « nan » incorrecte à la ligne 3 du fichier GPX : il faut un nombre de "
               "-180 à 180.";
        QTest::newRow("longitude with a comma")
            << gpx11("<wpt lat=\"1\" lon=\"2,5\"/>")
            << "Longitude « 2,5 » incorrecte à la ligne 3 du fichier GPX : il faut un nombre de "
               "-180 à 180.";
        QTest::newRow("elevation") << gpx11("<wpt lat=\"1\" lon=\"2\">\n<ele>haut</ele></wpt>")
                                   << "Altitude « haut » incorrecte à la ligne 4 du fichier GPX.";
    }

    void refusals()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        QCOMPARE(parseError(bytes), message);
    }

    void aMillionPointsAndMore()
    {
        // One more than the limit, the last in a track: every kind of point counts.
        QByteArray body;
        body.reserve(25 * (Gpx::kMaxPoints + 1));
        for (qsizetype i = 0; i < Gpx::kMaxPoints / 2; ++i)
            body += "<wpt lat=\"1\" lon=\"2\"/>\n";
        body += "<trk><trkseg>\n";
        for (qsizetype i = 0; i <= Gpx::kMaxPoints / 2; ++i)
            body += "<trkpt lat=\"1\" lon=\"2\"/>\n";
        body += "</trkseg></trk>";
        QCOMPARE(parseError(gpx11(body)),
                 "Le fichier GPX contient plus d'un million de points : il est refusé.");
    }

    void fileLimitsAndFaults()
    {
        QTemporaryDir dir;
        // A sparse file past the limit is refused without being read whole.
        const QString big = dir.filePath("gros.gpx");
        QFile f(big);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(Gpx::kMaxFileBytes + 1));
        f.close();
        try {
            Gpx::read(big);
            QFAIL("accepted");
        } catch (const QuorError &e) {
            QCOMPARE(e.text(), "Le fichier GPX dépasse 256 Mo : il est refusé.");
        }

        // A target that cannot be written keeps its bytes.
        const QString target = dir.filePath("route.gpx");
        writeBytes(target, "ancien");
        FileLayer::setFaultHook([&](FileLayer::Op op, const QString &path) {
            return op == FileLayer::Op::OpenReadWrite && path == target ? EACCES : 0;
        });
        QString error;
        try {
            Gpx::write(target, GpxDocument());
        } catch (const QuorError &e) {
            error = e.text();
        }
        FileLayer::setFaultHook({});
        QCOMPARE(error, "Impossible de créer le fichier " + target);
        QCOMPARE(readBytes(target), QByteArray("ancien"));
        Gpx::write(target, GpxDocument());
        QVERIFY(Gpx::parse(readBytes(target)).routes.isEmpty());
    }
};

QUOR_TEST(GpxFileTest)
#include "tst_gpxfile.moc"
