#include "common/testmain.h"
#include "routewindow.h"

#include <QFileInfo>
#include <QPainter>
#include <QScrollBar>

#include <cerrno>

using namespace RouteWindow;

namespace {

const QString kWaypointsRoute = QStringLiteral("Forêt des Landes");

bool hasColour(const QImage &image, const QRect &area, const QColor &colour)
{
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.pixelColor(x, y) == colour)
                return true;
        }
    }
    return false;
}

} // namespace

// The waypoint panel: clicks on the map, the list, the waypoint file.
class WaypointsPanelTest : public QObject
{
    Q_OBJECT
    Fixture f;

    // A project whose second route is the one opened, so its code is AB.
    void openRoute(const QStringList &waypoints = {}, bool writeFile = true)
    {
        f.writeRoutes({"Lac", "AA", kWaypointsRoute, "AB"});
        if (writeFile)
            f.writeWaypoints(QStringLiteral("AB"), waypoints);
        f.openMap();
        f.openRoute(kWaypointsRoute);
    }

    QStringList fileLines() const { return f.fileLines(f.waypointPath(QStringLiteral("AB"))); }

    QStringList labelsOf(const QStringList &lines) const
    {
        QStringList labels;
        for (int i = 0; i + 9 < lines.size(); i += 10)
            labels << lines.at(i);
        return labels;
    }

private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void layout()
    {
        openRoute({}, false);
        QCOMPARE(f.shownPanel(), QStringLiteral("Waypoints"));
        QCOMPARE(f.w->Waypoints->Label25->text(), QStringLiteral("Forêt des Landes >AB"));
        QCOMPARE(f.w->Waypoints->Wnouveau->text(), QStringLiteral("Changer de carte"));
        QCOMPARE(f.w->Waypoints->WImprimer->text(), QStringLiteral("Imprimer"));
        QCOMPARE(f.w->Waypoints->WDessiner->text(), QStringLiteral("Redessiner"));
        QCOMPARE(f.w->Waypoints->Wsupprimer->text(), QStringLiteral("Supprimer"));
        QCOMPARE(f.w->Waypoints->WHaut->text(), QStringLiteral("Haut"));
        QCOMPARE(f.w->Waypoints->WBas->text(), QStringLiteral("Bas"));
        QCOMPARE(f.w->Waypoints->WGauche->text(), QStringLiteral("Gauch"));
        QCOMPARE(f.w->Waypoints->WDroit->text(), QStringLiteral("Droit"));
        QCOMPARE(f.w->Waypoints->Button3->text(), QStringLiteral("Quiter"));
        for (QPushButton *b :
             {f.w->Waypoints->Wsupprimer, f.w->Waypoints->WHaut, f.w->Waypoints->WBas,
              f.w->Waypoints->WGauche, f.w->Waypoints->WDroit})
            QVERIFY(!b->isEnabled());
        QCOMPARE(f.w->Waypoints->WZone->text(), QStringLiteral("31"));
        QCOMPARE(f.w->Waypoints->WLettre->text(), QStringLiteral("U"));
        QCOMPARE(f.w->Waypoints->WSysteme->text(), QStringLiteral("ED50"));
        QCOMPARE(f.w->Waypoints->width(), 233);
        QCOMPARE(f.w->Waypoints->WPoints->list().count(), 0);
        QCOMPARE(f.w->session().pendingWaypointLabel(), QStringLiteral("AB000"));
        QVERIFY(f.platform->errors.isEmpty());
    }

    void firstClickCreatesTheFile()
    {
        openRoute({}, false);
        f.w->Waypoints->WZ->setText(QStringLiteral("1250"));
        f.movePointer(30, 40);
        QCOMPARE(f.w->Waypoints->WX->text(), QStringLiteral("500060"));
        QCOMPARE(f.w->Waypoints->WY->text(), QStringLiteral("4999920"));
        f.clickMap(100, 300);
        QVERIFY(f.platform->errors.isEmpty());
        QCOMPARE(TestUtil::readBytes(f.waypointPath(QStringLiteral("AB"))),
                 QByteArray("AB000\r\n500200\r\n4999400\r\n1250\r\nmassif.jpg\r\n31\r\nU\r\n"
                            "ED50\r\n0\r\n0\r\n"));
        QCOMPARE(f.items(f.w->Waypoints->WPoints), QStringList{"AB000"});
        QCOMPARE(f.selected(f.w->Waypoints->WPoints), QStringLiteral("AB000"));
        QCOMPARE(f.w->Waypoints->WCarte->text(), QStringLiteral("massif.jpg"));
        QCOMPARE(f.w->session().pendingWaypointLabel(), QStringLiteral("AB001"));
    }

    void deletedLabelIsPendingAgain()
    {
        openRoute(records(QStringLiteral("AB"), 3));
        QCOMPARE(f.w->session().pendingWaypointLabel(), QStringLiteral("AB003"));
        f.clickWaypoint(QStringLiteral("AB001"));
        QVERIFY(f.w->Waypoints->Wsupprimer->isEnabled());
        f.w->Waypoints->Wsupprimer->click();
        QVERIFY(f.platform->errors.isEmpty());
        QCOMPARE(f.items(f.w->Waypoints->WPoints), QStringList({"AB000", "AB002"}));
        QCOMPARE(labelsOf(fileLines()), QStringList({"AB000", "AB002"}));
        QCOMPARE(fileLines().size(), 20);
        QCOMPARE(f.w->session().pendingWaypointLabel(), QStringLiteral("AB001"));
        QCOMPARE(f.selected(f.w->Waypoints->WPoints), QStringLiteral("AB002"));
        f.clickMap(500, 500);
        QCOMPARE(f.items(f.w->Waypoints->WPoints), QStringList({"AB000", "AB002", "AB001"}));
        QCOMPARE(fileLines().mid(20, 3), QStringList({"AB001", easting(500), northing(500)}));
    }

    void insertionAfterTheSelectedWaypoint()
    {
        openRoute(records(QStringLiteral("AB"), 5));
        f.clickWaypoint(QStringLiteral("AB002"));
        f.clickMap(700, 600);
        const QStringList order = {"AB000", "AB001", "AB002", "AB005", "AB003", "AB004"};
        QCOMPARE(f.items(f.w->Waypoints->WPoints), order);
        QCOMPARE(labelsOf(fileLines()), order);
        QCOMPARE(fileLines().size(), 60);
        QCOMPARE(fileLines().mid(30, 3), QStringList({"AB005", easting(700), northing(600)}));
        QCOMPARE(f.selected(f.w->Waypoints->WPoints), QStringLiteral("AB004"));
        QVERIFY(f.platform->errors.isEmpty());
    }

    void firstClickOnAnOpenedRouteGoesToTheTop()
    {
        openRoute(records(QStringLiteral("AB"), 2));
        QCOMPARE(f.selected(f.w->Waypoints->WPoints), QString());
        f.clickMap(600, 200);
        QCOMPARE(f.items(f.w->Waypoints->WPoints), QStringList({"AB002", "AB000", "AB001"}));
        QCOMPARE(labelsOf(fileLines()), QStringList({"AB002", "AB000", "AB001"}));
        f.clickMap(650, 200);
        QCOMPARE(f.items(f.w->Waypoints->WPoints),
                 QStringList({"AB002", "AB000", "AB001", "AB003"}));
        QCOMPARE(labelsOf(fileLines()), QStringList({"AB002", "AB000", "AB001", "AB003"}));
    }

    void selectionShowsTheWaypoint()
    {
        openRoute(record(QStringLiteral("AB000"), 10, 20, QStringLiteral("800")) +
                  record(QStringLiteral("AB001"), 30, 40, QStringLiteral("950")));
        f.w->Waypoints->WZ->setText(QStringLiteral("950"));
        const QByteArray before = TestUtil::readBytes(f.waypointPath(QStringLiteral("AB")));
        f.clickWaypoint(QStringLiteral("AB001"));
        QCOMPARE(f.w->Waypoints->WX->text(), easting(30));
        QCOMPARE(f.w->Waypoints->WY->text(), northing(40));
        QCOMPARE(f.w->Waypoints->WZ->text(), QStringLiteral("950"));
        QCOMPARE(f.w->Waypoints->WCarte->text(), kMapName);
        for (QPushButton *b :
             {f.w->Waypoints->Wsupprimer, f.w->Waypoints->WHaut, f.w->Waypoints->WBas,
              f.w->Waypoints->WGauche, f.w->Waypoints->WDroit})
            QVERIFY(b->isEnabled());
        QCOMPARE(TestUtil::readBytes(f.waypointPath(QStringLiteral("AB"))), before);
        // A different altitude shown is stored again.
        f.clickWaypoint(QStringLiteral("AB000"));
        QCOMPARE(f.w->Waypoints->WZ->text(), QStringLiteral("800"));
        QCOMPARE(fileLines().at(3), QStringLiteral("800"));
        QVERIFY(f.platform->errors.isEmpty());
    }

    void altitudeSavedAtEveryChange()
    {
        openRoute(records(QStringLiteral("AB"), 2));
        // Nothing selected: typing stores nothing.
        QTest::keyClicks(f.w->Waypoints->WZ, QStringLiteral("7"));
        QCOMPARE(fileLines().at(3), QString());
        f.clickWaypoint(QStringLiteral("AB001"));
        f.w->Waypoints->WZ->clear();
        QTest::keyClicks(f.w->Waypoints->WZ, QStringLiteral("12"));
        QCOMPARE(fileLines().at(13), QStringLiteral("12"));
        QTest::keyClicks(f.w->Waypoints->WZ, QStringLiteral("3x"));
        QCOMPARE(fileLines().at(13), QStringLiteral("123x"));
        QCOMPARE(fileLines().at(3), QString());
        // The altitude of a new point is what the field holds.
        f.clickMap(800, 100);
        QCOMPARE(fileLines().at(23), QStringLiteral("123x"));
    }

    void labelMoves()
    {
        openRoute(records(QStringLiteral("AB"), 1));
        f.clickWaypoint(QStringLiteral("AB000"));
        f.w->Waypoints->WHaut->click();
        f.w->Waypoints->WHaut->click();
        QCOMPARE(fileLines().at(9), QStringLiteral("-20"));
        f.w->Waypoints->WBas->click();
        QCOMPARE(fileLines().at(9), QStringLiteral("-10"));
        f.w->Waypoints->WGauche->click();
        QCOMPARE(fileLines().at(8), QStringLiteral("-10"));
        f.w->Waypoints->WDroit->click();
        f.w->Waypoints->WDroit->click();
        QCOMPARE(fileLines().at(8), QStringLiteral("10"));
        QCOMPARE(fileLines().size(), 10);
        QVERIFY(f.platform->errors.isEmpty());
    }

    void hautTwiceDrawsTheLabelTwentyPixelsHigher()
    {
        openRoute(records(QStringLiteral("AB"), 1));
        // The start's label sits 60 pixels left of and above (100, 300).
        QCOMPARE(f.pixel(40, 240), kWhite);
        QVERIFY(MapFixtures::near(f.pixel(40, 239), kPaper));
        QVERIFY(MapFixtures::near(f.pixel(39, 240), kPaper));
        f.clickWaypoint(QStringLiteral("AB000"));
        f.w->Waypoints->WHaut->click();
        f.w->Waypoints->WHaut->click();
        QCOMPARE(fileLines().at(9), QStringLiteral("-20"));
        QCOMPARE(f.pixel(40, 220), kWhite);
        QVERIFY(MapFixtures::near(f.pixel(40, 219), kPaper));
        QVERIFY(MapFixtures::near(f.pixel(39, 220), kPaper));
    }

    void routeOnTheMap()
    {
        // Pixels (100, 300) and (400, 300) at 300 dots per inch.
        openRoute(records(QStringLiteral("AB"), 1) + record(QStringLiteral("AB001"), 400, 300));
        QVERIFY(f.platform->errors.isEmpty());
        const QImage picture = f.w->session().shownImage();
        // The start: a circle of half-axes 14 in a 3-pixel red pen, white
        // inside.
        QCOMPARE(f.pixel(86, 300), kRed);
        QCOMPARE(f.pixel(100, 314), kRed);
        QCOMPARE(f.pixel(100, 286), kRed);
        QCOMPARE(f.pixel(100, 306), kWhite);
        QVERIFY(MapFixtures::near(f.pixel(100, 318), kPaper));
        QVERIFY(MapFixtures::near(f.pixel(82, 300), kPaper));
        // The second point: half-axes 7.
        QCOMPARE(f.pixel(407, 300), kRed);
        QCOMPARE(f.pixel(400, 307), kRed);
        QCOMPARE(f.pixel(400, 293), kRed);
        QCOMPARE(f.pixel(403, 303), kWhite);
        // The line between them, 3 pixels wide.
        QCOMPARE(f.pixel(250, 299), kRed);
        QCOMPARE(f.pixel(250, 300), kRed);
        QCOMPARE(f.pixel(250, 301), kRed);
        QVERIFY(MapFixtures::near(f.pixel(250, 297), kPaper));
        QVERIFY(MapFixtures::near(f.pixel(250, 303), kPaper));
        // Labels: white boxes with red text, the second 20 pixels left of
        // and above its point.
        QCOMPARE(f.pixel(380, 280), kWhite);
        QVERIFY(MapFixtures::near(f.pixel(379, 280), kPaper));
        QVERIFY(MapFixtures::near(f.pixel(380, 279), kPaper));
        QVERIFY(hasColour(picture, QRect(380, 280, 60, 30), kRed));
        QVERIFY(hasColour(picture, QRect(40, 240, 60, 30), kRed));
        // The kilometre labels drawn by "Correcte" are still there.
        QVERIFY(hasColour(picture, QRect(450, 40, 100, 30), QColor(0, 0, 255)));
    }

    void redrawStartsFromTheCleanMap()
    {
        openRoute(records(QStringLiteral("AB"), 1));
        f.clickWaypoint(QStringLiteral("AB000"));
        f.clickMap(400, 300);
        // Inserted after AB000: the new line shows.
        QCOMPARE(f.pixel(250, 300), kRed);
        f.clickWaypoint(QStringLiteral("AB001"));
        f.w->Waypoints->Wsupprimer->click();
        QVERIFY(MapFixtures::near(f.pixel(250, 300), kPaper));
        QVERIFY(MapFixtures::near(f.pixel(407, 300), kPaper));
        QCOMPARE(f.pixel(86, 300), kRed);
        f.w->Waypoints->WDessiner->click();
        QCOMPARE(f.pixel(86, 300), kRed);
        QCOMPARE(fileLines().size(), 10);
        QVERIFY(f.platform->errors.isEmpty());
    }

    void addedPointDrawsAsARedrawWould()
    {
        openRoute(records(QStringLiteral("AB"), 3));
        f.clickWaypoint(QStringLiteral("AB002"));
        f.clickMap(180, 320);
        f.clickMap(240, 280);
        const QImage added = f.w->session().shownImage();
        QCOMPARE(added.pixelColor(180, 320), kRed);
        f.w->Waypoints->WDessiner->click();
        QVERIFY(f.platform->errors.isEmpty());
        QCOMPARE(f.w->session().shownImage(), added);
    }

    void onlyTheChangedPartIsRepainted()
    {
        openRoute({}, false);
        QVERIFY(QTest::qWaitForWindowExposed(f.w.get()));
        QWidget *vp = f.w->ScrollBox1->viewport();
        vp->repaint();
        f.w->ScrollBox1->resetPaintedArea();
        f.clickMap(150, 200);
        QApplication::processEvents();
        const qint64 painted = f.w->ScrollBox1->paintedArea();
        const qint64 view = qint64(vp->width()) * vp->height();
        QVERIFY2(painted > 0, qPrintable(QString::number(painted)));
        QVERIFY2(painted * 4 < view, qPrintable(QStringLiteral("%1 of %2").arg(painted).arg(view)));
    }

    void fifteenLineFile()
    {
        openRoute(records(QStringLiteral("AB"), 1) +
                  record(QStringLiteral("AB001"), 400, 300).mid(0, 5));
        QCOMPARE(f.items(f.w->Waypoints->WPoints), QStringList{"AB000"});
        QCOMPARE(f.pixel(86, 300), kRed);
        QVERIFY(MapFixtures::near(f.pixel(407, 300), kPaper));
        // The trailing lines still hold AB001.
        QCOMPARE(f.w->session().pendingWaypointLabel(), QStringLiteral("AB002"));
        f.w->Waypoints->WDessiner->click();
        QCOMPARE(fileLines(), records(QStringLiteral("AB"), 1));
    }

    void labelsInAnotherCase()
    {
        openRoute(record(QStringLiteral("ab000"), 100, 300, QStringLiteral("640")) +
                  record(QStringLiteral("Ab001"), 400, 300));
        QCOMPARE(f.items(f.w->Waypoints->WPoints), QStringList({"ab000", "Ab001"}));
        QCOMPARE(f.w->session().pendingWaypointLabel(), QStringLiteral("AB002"));
        f.clickWaypoint(QStringLiteral("ab000"));
        QCOMPARE(f.w->Waypoints->WZ->text(), QStringLiteral("640"));
        f.w->Waypoints->WBas->click();
        QCOMPARE(fileLines().at(9), QStringLiteral("10"));
        QCOMPARE(labelsOf(fileLines()), QStringList({"ab000", "Ab001"}));
        QVERIFY(f.platform->errors.isEmpty());
    }

    void damagedNumbers_data()
    {
        QTest::addColumn<int>("line");
        QTest::newRow("easting") << 1;
        QTest::newRow("northing") << 2;
        QTest::newRow("offset") << 9;
    }

    void damagedNumbers()
    {
        QFETCH(int, line);
        QStringList second = record(QStringLiteral("AB001"), 400, 300);
        second[line] = QStringLiteral("4OO");
        openRoute(records(QStringLiteral("AB"), 1) + second);
        const QString message = QStringLiteral("'4OO' n'est pas une valeur entière correcte");
        QCOMPARE(f.platform->errors, QStringList{message});
        // The start is drawn, the damaged waypoint not.
        QCOMPARE(f.pixel(86, 300), kRed);
        QVERIFY(MapFixtures::near(f.pixel(250, 300), kPaper));
        QCOMPARE(f.items(f.w->Waypoints->WPoints), QStringList({"AB000", "AB001"}));
        f.platform->errors.clear();
        f.clickWaypoint(QStringLiteral("AB001"));
        const QByteArray before = TestUtil::readBytes(f.waypointPath(QStringLiteral("AB")));
        f.w->Waypoints->WHaut->click();
        QCOMPARE(f.platform->errors, QStringList{message});
        if (line == 9) {
            // The label does not move and the file stays as it was.
            QCOMPARE(TestUtil::readBytes(f.waypointPath(QStringLiteral("AB"))), before);
        }
    }

    void readOnlyWaypointFile()
    {
        openRoute(records(QStringLiteral("AB"), 1));
        const QString path = f.waypointPath(QStringLiteral("AB"));
        const QByteArray before = TestUtil::readBytes(path);
        FileLayer::setFaultHook([path](FileLayer::Op op, const QString &target) {
            return target == path && op != FileLayer::Op::OpenRead ? EACCES : 0;
        });
        f.clickWaypoint(QStringLiteral("AB000"));
        f.clickMap(400, 300);
        QCOMPARE(f.platform->errors,
                 QStringList{QStringLiteral("Impossible de créer le fichier ") + path});
        QCOMPARE(TestUtil::readBytes(path), before);
        // Memory holds the new waypoint.
        QCOMPARE(f.items(f.w->Waypoints->WPoints), QStringList({"AB000", "AB001"}));
        QCOMPARE(f.w->session().waypointLines().size(), 20);
        QCOMPARE(f.w->session().waypointLines().at(10), QStringLiteral("AB001"));
        // A second click while the file is still refused adds a new label,
        // never a second copy of AB001.
        f.platform->errors.clear();
        f.clickMap(500, 300);
        QCOMPARE(f.items(f.w->Waypoints->WPoints), QStringList({"AB000", "AB002", "AB001"}));
        QCOMPARE(labelsOf(f.w->session().waypointLines()),
                 QStringList({"AB000", "AB002", "AB001"}));
        // The next save that succeeds writes it all.
        FileLayer::setFaultHook({});
        f.w->Waypoints->WDessiner->click();
        QCOMPARE(labelsOf(fileLines()), QStringList({"AB000", "AB002", "AB001"}));
        QCOMPARE(fileLines().mid(20, 3), QStringList({"AB001", easting(400), northing(300)}));
    }

    void allLabelsInUse()
    {
        openRoute(records(QStringLiteral("AB"), 1000));
        QCOMPARE(f.w->Waypoints->WPoints->list().count(), 1000);
        const QByteArray before = TestUtil::readBytes(f.waypointPath(QStringLiteral("AB")));
        f.platform->errors.clear();
        f.clickMap(400, 400);
        QCOMPARE(f.platform->errors,
                 QStringList{QStringLiteral("Les 1000 étiquettes de la route, de AB000 à AB999, "
                                            "sont toutes utilisées : aucun point ne peut être "
                                            "ajouté.")});
        QCOMPARE(f.w->Waypoints->WPoints->list().count(), 1000);
        QCOMPARE(TestUtil::readBytes(f.waypointPath(QStringLiteral("AB"))), before);
    }

    void changeOfMap()
    {
        openRoute(records(QStringLiteral("AB"), 1));
        f.w->Waypoints->Wnouveau->click();
        QCOMPARE(f.platform->dialogs.size(), 1);
        QCOMPARE(f.platform->dialogs.at(0).directory, f.state->programDirectory + kProject);
        QCOMPARE(f.platform->dialogs.at(0).filter,
                 QStringLiteral("Cartes JPEG|*.jpg;*.jpeg;*.jpe;*.jfif"));
        QCOMPARE(f.shownPanel(), QStringLiteral("Waypoints"));

        const QString other = f.writeMap(QStringLiteral("voisine.jpg"), Fixture::paperParams());
        f.platform->openFileAnswers.append(other);
        f.w->Waypoints->Wnouveau->click();
        QCOMPARE(f.w->windowTitle(), other);
        QCOMPARE(f.shownPanel(), QStringLiteral("Calibra"));
        QCOMPARE(f.items(f.w->Routes->ChRoutes), QStringList({"Lac", kWaypointsRoute}));
        QVERIFY(f.platform->errors.isEmpty());
        // The route's waypoints stay in their file.
        QCOMPARE(fileLines(), records(QStringLiteral("AB"), 1));
    }

    void newWaypointTakesTheMapName()
    {
        openRoute({}, false);
        f.w->Waypoints->WCarte->setText(QStringLiteral("autre.jpg"));
        f.clickMap(10, 10);
        QCOMPARE(f.w->Waypoints->WCarte->text(), kMapName);
        QCOMPARE(fileLines().at(4), kMapName);
    }

    void quit()
    {
        openRoute({}, false);
        f.w->Waypoints->Button3->click();
        QVERIFY(!f.w->isVisible());
    }
};

QUOR_TEST(WaypointsPanelTest)
#include "tst_waypoints.moc"
