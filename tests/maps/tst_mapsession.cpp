#include "common/testmain.h"
#include "routewindow.h"

#include "data/quorerror.h"

#include <QStatusBar>

#include <functional>

#include <jerror.h>

using namespace RouteWindow;

namespace {

const QString kRoute = QStringLiteral("Forêt des Landes");
const QString kNoJpeg = QStringLiteral("Erreur JPEG #%1").arg(JERR_NO_SOI);

// Every command of the route and waypoint panels that writes a file.
const std::pair<const char *, std::function<void(MapSession &)>> kCommands[] = {
    {"Nouvelle", [](MapSession &s) { s.addRoute(); }},
    {"Supprimer la route", [](MapSession &s) { s.deleteRoute(); }},
    {"clic sur la carte", [](MapSession &s) { s.click(); }},
    {"Redessiner", [](MapSession &s) { s.redraw(); }},
    {"Supprimer le point", [](MapSession &s) { s.deleteWaypoint(); }},
    {"Haut", [](MapSession &s) { s.moveLabel(RouteFiles::LabelOffsetY, -10); }},
    {"Altitude", [](MapSession &s) { s.setAltitude(QStringLiteral("999")); }},
    {"Valider la calibration", [](MapSession &s) { s.validateCalibration(); }},
};

} // namespace

// The map session driven without a window, as the panels drive it.
class MapSessionTest : public QObject
{
    Q_OBJECT
    Fixture f;
    std::unique_ptr<MapSession> m_session;

    // The calibrated map, its route AB opened on the waypoints panel with its
    // second waypoint selected.
    MapSession &openRoute()
    {
        f.writeRoutes({"Lac", "AA", kRoute, "AB"});
        f.writeWaypoints(QStringLiteral("AB"), records(QStringLiteral("AB"), 3));
        m_session = std::make_unique<MapSession>(*f.state);
        MapSession &s = *m_session;
        s.setCatalogueTitleSource([] { return QStringLiteral("Col du Lautaret"); });
        s.setMapPath(f.map);
        s.activate();
        s.confirmCalibration();
        s.routes().select(1);
        s.openWaypoints();
        s.waypoints().select(1);
        return s;
    }

    QByteArray routesBytes() const { return TestUtil::readBytes(f.routesPath()); }
    QByteArray waypointBytes() const
    {
        return TestUtil::readBytes(f.waypointPath(QStringLiteral("AB")));
    }

private slots:
    void init() { f.setUp(); }
    void cleanup()
    {
        m_session.reset();
        f.tearDown();
    }

    // From the pointer to the file, every value comes from the session: the
    // position of the last move, the code of the open route, the order of
    // its list.
    void clickPlacesAfterTheSelectedWaypoint()
    {
        MapSession &s = openRoute();
        QCOMPARE(s.panel(), MapSession::Panel::Waypoints);
        QCOMPARE(s.routeTitle(), QStringLiteral("Forêt des Landes >AB"));
        QCOMPARE(s.waypointTexts().altitude, QString());
        s.pointerMoved(30, 40);
        s.setAltitude(QStringLiteral("1250"));
        s.click();
        // The altitude went to the selected AB001 first, then into the new
        // waypoint placed after it.
        QStringList expected = records(QStringLiteral("AB"), 2) +
                               record(QStringLiteral("AB003"), 30, 40, QStringLiteral("1250")) +
                               records(QStringLiteral("AB"), 3).mid(20);
        expected[13] = QStringLiteral("1250");
        QCOMPARE(f.fileLines(f.waypointPath(QStringLiteral("AB"))), expected);
        QCOMPARE(s.waypoints().items(), QStringList({"AB000", "AB001", "AB003", "AB002"}));
        QCOMPARE(s.waypoints().currentText(), QStringLiteral("AB002"));
        QCOMPARE(s.pendingWaypointLabel(), QStringLiteral("AB004"));
        QCOMPARE(s.pictureFont().family(), QStringLiteral("Arial"));
        QCOMPARE(s.shownImage().pixelColor(30, 40), kRed);
    }

    // A name brought by a GPX file is no format: its "%1" stays as it is.
    void uniqueNamesKeepPercentSigns()
    {
        f.writeRoutes({"Lac %1", "AA", "Lac %1 (2)", "AB"});
        MapSession s(*f.state);
        s.setMapPath(f.map);
        s.activate();
        s.confirmCalibration();
        QCOMPARE(s.uniqueRouteName(QStringLiteral("Lac %1")), QStringLiteral("Lac %1 (3)"));
    }

    // Released lists (the window left) or a map that failed to load: no
    // command writes a file from what the session no longer holds.
    void nothingActsOnReleasedLists_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<bool>("failedLoad");
        for (int i = 0; i < int(std::size(kCommands)); ++i) {
            QTest::addRow("%s, fenêtre quittée", kCommands[i].first) << i << false;
            QTest::addRow("%s, carte illisible", kCommands[i].first) << i << true;
        }
    }

    void nothingActsOnReleasedLists()
    {
        QFETCH(int, command);
        QFETCH(bool, failedLoad);
        MapSession &s = openRoute();
        const QByteArray routes = routesBytes();
        const QByteArray waypoints = waypointBytes();
        const QByteArray calibration = TestUtil::readBytes(calibrationFileName(f.map));
        const QImage shown = s.shownImage();
        if (failedLoad) {
            const QString bad = f.dir->filePath(QStringLiteral("faux.jpg"));
            TestUtil::writeBytes(bad, QByteArray("GIF89a"));
            QVERIFY_THROWS_EXCEPTION(QuorError, s.changeMap(bad));
            QVERIFY(s.loadFailed());
            // The picture, route and labels drawn stay on screen.
            QCOMPARE(s.shownImage(), shown);
        } else {
            s.release();
        }
        QVERIFY(!s.isReady());
        kCommands[command].second(s);
        QCOMPARE(routesBytes(), routes);
        QCOMPARE(waypointBytes(), waypoints);
        QCOMPARE(TestUtil::readBytes(calibrationFileName(f.map)), calibration);
        // The next activation on a good map works again.
        s.setMapPath(f.map);
        s.activate();
        QVERIFY(s.isReady());
        QCOMPARE(s.routes().items(), QStringList({"Lac", kRoute}));
    }
};

// The map window's own part of the same faults: what the user clicks.
class MapWindowFaultTest : public QObject
{
    Q_OBJECT
    Fixture f;

private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void failedLoadLeavesFilesAndPicture()
    {
        f.writeRoutes({"Lac", "AA", kRoute, "AB"});
        f.writeWaypoints(QStringLiteral("AB"), records(QStringLiteral("AB"), 3));
        f.openMap();
        const QString bad = f.dir->filePath(QStringLiteral("faux.jpg"));
        TestUtil::writeBytes(bad, QByteArray("GIF89a"));
        const QByteArray routes = TestUtil::readBytes(f.routesPath());

        // Routes panel on screen, then "&Cartes" with a file that is no JPEG.
        f.w->showMap(bad);
        QApplication::setActiveWindow(f.w.get());
        QCOMPARE(f.platform->errors, QStringList{kNoJpeg});
        QCOMPARE(f.shownPanel(), QStringLiteral("Routes"));
        QVERIFY(!f.w->Routes->RNouvelle->isEnabled());
        f.w->Routes->RNouvelleClick();
        f.w->Routes->RSupprimerClick();
        QCOMPARE(TestUtil::readBytes(f.routesPath()), routes);
        QVERIFY(f.w->statusBar()->currentMessage().contains(kNoJpeg));

        // The waypoints panel, with the route drawn, then the same.
        f.platform->errors.clear();
        f.w->showMap(f.map);
        QApplication::setActiveWindow(f.w.get());
        f.w->VerifCalibra->C_Bonne->click();
        f.openRoute(kRoute);
        f.clickWaypoint(QStringLiteral("AB001"));
        const QString path = f.waypointPath(QStringLiteral("AB"));
        const QByteArray waypoints = TestUtil::readBytes(path);
        const QImage shown = f.session().shownImage();
        f.w->showMap(bad);
        QApplication::setActiveWindow(f.w.get());
        QCOMPARE(f.shownPanel(), QStringLiteral("Waypoints"));
        QCOMPARE(f.session().shownImage(), shown);
        f.clickMap(600, 600);
        f.w->Waypoints->WDessinerClick();
        f.w->Waypoints->WsupprimerClick();
        f.w->Waypoints->WHautClick();
        QTest::keyClicks(f.w->Waypoints->WZ, QStringLiteral("7"));
        QCOMPARE(TestUtil::readBytes(path), waypoints);
        QCOMPARE(f.session().shownImage(), shown);
        QCOMPARE(f.platform->errors, QStringList{kNoJpeg});
    }
};

QUOR_TEST(MapSessionTest)
QUOR_TEST(MapWindowFaultTest)

#include "tst_mapsession.moc"
