#include "common/testmain.h"
#include "common/testutil.h"
#include "data/filelayer.h"
#include "data/gpxfile.h"
#include "data/quorerror.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <unistd.h>

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

// Bytes the process has read from files so far.
qint64 bytesReadByProcess()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : io.readAll().split('\n')) {
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return 0;
}
constexpr qint64 kFewBytes = 64 * 1024;

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

        // A CR comes back as a CR, not as the LF an XML reader makes of it.
        doc.tracks[0].name = QStringLiteral("a\rb\r\nc");
        const QByteArray withCr = Gpx::toXml(doc);
        QVERIFY(withCr.contains("<name>a&#13;b&#13;\nc</name>"));
        QCOMPARE(Gpx::parse(withCr).tracks[0].name, doc.tracks[0].name);
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
        // The limits themselves are read: see limitsAreRead.
        QTest::newRow("latitude beyond -90")
            << gpx11("<wpt lat=\"-90.000000001\" lon=\"2\"/>")
            << "Latitude « -90.000000001 » incorrecte à la ligne 3 du fichier GPX : il faut un "
               "nombre de -90 à 90.";
        QTest::newRow("longitude beyond 180")
            << gpx11("<wpt lat=\"1\" lon=\"180.000000001\"/>")
            << "Longitude « 180.000000001 » incorrecte à la ligne 3 du fichier GPX : il faut un "
               "nombre de -180 à 180.";
        QTest::newRow("longitude beyond -180")
            << gpx11("<wpt lat=\"1\" lon=\"-180.000000001\"/>")
            << "Longitude « -180.000000001 » incorrecte à la ligne 3 du fichier GPX : il faut "
               "un nombre de -180 à 180.";
        // Lines and columns are those of the file, though the long text
        // before is never held whole.
        QByteArray lines;
        for (int i = 0; i < 2000; ++i)
            lines += "ligne\r\n";
        QTest::newRow("after 2000 lines of a name")
            << gpx11("<wpt lat=\"1\" lon=\"2\"><name>" + lines +
                     "</name></wpt><wpt lat=\"1\" "
                     "lon=\"200\"/>")
            << "Longitude « 200 » incorrecte à la ligne 2003 du fichier GPX : il faut un nombre "
               "de -180 à 180.";
        const QByteArray head = "<wpt lat=\"1\" lon=\"2\"><desc>";
        const QByteArray tail = "</desc></wpt><wpt lat=\"1\" lon=\"2\"><name>a</nam>";
        // The column after "</nam" of line 3.
        QTest::newRow("after 5000 characters on the line")
            << gpx11(head + QByteArray(5000, 'x') + tail)
            << QStringLiteral("Le fichier n'est pas un fichier GPX lisible : XML incorrect à la "
                              "ligne 3, colonne %1.")
                   .arg(head.size() + 5000 + tail.size());
        QTest::newRow("cut off after a long name")
            << gpx11("<wpt lat=\"1\" lon=\"2\"><name>" + lines).chopped(sizeof "\n</gpx>\n" - 1)
            << "Le fichier GPX est incomplet : il s'arrête à la ligne 2003.";
    }

    void refusals()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        QCOMPARE(parseError(bytes), message);
    }

    void limitsAreRead()
    {
        const GpxDocument doc =
            Gpx::parse(gpx11("<wpt lat=\"90\" lon=\"180\"/><wpt lat=\"-90\" lon=\"-180\"/>"));
        QCOMPARE(doc.waypoints.size(), 2);
        QCOMPARE(doc.waypoints[0].latitude, 90.0);
        QCOMPARE(doc.waypoints[0].longitude, 180.0);
        QCOMPARE(doc.waypoints[1].latitude, -90.0);
        QCOMPARE(doc.waypoints[1].longitude, -180.0);
    }

    void elevations_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<double>("elevation"); // NaN: none
        const double none = qQNaN();
        QTest::newRow("empty") << QByteArray() << none;
        QTest::newRow("decimal comma") << QByteArray("1000,5") << none;
        QTest::newRow("word") << QByteArray("abc") << none;
        QTest::newRow("inf") << QByteArray("inf") << none;
        QTest::newRow("-inf") << QByteArray("-inf") << none;
        QTest::newRow("nan") << QByteArray("nan") << none;
        QTest::newRow("hexadecimal") << QByteArray("0x10") << none;
        QTest::newRow("beyond a double") << QByteArray("1e309") << none;
        QTest::newRow("spaces") << QByteArray(" \t12.5\n ") << 12.5;
        QTest::newRow("Dead Sea") << QByteArray("-430.5") << -430.5;
        // Absurd but finite: another layer drops what the project cannot hold.
        QTest::newRow("1e308") << QByteArray("1e308") << 1e308;
        QTest::newRow("-1e308") << QByteArray("-1e308") << -1e308;
        QTest::newRow("3e9") << QByteArray("3e9") << 3000000000.0;
    }

    void elevations()
    {
        QFETCH(QByteArray, text);
        QFETCH(double, elevation);
        // The point stays, and so do the points after it.
        const GpxDocument doc = Gpx::parse(gpx11("<wpt lat=\"1\" lon=\"2\"><ele>" + text +
                                                 "</ele><name>A</name></wpt><wpt lat=\"3\" "
                                                 "lon=\"4\"><ele>7</ele></wpt>"));
        QCOMPARE(doc.waypoints.size(), 2);
        QCOMPARE(doc.waypoints[0].name, QStringLiteral("A"));
        QCOMPARE(doc.waypoints[1].elevation, 7.0);
        if (qIsNaN(elevation)) {
            QVERIFY(!doc.waypoints[0].elevation);
            QCOMPARE(doc.unreadableElevations, 1);
        } else {
            QCOMPARE(doc.waypoints[0].elevation, elevation);
            QCOMPARE(doc.unreadableElevations, 0);
        }
    }

    void elevationsWritten_data()
    {
        QTest::addColumn<double>("elevation");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("1e20") << 1e20 << "1" + QByteArray(20, '0');
        QTest::newRow("1234.5") << 1234.5 << QByteArray("1234.5");
        QTest::newRow("1234") << 1234.0 << QByteArray("1234");
        QTest::newRow("-0.25") << -0.25 << QByteArray("-0.25");
        QTest::newRow("1e-7") << 1e-7 << QByteArray("0.0000001");
        QTest::newRow("8848.86") << 8848.86 << QByteArray("8848.86");
    }

    void elevationsWritten()
    {
        QFETCH(double, elevation);
        QFETCH(QByteArray, text);
        GpxDocument doc;
        GpxPoint p;
        p.elevation = elevation;
        doc.waypoints = {p};
        const QByteArray xml = Gpx::toXml(doc);
        QVERIFY2(xml.contains("<ele>" + text + "</ele>"), xml.constData());
        QCOMPARE(Gpx::parse(xml).waypoints[0].elevation, elevation);
    }

    void longTexts_data()
    {
        QTest::addColumn<QByteArray>("point");
        QTest::addColumn<QString>("name");
        const QString e1000(Gpx::kMaxTextLength, QChar(0xE9));
        QTest::newRow("3000 é") << "<name>" + QString(3000, QChar(0xE9)).toUtf8() + "</name>"
                                << e1000;
        QTest::newRow("CDATA") << "<name><![CDATA[" + QString(3000, QChar(0xE9)).toUtf8() +
                                      "]]></name>"
                               << e1000;
        // 999 characters, then a character of two halves: none of it stays.
        QTest::newRow("half a character")
            << "<name>" + QByteArray(999, 'a') + "\xF0\x9F\x8F\x94" + "</name>"
            << QString(999, QLatin1Char('a'));
        QTest::newRow("pieces around a comment")
            << "<name>" + QByteArray(600, 'a') + "<!--" +
                   QByteArray(5000, '-').replace("--", "- ") + "-->" + QByteArray(600, 'b') +
                   "</name>"
            << QString(600, QLatin1Char('a')) + QString(400, QLatin1Char('b'));
        QTest::newRow("text of children left out")
            << "<name>a<b>" + QByteArray(5000, 'x') + "</b>c</name>" << QStringLiteral("ac");
        QTest::newRow("after a long foreign element")
            << "<extensions><x a=\"1>\">" + QByteArray(5000, 'x') +
                   "</x></extensions><name>n</name>"
            << QStringLiteral("n");
    }

    void longTexts()
    {
        QFETCH(QByteArray, point);
        QFETCH(QString, name);
        // A document type that says ">" in its values is read through.
        const QByteArray bytes = "<?xml version=\"1.0\"?>\n<!DOCTYPE gpx [<!ENTITY e \"x>y]\"> "
                                 "<!-- ' > -->]>\n<gpx xmlns=\"http://www.topografix.com/GPX/1/1\">"
                                 "<wpt lat=\"1\" lon=\"2\">" +
                                 point +
                                 "</wpt><wpt lat=\"3\" lon=\"4\"><name>&e;</name></wpt></gpx>";
        const GpxDocument doc = Gpx::parse(bytes);
        QCOMPARE(doc.waypoints.size(), 2);
        QCOMPARE(doc.waypoints[0].name, name);
        QCOMPARE(doc.waypoints[1].name, QStringLiteral("x>y]"));
    }

    void aMillionPoints()
    {
        // Exactly the limit, of every kind of point, then one more.
        QByteArray body;
        body.reserve(25 * (Gpx::kMaxPoints + 1));
        constexpr qsizetype kThird = Gpx::kMaxPoints / 3;
        for (qsizetype i = 0; i < kThird; ++i)
            body += "<wpt lat=\"1\" lon=\"2\"/>\n";
        body += "<rte>\n";
        for (qsizetype i = 0; i < kThird; ++i)
            body += "<rtept lat=\"1\" lon=\"2\"/>\n";
        body += "</rte><trk><trkseg>\n";
        for (qsizetype i = 0; i < Gpx::kMaxPoints - 2 * kThird; ++i)
            body += "<trkpt lat=\"1\" lon=\"2\"/>\n";
        const GpxDocument doc = Gpx::parse(gpx11(body + "</trkseg></trk>"));
        QCOMPARE(doc.waypoints.size() + doc.routes[0].points.size() + doc.tracks[0].points.size(),
                 1'000'000);
        body += "<trkpt lat=\"1\" lon=\"2\"/>\n</trkseg></trk>";
        QCOMPARE(parseError(gpx11(body)),
                 "Le fichier GPX contient plus d'un million de points : il est refusé.");
    }

    void progressAndCancel()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("long.gpx");
        // Ten megabytes in one name: read in pieces, never whole.
        writeBytes(path, gpx11("<wpt lat=\"1\" lon=\"2\"><name>" +
                               QByteArray(10 * 1024 * 1024, 'n') + "</name></wpt>"));
        const qint64 size = QFileInfo(path).size();
        QList<qint64> done;
        const GpxDocument doc = Gpx::read(path, [&](qint64 d, qint64 total) {
            done.append(total == size ? d : -1);
            return true;
        });
        QCOMPARE(doc.waypoints[0].name.size(), Gpx::kMaxTextLength);
        QVERIFY(done.size() >= 3);
        QCOMPARE(done.first(), 0);
        QVERIFY(std::is_sorted(done.cbegin(), done.cend()) && done.last() <= size);

        int calls = 0;
        QVERIFY_THROWS_EXCEPTION(Cancelled,
                                 Gpx::read(path, [&](qint64, qint64) { return ++calls < 2; }));
        QCOMPARE(calls, 2);
    }

    void fileLimitsAndFaults()
    {
        QTemporaryDir dir;
        // A sparse file past the limit is refused from its size: the bytes
        // the process reads prove that nothing of it was.
        const QString big = dir.filePath("gros.gpx");
        QFile f(big);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(Gpx::kMaxFileBytes + 1));
        f.close();
        const qint64 before = bytesReadByProcess();
        QCOMPARE(messageOf([&] { Gpx::read(big); }),
                 "Le fichier GPX dépasse 256 Mo : il est refusé.");
        QVERIFY(bytesReadByProcess() - before < kFewBytes);
        // At the limit it is read, and found empty of XML.
        QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(Gpx::kMaxFileBytes));
        f.close();
        QCOMPARE(messageOf([&] { Gpx::read(big); }),
                 "Le fichier n'est pas un fichier GPX lisible : XML incorrect à la ligne 1, "
                 "colonne 1.");
        QVERIFY(QFile::remove(big));

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

        // The new file replaces the old one whole: a second name of the old
        // file keeps the old bytes, and a failed rename leaves no trace.
        writeBytes(target, "ancien");
        const QString other = dir.filePath("lien.gpx");
        QCOMPARE(
            ::link(QFile::encodeName(target).constData(), QFile::encodeName(other).constData()), 0);
        Gpx::write(target, GpxDocument());
        QCOMPARE(readBytes(other), QByteArray("ancien"));
        QVERIFY(readBytes(target).startsWith("<?xml"));
        const QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        FileLayer::setFaultHook([&](FileLayer::Op op, const QString &) {
            return op == FileLayer::Op::Rename ? EIO : 0;
        });
        const QString failed = messageOf([&] { Gpx::write(other, GpxDocument()); });
        FileLayer::setFaultHook({});
        QCOMPARE(failed, "Impossible de créer le fichier " + other);
        QCOMPARE(readBytes(other), QByteArray("ancien"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), files);
    }
};

QUOR_TEST(GpxFileTest)
#include "tst_gpxfile.moc"
