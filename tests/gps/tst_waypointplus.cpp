#include "common/testmain.h"
#include "common/testutil.h"
#include "data/appstate.h"
#include "data/filelayer.h"
#include "data/quorerror.h"
#include "data/routefiles.h"
#include "gps/waypointplus.h"
#include "gpstestutil.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>

using namespace GpsTest;
using namespace TestUtil;

// The routes file and the waypoint file as the route dialog reads them.
class RouteFilesTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    AppState m_state;

private slots:
    void init()
    {
        m_state.programDirectory = m_dir.path() + QLatin1Char('/');
        m_state.projectName = QStringLiteral("Rando");
        QDir(m_dir.path()).mkpath(QStringLiteral("Rando"));
    }

    void pathsAreInTheProjectDirectory()
    {
        QCOMPARE(RouteFiles::routesPath(m_state),
                 m_dir.path() + QStringLiteral("/Rando/Quorr.qud"));
        QCOMPARE(RouteFiles::waypointPath(m_state, QStringLiteral("AB")),
                 m_dir.path() + QStringLiteral("/Rando/Quorr.AB"));
    }

    void readsRoutesWithAnyLineEnd()
    {
        writeBytes(RouteFiles::routesPath(m_state),
                   cp1252(QStringLiteral("Forêt\r\nAA\nLac\rAB\r\n")));
        QStringList lines;
        QVERIFY(RouteFiles::readRoutes(m_state, lines));
        QCOMPARE(lines, QStringList({"Forêt", "AA", "Lac", "AB"}));
        QCOMPARE(RouteFiles::routeNames(lines), QStringList({"Forêt", "Lac"}));
    }

    void missingFilesReadAsEmpty()
    {
        QFile::remove(RouteFiles::routesPath(m_state));
        QStringList lines{"stale"};
        QVERIFY(!RouteFiles::readRoutes(m_state, lines));
        QVERIFY(lines.isEmpty());
        lines = QStringList{"stale"};
        QVERIFY(!RouteFiles::readWaypoints(m_state, QStringLiteral("ZZ"), lines));
        QVERIFY(lines.isEmpty());
    }

    void anOddTrailingLineIsNoRoute()
    {
        QCOMPARE(RouteFiles::routeNames({"Forêt", "AA", "Lac"}), QStringList({"Forêt"}));
    }

    void codeIsTheLineAfterTheFirstEqualLineInAnyCase()
    {
        const QStringList lines{"FORÊT", "AA", "Forêt", "AB", "Lac", "AC"};
        QCOMPARE(RouteFiles::routeCode(lines, QStringLiteral("forêt")).value(),
                 QStringLiteral("AA"));
        QCOMPARE(RouteFiles::routeCode(lines, QStringLiteral("LAC")).value(), QStringLiteral("AC"));
        QVERIFY(!RouteFiles::routeCode(lines, QStringLiteral("Mer")).has_value());
        // The search runs over every line, codes included.
        QCOMPARE(RouteFiles::routeCode(lines, QStringLiteral("ab")).value(), QStringLiteral("Lac"));
        QVERIFY(!RouteFiles::routeCode({"Lac"}, QStringLiteral("Lac")).has_value());
    }

    void waypointsAreCompleteRecordsOfTenLines()
    {
        QStringList lines = waypointLines(exampleRoute());
        QCOMPARE(RouteFiles::waypointCount(lines), 2);
        lines << "AA002"
              << "1"
              << "2"
              << "3"
              << "4";
        QCOMPARE(RouteFiles::waypointCount(lines), 2);
        QCOMPARE(RouteFiles::waypointField(lines, 1, RouteFiles::Northing),
                 QStringLiteral("4846012"));
        QCOMPARE(RouteFiles::waypointField(lines, 1, RouteFiles::Datum), QStringLiteral("ED50"));
    }
};
QUOR_TEST(RouteFilesTest)

// The Waypoint+ file, compared byte for byte.
class WaypointPlusTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString &name) { return m_dir.filePath(name); }

private slots:
    void cleanup() { FileLayer::setFaultHook({}); }

    void exampleFileBytes()
    {
        const QString target = path("Forêt.TXT");
        WaypointPlus::write(
            target, WaypointPlus::lines(3, QStringLiteral("Forêt"), waypointLines(exampleRoute())));
        const QByteArray expected =
            "Datum,European 1950,International,-251,-0.14192702,-87,-96,-120\r\n"
            "RouteName, 3,FOR\xCAT\r\n"
            "RoutePoint,UTM,AA000 ,31T,512345,4845678,01/01/2001,00:00:00,QUOR\r\n"
            "RoutePoint,UTM,AA001 ,31T,512960,4846012,01/01/2001,00:00:00,QUOR\r\n";
        QCOMPARE(readBytes(target), expected);
    }

    void firstWaypointDecidesTheDatum()
    {
        QList<Waypoint> route = exampleRoute();
        route[0].datum = QStringLiteral("WGS84");
        const QStringList out = WaypointPlus::lines(1, QStringLiteral("Lac"), waypointLines(route));
        QCOMPARE(out.size(), 4);
        QCOMPARE(out.at(0), QStringLiteral("Datum,WGS84,WGS84,0,0,0,0,0"));
        QCOMPARE(out.at(1), QStringLiteral("RouteName, 1,LAC"));
        QVERIFY(!out.join(QLatin1Char('\n')).contains(QStringLiteral("European")));
    }

    void lowerCaseDatumGivesNoDatumLine()
    {
        QList<Waypoint> route = exampleRoute();
        route[0].datum = QStringLiteral("ed50");
        const QString target = path("lac.txt");
        WaypointPlus::write(target,
                            WaypointPlus::lines(3, QStringLiteral("Lac"), waypointLines(route)));
        const QByteArray expected =
            "RouteName, 3,LAC\r\n"
            "RoutePoint,UTM,AA000 ,31T,512345,4845678,01/01/2001,00:00:00,QUOR\r\n"
            "RoutePoint,UTM,AA001 ,31T,512960,4846012,01/01/2001,00:00:00,QUOR\r\n";
        QCOMPARE(readBytes(target), expected);
    }

    void routeNumberIsRightAlignedInTwoCharacters()
    {
        const QStringList wps = waypointLines(exampleRoute());
        QCOMPARE(WaypointPlus::lines(7, QStringLiteral("Lac"), wps).at(1),
                 QStringLiteral("RouteName, 7,LAC"));
        QCOMPARE(WaypointPlus::lines(12, QStringLiteral("Lac"), wps).at(1),
                 QStringLiteral("RouteName,12,LAC"));
        QCOMPARE(WaypointPlus::lines(30, QStringLiteral("Lac"), wps).at(1),
                 QStringLiteral("RouteName,30,LAC"));
    }

    void nameIsUpperCasedWithItsAccentsAndCommasKept()
    {
        const QStringList wps = waypointLines(exampleRoute());
        QCOMPARE(WaypointPlus::lines(4, QStringLiteral("Forêt des Landes, été"), wps).at(1),
                 QStringLiteral("RouteName, 4,FORÊT DES LANDES, ÉTÉ"));
    }

    void threeHundredWaypointsGiveThreeHundredRoutePoints()
    {
        QList<Waypoint> route;
        for (int i = 0; i < 300; ++i) {
            route.append({QStringLiteral("AB%1").arg(i, 3, 10, QLatin1Char('0')),
                          QString::number(500000 + i), QString::number(4000000 + 2 * i),
                          QStringLiteral("100")});
        }
        const QString target = path("long.txt");
        WaypointPlus::write(target,
                            WaypointPlus::lines(2, QStringLiteral("Long"), waypointLines(route)));
        const QByteArray bytes = readBytes(target);
        QVERIFY(bytes.endsWith("\r\n"));
        QList<QByteArray> lines = bytes.split('\n');
        QCOMPARE(lines.takeLast(), QByteArray());
        QCOMPARE(lines.size(), 302);
        int points = 0;
        for (const QByteArray &line : lines) {
            QVERIFY(line.endsWith('\r'));
            if (line.startsWith("RoutePoint,UTM,"))
                ++points;
        }
        QCOMPARE(points, 300);
        QCOMPARE(lines.at(2),
                 QByteArray("RoutePoint,UTM,AB000 ,31T,500000,4000000,01/01/2001,00:00:00,QUOR\r"));
        QCOMPARE(lines.at(301),
                 QByteArray("RoutePoint,UTM,AB299 ,31T,500299,4000598,01/01/2001,00:00:00,QUOR\r"));
    }

    void routeNumberFromTheCatalogueRow()
    {
        QCOMPARE(WaypointPlus::routeNumberForCatalogueRow(0), 1);
        QCOMPARE(WaypointPlus::routeNumberForCatalogueRow(28), 29);
        QCOMPARE(WaypointPlus::routeNumberForCatalogueRow(29), 30);
        QCOMPARE(WaypointPlus::routeNumberForCatalogueRow(35), 30);
        QCOMPARE(WaypointPlus::routeNumberForCatalogueRow(49), 30);
    }

    void existingFileIsReplacedWhole()
    {
        const QString target = path("old.txt");
        writeBytes(target, QByteArray(1000, 'x'));
        WaypointPlus::write(target, {QStringLiteral("RouteName, 1,A")});
        QCOMPARE(readBytes(target), QByteArray("RouteName, 1,A\r\n"));
    }

    void unwritableNewFileGivesCannotCreateAndNoFile()
    {
        const QString target = path("refused.txt");
        FileLayer::setFaultHook([](FileLayer::Op op, const QString &) {
            return op == FileLayer::Op::CreateTemp ? EACCES : 0;
        });
        QCOMPARE(TestUtil::messageOf([&] { WaypointPlus::write(target, {QStringLiteral("x")}); }),
                 QStringLiteral("Impossible de créer le fichier ") + target);
        QVERIFY(!QFile::exists(target));
        QCOMPARE(QDir(m_dir.path()).entryList({"*refused*"}, QDir::Files | QDir::Hidden).size(), 0);
    }

    void readOnlyExistingFileStaysUntouched()
    {
        const QString target = path("readonly.txt");
        writeBytes(target, "before\r\n");
        FileLayer::setFaultHook([target](FileLayer::Op op, const QString &p) {
            return (p == target && op == FileLayer::Op::OpenReadWrite) ? EACCES : 0;
        });
        QCOMPARE(
            TestUtil::messageOf([&] { WaypointPlus::write(target, {QStringLiteral("after")}); }),
            QStringLiteral("Impossible de créer le fichier ") + target);
        QCOMPARE(readBytes(target), QByteArray("before\r\n"));
    }

    void failedRenameLeavesNoTemporaryFile()
    {
        const QString target = path("rename.txt");
        FileLayer::setFaultHook([](FileLayer::Op op, const QString &) {
            return op == FileLayer::Op::Rename ? ENOSPC : 0;
        });
        QCOMPARE(TestUtil::messageOf([&] { WaypointPlus::write(target, {QStringLiteral("x")}); }),
                 QStringLiteral("Impossible de créer le fichier ") + target);
        QVERIFY(!QFile::exists(target));
        QCOMPARE(QDir(m_dir.path()).entryList({"*rename*"}, QDir::Files | QDir::Hidden).size(), 0);
    }
};
QUOR_TEST(WaypointPlusTest)

#include "tst_waypointplus.moc"
