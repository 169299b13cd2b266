#include "common/testmain.h"
#include "routewindow.h"

#include <cerrno>

using namespace RouteWindow;

// The routes panel: the routes file, new and deleted routes, their codes.
class RoutesPanelTest : public QObject
{
    Q_OBJECT
    Fixture f;

private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void layout()
    {
        f.openMap();
        QCOMPARE(f.shownPanel(), QStringLiteral("Routes"));
        QCOMPARE(f.w->Routes->RWaypoints->text(), QStringLiteral("Listes des WayPoints"));
        QCOMPARE(f.w->Routes->RNouvelle->text(), QStringLiteral("Nouvelle"));
        QCOMPARE(f.w->Routes->RSupprimer->text(), QStringLiteral("Supprimer"));
        QCOMPARE(f.w->Routes->Button2->text(), QStringLiteral("Quiter"));
        QVERIFY(f.w->Routes->RLWaypoints->isReadOnly());
        QVERIFY(f.w->Routes->RLsupprimer->isReadOnly());
        QVERIFY(!f.w->Routes->RWaypoints->isEnabled());
        QVERIFY(!f.w->Routes->RSupprimer->isEnabled());
        QCOMPARE(f.w->Routes->width(), 230);
        QCOMPARE(f.w->Routes->ChRoutes->list().count(), 0);
        QCOMPARE(f.w->Routes->RLNouvelle->text(), QStringLiteral("Forêt"));
    }

    void firstRouteOfTheProject()
    {
        f.openMap();
        QVERIFY(!QFile::exists(f.routesPath()));
        f.w->Routes->RNouvelle->click();
        QVERIFY(f.platform->errors.isEmpty());
        QCOMPARE(TestUtil::readBytes(f.routesPath()), QByteArray("For\xeat\r\nAA\r\n"));
        QCOMPARE(f.items(f.w->Routes->ChRoutes), QStringList{"Forêt"});
        QCOMPARE(f.w->session().routeLines(), QStringList({"Forêt", "AA"}));
    }

    void pickingARoute()
    {
        f.writeRoutes({"Forêt", "AA", "Lac", "AB"});
        f.openMap();
        QCOMPARE(f.items(f.w->Routes->ChRoutes), QStringList({"Forêt", "Lac"}));
        QCOMPARE(f.selected(f.w->Routes->ChRoutes), QString());
        f.clickItem(f.w->Routes->ChRoutes, 1);
        QCOMPARE(f.w->Routes->RLWaypoints->text(), QStringLiteral("Lac"));
        QCOMPARE(f.w->Routes->RLsupprimer->text(), QStringLiteral("Lac"));
        QVERIFY(f.w->Routes->RWaypoints->isEnabled());
        QVERIFY(f.w->Routes->RSupprimer->isEnabled());
        // A reset reads the file again and disables both buttons.
        f.writeRoutes({"Col", "AC"});
        f.w->session().reset();
        QCOMPARE(f.items(f.w->Routes->ChRoutes), QStringList{"Col"});
        QVERIFY(!f.w->Routes->RWaypoints->isEnabled());
        QVERIFY(!f.w->Routes->RSupprimer->isEnabled());
    }

    void freedCodeGivenAgainWithItsWaypoints()
    {
        f.writeRoutes({"Forêt", "AA", "Lac", "AB", "Col", "AC"});
        f.writeWaypoints(QStringLiteral("AB"), records(QStringLiteral("AB"), 2));
        f.catalogueTitle = QStringLiteral("Pic du Midi");
        f.openMap();
        f.clickItem(f.w->Routes->ChRoutes, 1);
        f.w->Routes->RSupprimer->click();
        QCOMPARE(f.items(f.w->Routes->ChRoutes), QStringList({"Forêt", "Col"}));
        QCOMPARE(f.fileLines(f.routesPath()), QStringList({"Forêt", "AA", "Col", "AC"}));
        // The waypoint file stays on disk.
        QVERIFY(QFile::exists(f.waypointPath(QStringLiteral("AB"))));
        // Nothing is selected after the deletion: the new route goes on top.
        QCOMPARE(f.selected(f.w->Routes->ChRoutes), QString());
        f.w->Routes->RNouvelle->click();
        QCOMPARE(f.fileLines(f.routesPath()),
                 QStringList({"Pic du Midi", "AB", "Forêt", "AA", "Col", "AC"}));
        f.openRoute(QStringLiteral("Pic du Midi"));
        QCOMPARE(f.shownPanel(), QStringLiteral("Waypoints"));
        QCOMPARE(f.w->Waypoints->Label25->text(), QStringLiteral("Pic du Midi >AB"));
        QCOMPARE(f.items(f.w->Waypoints->WPoints), QStringList({"AB000", "AB001"}));
        QVERIFY(f.platform->errors.isEmpty());
    }

    void newRouteAfterTheSelectedOne()
    {
        f.writeRoutes({"Forêt", "AA", "Lac", "AB"});
        f.catalogueTitle = QStringLiteral("Col du Lautaret");
        f.openMap();
        f.clickItem(f.w->Routes->ChRoutes, 0);
        f.w->Routes->RNouvelle->click();
        QCOMPARE(f.items(f.w->Routes->ChRoutes), QStringList({"Forêt", "Col du Lautaret", "Lac"}));
        QCOMPARE(f.selected(f.w->Routes->ChRoutes), QStringLiteral("Forêt"));
        QCOMPARE(f.fileLines(f.routesPath()),
                 QStringList({"Forêt", "AA", "Col du Lautaret", "AC", "Lac", "AB"}));
        // After the last one.
        f.clickItem(f.w->Routes->ChRoutes, 2);
        f.w->Routes->RLNouvelle->setText(QStringLiteral("Aiguille"));
        f.w->Routes->RNouvelle->click();
        QCOMPARE(f.items(f.w->Routes->ChRoutes).last(), QStringLiteral("Aiguille"));
        QCOMPARE(f.fileLines(f.routesPath()).mid(6), QStringList({"Aiguille", "AD"}));
    }

    void refusedNames()
    {
        f.writeRoutes({"Forêt", "AA"});
        f.openMap();
        const QByteArray before = TestUtil::readBytes(f.routesPath());
        for (const QString &name :
             {QStringLiteral("FORÊT"), QStringLiteral("forêt"), QStringLiteral("Ab"), QString()}) {
            f.w->Routes->RLNouvelle->setText(name);
            f.w->Routes->RNouvelle->click();
        }
        QCOMPARE(f.items(f.w->Routes->ChRoutes), QStringList{"Forêt"});
        QCOMPARE(TestUtil::readBytes(f.routesPath()), before);
        QVERIFY(f.platform->errors.isEmpty());
        // Three characters are enough, blanks included, as typed.
        f.w->Routes->RLNouvelle->setText(QStringLiteral(" ab"));
        f.w->Routes->RNouvelle->click();
        QCOMPARE(f.items(f.w->Routes->ChRoutes), QStringList({" ab", "Forêt"}));
    }

    void oddRoutesFile()
    {
        TestUtil::writeBytes(f.routesPath(), QByteArray("For\xeat\rAA\nLac\r\nAB\r\nReste"));
        f.catalogueTitle = QStringLiteral("Col");
        f.openMap();
        QCOMPARE(f.items(f.w->Routes->ChRoutes), QStringList({"Forêt", "Lac"}));
        f.clickItem(f.w->Routes->ChRoutes, 1);
        f.w->Routes->RNouvelle->click();
        QCOMPARE(TestUtil::readBytes(f.routesPath()),
                 QByteArray("For\xeat\r\nAA\r\nLac\r\nAB\r\nCol\r\nAC\r\n"));
    }

    void deletingWithNothingSelectedRewritesTheFile()
    {
        TestUtil::writeBytes(f.routesPath(), QByteArray("Lac\nAB\nReste\n"));
        f.openMap();
        f.w->Routes->RSupprimer->setEnabled(true);
        f.w->Routes->RSupprimer->click();
        QCOMPARE(f.items(f.w->Routes->ChRoutes), QStringList{"Lac"});
        QCOMPARE(TestUtil::readBytes(f.routesPath()), QByteArray("Lac\r\nAB\r\n"));
    }

    void waypointsOfADeletedRoute()
    {
        f.writeRoutes({"Forêt", "AA", "Lac", "AB"});
        f.openMap();
        f.clickItem(f.w->Routes->ChRoutes, 1);
        f.w->Routes->RSupprimer->click();
        QCOMPARE(f.w->Routes->RLWaypoints->text(), QStringLiteral("Lac"));
        QVERIFY(f.w->Routes->RWaypoints->isEnabled());
        f.w->Routes->RWaypoints->click();
        QCOMPARE(f.shownPanel(), QStringLiteral("Routes"));
        QVERIFY(f.platform->errors.isEmpty());
    }

    void routeFoundWithoutRegardToCase()
    {
        f.writeRoutes({"Forêt des Landes", "AB"});
        f.writeWaypoints(QStringLiteral("AB"), records(QStringLiteral("AB"), 1));
        f.openMap();
        f.clickItem(f.w->Routes->ChRoutes, 0);
        f.w->Routes->RWaypoints->click();
        QCOMPARE(f.w->Waypoints->Label25->text(), QStringLiteral("Forêt des Landes >AB"));
        QCOMPARE(f.w->session().routeCode(), QStringLiteral("AB"));
        QCOMPARE(f.items(f.w->Waypoints->WPoints), QStringList{"AB000"});
    }

    void allCodesTaken()
    {
        QStringList lines;
        for (char a = 'A'; a <= 'Z'; ++a) {
            for (char b = 'A'; b <= 'Z'; ++b) {
                const QString code = QString(QChar(a)) + QChar(b);
                lines << QStringLiteral("Route ") + code << code;
            }
        }
        f.writeRoutes(lines);
        f.catalogueTitle = QStringLiteral("Une de trop");
        f.openMap();
        const QByteArray before = TestUtil::readBytes(f.routesPath());
        f.w->Routes->RNouvelle->click();
        QCOMPARE(f.platform->errors,
                 QStringList{QStringLiteral("Les 676 codes de route, de AA à ZZ, sont tous "
                                            "utilisés : aucune route ne peut être ajoutée.")});
        QCOMPARE(f.w->Routes->ChRoutes->list().count(), 676);
        QCOMPARE(TestUtil::readBytes(f.routesPath()), before);
    }

    void routesFileCannotBeWritten()
    {
        f.writeRoutes({"Forêt", "AA"});
        const QString path = f.routesPath();
        FileLayer::setFaultHook([path](FileLayer::Op op, const QString &target) {
            return target == path && op != FileLayer::Op::OpenRead ? EACCES : 0;
        });
        f.catalogueTitle = QStringLiteral("Lac");
        f.openMap();
        f.w->Routes->RNouvelle->click();
        QCOMPARE(f.platform->errors,
                 QStringList{QStringLiteral("Impossible de créer le fichier ") + path});
        QCOMPARE(f.fileLines(path), QStringList({"Forêt", "AA"}));
        // The list and the lines in memory keep the new route.
        QCOMPARE(f.items(f.w->Routes->ChRoutes), QStringList({"Lac", "Forêt"}));
        QCOMPARE(f.w->session().routeLines(), QStringList({"Lac", "AB", "Forêt", "AA"}));
        FileLayer::setFaultHook({});
        f.clickItem(f.w->Routes->ChRoutes, 1);
        f.w->Routes->RLNouvelle->setText(QStringLiteral("Col"));
        f.w->Routes->RNouvelle->click();
        QCOMPARE(f.fileLines(path), QStringList({"Lac", "AB", "Forêt", "AA", "Col", "AC"}));
    }

    void quit()
    {
        f.openMap();
        f.w->Routes->Button2->click();
        QVERIFY(!f.w->isVisible());
    }
};

QUOR_TEST(RoutesPanelTest)
#include "tst_routespanel.moc"
