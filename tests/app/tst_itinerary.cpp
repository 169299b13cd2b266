#include "app/quorapp.h"
#include "app/tquor.h"
#include "app/tquorpro.h"
#include "common/testmain.h"
#include "common/testutil.h"
#include "data/catalogue.h"
#include "data/countedstring.h"
#include "data/itinerary.h"
#include "editor/gridmodel.h"
#include "editor/gridview.h"
#include "editor/profilewindow.h"
#include "gps/tquorrte.h"
#include "maps/tquorpla.h"
#include "platform/fakeplatform.h"
#include "speeds/tquorcar.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace TestUtil;

namespace {

enum { Place = 0, Means, Orientation, Position, Altitude, Distance, Time };

struct Window
{
    QTemporaryDir dir;
    FakePlatform platform;
    std::unique_ptr<QuorApp> app;

    Window()
    {
        QDir(dir.path()).mkdir("Alpes");
        writeBytes(dir.path() + "/Alpes/Quord.qud", QByteArray(4400, '\0'));
        writeBytes(dir.path() + "/Quori.qud", "[Projet]\r\nNom=Alpes\r\n");
        app = std::make_unique<QuorApp>(platform, dir.path());
    }
    TQuor &main() { return *app->main; }
    StringGrid &stages() { return main().stageGrid(); }
    StringGrid &catalogue() { return main().catalogueGrid(); }
    QString file(const QString &name) { return dir.path() + "/Alpes/" + name; }

    // Clicks a cell of the stage grid as the user does.
    void clickStage(int column, int row)
    {
        GridView *view = main().liste_eta;
        const QModelIndex index = view->model()->index(row - 1, column);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    }
};

// Types as the user does: the first key opens the cell's editor, which takes
// the keys that follow.
void typeKeys(QWidget *view, const QString &text)
{
    for (QChar c : text) {
        QWidget *target = view;
        for (QLineEdit *editor : view->findChildren<QLineEdit *>()) {
            if (editor->isVisible())
                target = editor;
        }
        QTest::keyClick(target, c.toLatin1());
    }
}

} // namespace

// The itinerary view, its time computation and the catalogue commands.
class ItineraryViewTest : public QObject
{
    Q_OBJECT
private slots:
    void openingAndClosingTheView()
    {
        Window w;
        w.main().show();
        w.catalogue().setCell(1, 4, QStringLiteral("Le Noir"));
        w.catalogue().moveTo(0, 4);
        w.main().Itinraire1->trigger();

        QCOMPARE(w.app->state.viewMode, ViewMode::Itinerary);
        QCOMPARE(readBytes(w.file("quor4.qud")).size(), 4800);
        QCOMPARE(w.stages().cell(Place, 0), QStringLiteral("LIEU"));
        QCOMPARE(w.main().liste_eta->model()->headerData(6, Qt::Horizontal).toString(),
                 QStringLiteral("Heure"));
        QCOMPARE(w.main().liste_iti->height(), 29);
        QVERIFY(!w.main().liste_iti->isEnabled());
        QVERIFY(w.main().liste_eta->isVisible());
        QCOMPARE(w.catalogue().col(), 1);
        QCOMPARE(w.main().liste_iti->rowAt(0), 4);
        QCOMPARE(w.stages().col(), 0);
        QCOMPARE(w.stages().row(), 1);
        QCOMPARE(w.main().Voyages1->title(), QStringLiteral("I&tinéraire"));
        QCOMPARE(w.main().Itinraire1->text(), QStringLiteral("Ca&talogue"));
        QVERIFY(w.main().Routes1->isEnabled());
        QVERIFY(w.main().Gps1->isEnabled());
        QVERIFY(w.main().ExporterGpx1->isEnabled());
        QVERIFY(w.main().ImPrimmer1->isEnabled());
        QVERIFY(w.main().Profil1->isEnabled());
        QVERIFY(!w.main().Ouvrir1->isEnabled());
        QVERIFY(!w.main().Nouveau1->isEnabled());
        QVERIFY(!w.app->pro->ButCreer->isEnabled());
        QVERIFY(w.main().Enregistrer1->isEnabled());

        w.stages().setCell(Place, 1, "Col");
        w.platform.confirmAnswers << false;
        w.main().Itinraire1->trigger();
        QCOMPARE(w.platform.questions.last(), QStringLiteral("Mémorisation de l'itinéraire ?"));
        QCOMPARE(readBytes(w.file("quor4.qud")), QByteArray(4800, '\0'));
        QCOMPARE(w.app->state.viewMode, ViewMode::Catalogue);
        QVERIFY(w.main().liste_iti->isEnabled());
        QVERIFY(!w.main().liste_eta->isVisible());
        QCOMPARE(w.main().Voyages1->title(), QStringLiteral("Ca&talogue"));
        QCOMPARE(w.main().Itinraire1->text(), QStringLiteral("I&tinéraire"));
        QVERIFY(!w.main().Routes1->isEnabled());
        QVERIFY(!w.main().Profil1->isEnabled());
        QVERIFY(w.main().Ouvrir1->isEnabled());
        QVERIFY(w.app->pro->ButCreer->isEnabled());
        QTRY_VERIFY(w.main().liste_iti->height() > 29);
    }

    // "Pro&fil", right after "Im&primer", shows the profile of the open
    // itinerary as it stands; too few altitudes give a message instead.
    void profileOfTheOpenItinerary()
    {
        Window w;
        w.main().show();
        w.catalogue().setCell(1, 0, "Tour du lac");
        w.main().Itinraire1->trigger();
        const QList<QAction *> items = w.main().Voyages1->actions();
        QCOMPARE(items.indexOf(w.main().Profil1), items.indexOf(w.main().ImPrimmer1) + 1);
        QCOMPARE(w.main().Profil1->text(), QStringLiteral("Pro&fil"));
        StringGrid &g = w.stages();
        g.setCell(Place, 1, "Départ");
        g.setCell(Means, 1, "MP");
        g.setCell(Altitude, 1, "1000");
        g.setCell(Distance, 1, "2000");
        g.setCell(Place, 2, "Col");
        w.main().Profil1->trigger();
        QCOMPARE(w.platform.errors,
                 QStringList{"Le profil demande au moins deux étapes avec une altitude."});
        QVERIFY(!w.main().profileWindow());

        g.setCell(Altitude, 2, "1400");
        w.main().Profil1->trigger();
        QCOMPARE(w.platform.errors.size(), 1);
        ProfileWindow *profile = w.main().profileWindow();
        QVERIFY(profile && profile->isVisible());
        QCOMPARE(profile->windowTitle(), QStringLiteral("Profil - Tour du lac"));
        QCOMPARE(profile->points().size(), 2);
        QCOMPARE(profile->points().last().distance, 2000);
        // It follows the grid while open, and "Imprimer" reads it again: the
        // climb of the walking leg is the route sheet's, 1600 - 1000 m.
        QCOMPARE(profile->header().totals.climb, 400);
        g.setCell(Altitude, 2, "1600");
        QCOMPARE(profile->points().last().altitude, 1600);
        QCOMPARE(profile->header().totals.climb, 600);
        profile->setProfile({}, {});
        w.platform.printAnswers = {false};
        profile->Imprimer->click();
        QCOMPARE(profile->points().size(), 2);
        QCOMPARE(profile->header().totals.climb, 600);
        // The dialog proposes a file named after the profile, not "print.pdf".
        QCOMPARE(w.platform.printersShown.last().docName, QStringLiteral("Profil de Tour du lac"));
        QCOMPARE(w.platform.printersShown.last().orientation, QPageLayout::Landscape);
        // A cell being typed that does not read leaves the page as it was;
        // printing says why.
        g.setCell(Altitude, 2, "16x");
        QCOMPARE(profile->header().totals.climb, 600);
        QCOMPARE(w.platform.errors.size(), 1);
        profile->Imprimer->click();
        QCOMPARE(w.platform.errors.last(),
                 QStringLiteral("'16x' n'est pas une valeur entière correcte"));
        g.setCell(Altitude, 2, "1400");

        // The window resizes, its page with it.
        profile->resize(500, 400);
        profile->resize(1200, 700);
        QVERIFY(profile->view->width() > 1000);

        // Its itinerary closed, the profile goes too.
        w.platform.confirmAnswers << false;
        w.main().Itinraire1->trigger();
        QVERIFY(!profile->isVisible());
    }

    void workedExampleInTheWindow()
    {
        Window w;
        w.main().show();
        w.catalogue().setCell(3, 0, "08:00");
        w.main().Itinraire1->trigger();
        StringGrid &g = w.stages();
        g.setCell(Place, 1, "Départ");
        g.setCell(Means, 1, "MP");
        g.setCell(Distance, 1, "2000");
        g.setCell(Altitude, 1, "1000");
        g.setCell(Altitude, 2, "1000");
        g.setCell(Means, 2, "M ");
        g.setCell(Distance, 2, "1000");
        g.setCell(Altitude, 3, "1300");
        g.setCell(Means, 3, "PR");
        g.setCell(Means, 4, "VA");
        g.setCell(Distance, 4, "100");

        // The first opening shows the times of the file; a click computes.
        QCOMPARE(g.cell(Time, 5), QString());
        w.clickStage(Altitude, 3);
        QCOMPARE(g.col(), Altitude);
        QCOMPARE(g.row(), 3);
        QCOMPARE(g.cell(Time, 2), QStringLiteral("08:30"));
        QCOMPARE(g.cell(Time, 3), QStringLiteral("09:30"));
        QCOMPARE(g.cell(Time, 4), QStringLiteral("10:30"));
        QCOMPARE(g.cell(Time, 5), QStringLiteral("11:30"));
        QCOMPARE(g.cell(Means, 2), QStringLiteral("MM"));
        QCOMPARE(w.catalogue().cell(4, 0), QStringLiteral("11:30"));

        // Saving on the way back writes both files.
        w.platform.confirmAnswers << true;
        w.main().Itinraire1->trigger();
        const QByteArray stages = readBytes(w.file("quor0.qud"));
        QCOMPARE(stages.mid(96 + 41, 3), QByteArray("\x02MM"));
        QCOMPARE(LittleEndian::readDouble(readBytes(w.file("Quord.qud")), 80), 11.5 / 24);
    }

    void theFirstOpeningShowsTheFileAsStored()
    {
        Window w;
        w.main().show();
        StringGrid stored(Itinerary::kColumns, Itinerary::kGridRows);
        stored.setCell(Place, 1, "Col");
        stored.setCell(Time, 1, "08:00");
        stored.setCell(Time, 2, "12:00");
        stored.setCell(Means, 4, "M ");
        stored.setCell(Distance, 4, "2000");
        const QByteArray bytes = Itinerary::blockFromGrid(stored, QByteArray(4800, '\0'));
        writeBytes(w.file("quor0.qud"), bytes);
        w.catalogue().setCell(3, 0, "07:00");
        w.catalogue().setCell(4, 0, "13:00");

        w.main().Itinraire1->trigger();
        StringGrid &g = w.stages();
        QCOMPARE(g.cell(Time, 1), QStringLiteral("08:00"));
        QCOMPARE(g.cell(Time, 2), QStringLiteral("12:00"));
        QCOMPARE(g.cell(Time, 5), QString());
        QCOMPARE(g.cell(Means, 4), QStringLiteral("M "));
        QCOMPARE(w.catalogue().cell(4, 0), QStringLiteral("13:00"));
        QCOMPARE(readBytes(w.file("quor0.qud")), bytes);

        w.clickStage(Place, 3);
        QCOMPARE(g.cell(Time, 1), QStringLiteral("07:00"));
        QCOMPARE(g.cell(Time, 2), QString());
        QCOMPARE(g.cell(Means, 4), QStringLiteral("MP"));
        QCOMPARE(g.cell(Time, 5), QStringLiteral("07:30"));
        QCOMPARE(w.catalogue().cell(4, 0), QStringLiteral("07:30"));

        // A later opening finds the cursor elsewhere and computes as it moves.
        w.platform.confirmAnswers << false;
        w.main().Itinraire1->trigger();
        w.main().Itinraire1->trigger();
        QCOMPARE(g.cell(Time, 2), QString());
        QCOMPARE(g.cell(Time, 5), QStringLiteral("07:30"));
        QVERIFY(w.platform.errors.isEmpty());
    }

    void theStageGridHasTheSystemLook()
    {
        Window w;
        w.main().show();
        w.main().Itinraire1->trigger();
        GridView *stages = w.main().liste_eta;
        GridView *catalogue = w.main().liste_iti;
        const QPalette system = QApplication::palette();
        for (auto role : {QPalette::Base, QPalette::Window, QPalette::Text, QPalette::Button})
            QCOMPARE(stages->palette().color(role), system.color(role));
        QCOMPARE(stages->palette().color(QPalette::Base), QColor(Qt::white));
        QCOMPARE(catalogue->palette().color(QPalette::Base), QColor(0, 255, 0));
        QCOMPARE(catalogue->palette().color(QPalette::Text), QColor(255, 0, 0));
        QCOMPARE(stages->font().family(), QStringLiteral("Arial"));
        QCOMPARE(stages->font().pixelSize(), 15);
        QCOMPARE(stages->model()->columnCount(), 7);
        QVERIFY(!stages->verticalHeader()->isVisible());
        QVERIFY(stages->horizontalHeader()->isVisible());

        // Rows are resized by dragging their lower line in the place column.
        const int before = stages->rowHeight(1);
        const QRect cell = stages->visualRect(stages->model()->index(1, Place));
        const QPoint line(cell.center().x(), stages->rowViewportPosition(1) + before);
        QTest::mousePress(stages->viewport(), Qt::LeftButton, {}, line);
        QTest::mouseMove(stages->viewport(), line + QPoint(0, 15));
        QTest::mouseRelease(stages->viewport(), Qt::LeftButton, {}, line + QPoint(0, 15));
        QCOMPARE(stages->rowHeight(1), before + 15);
        QCOMPARE(w.stages().row(), 1);
        // Elsewhere the same press selects a cell.
        const QRect other = stages->visualRect(stages->model()->index(1, Distance));
        QTest::mouseClick(stages->viewport(), Qt::LeftButton, {},
                          QPoint(other.center().x(), other.bottom() + 1));
        QCOMPARE(stages->rowHeight(1), before + 15);
        QCOMPARE(w.stages().col(), Distance);
    }

    void aFailingComputationKeepsTheCursor()
    {
        Window w;
        w.main().show();
        w.main().Itinraire1->trigger();
        StringGrid &g = w.stages();
        g.setCell(Means, 1, "VA");
        g.setCell(Distance, 1, "1 0");
        w.clickStage(Place, 5);
        QCOMPARE(w.platform.errors, QStringList{"'1 0' n'est pas une valeur entière correcte"});
        QCOMPARE(g.row(), 1);
        QCOMPARE(g.col(), 0);
        QTest::qWait(0);
        QCOMPARE(w.main().liste_eta->currentIndex().row(), 0);
        QCOMPARE(w.main().liste_eta->currentIndex().column(), 0);
    }

    void typingGoesThroughTheMasks()
    {
        Window w;
        w.main().show();
        w.main().Itinraire1->trigger();
        GridView *view = w.main().liste_eta;
        view->setFocus();
        w.stages().moveTo(Means, 1);
        typeKeys(view, "mpx");
        QCOMPARE(w.stages().cell(Means, 1), QStringLiteral("MP"));
        QTest::keyClick(view->focusWidget(), Qt::Key_Tab);
        QCOMPARE(w.stages().col(), Orientation);
        typeKeys(view, "12a3");
        QCOMPARE(w.stages().cell(Orientation, 1), QStringLiteral("123"));
        w.stages().moveTo(Time, 1);
        typeKeys(view, "0830");
        QCOMPARE(w.stages().cell(Time, 1), QStringLiteral("08:30"));
    }

    void saveAndRowCommandsInTheItineraryView()
    {
        Window w;
        w.main().show();
        w.main().Itinraire1->trigger();
        StringGrid &g = w.stages();
        for (int r = 1; r <= 6; ++r)
            g.setCell(Place, r, QStringLiteral("S%1").arg(r));
        g.moveTo(Place, 4);
        w.main().Inserer1->trigger();
        QCOMPARE(g.cell(Place, 4), QStringLiteral("S4"));
        QCOMPARE(g.cell(Place, 5), QStringLiteral("S4"));
        w.main().Supprimer1->trigger();
        QCOMPARE(g.cell(Place, 4), QStringLiteral("S4"));
        QCOMPARE(g.cell(Place, 5), QStringLiteral("S5"));
        QVERIFY(w.platform.questions.isEmpty());
        w.main().Enregistrer1->trigger();
        QVERIFY(w.platform.questions.isEmpty());
        QCOMPARE(readBytes(w.file("quor0.qud")).mid(96 * 3, 3), QByteArray("\x02S4"));
    }

    void catalogueCommandsAsk()
    {
        Window w;
        w.catalogue().setCell(1, 0, "Le Noir");
        w.platform.confirmAnswers << false;
        w.main().Enregistrer1->trigger();
        QCOMPARE(w.platform.questions.last(), QStringLiteral("Mémorisation du catalogue ?"));
        QCOMPARE(readBytes(w.file("Quord.qud")), QByteArray(4400, '\0'));
        w.platform.confirmAnswers << true;
        w.main().Enregistrer1->trigger();
        QCOMPARE(readBytes(w.file("Quord.qud")).mid(16, 8), QByteArray("\x07Le Noir"));

        writeBytes(w.file("quor0.qud"), "x");
        w.platform.confirmAnswers << false;
        w.main().Supprimer1->trigger();
        QCOMPARE(w.platform.questions.last(),
                 QStringLiteral("Voulez-vous réellement supprimer la ligne :\r\rLe Noir"));
        QCOMPARE(w.catalogue().cell(1, 0), QStringLiteral("Le Noir"));
        QVERIFY(QFile::exists(w.file("quor0.qud")));
        w.platform.confirmAnswers << true;
        w.main().Supprimer1->trigger();
        QCOMPARE(w.catalogue().cell(1, 0), QString());
        QVERIFY(!QFile::exists(w.file("quor0.qud")));

        w.catalogue().setCell(1, 0, "A");
        w.main().Inserer1->trigger();
        QCOMPARE(w.catalogue().cell(1, 1), QStringLiteral("A"));
        QCOMPARE(readBytes(w.file("Quord.qud")).mid(88 + 16, 2), QByteArray("\x01"
                                                                            "A"));
    }

    void mapAndRouteCommands()
    {
        Window w;
        w.main().show();
        w.main().Cartes1->trigger();
        QCOMPARE(w.platform.dialogs.last().directory, w.dir.path() + "/Alpes");
        QCOMPARE(w.platform.dialogs.last().filter, QStringLiteral("Fichier Carte |*.JPG"));
        QVERIFY(!w.app->pla()->isVisible());

        w.main().Itinraire1->trigger();
        w.stages().moveTo(Place, 7);
        w.main().Routes1->trigger();
        QCOMPARE(w.app->rte()->windowTitle(),
                 QStringLiteral("Insère une route à partir de la ligne 7"));
        w.app->rte()->hide();
        w.main().Gps1->trigger();
        QVERIFY(w.app->rte()->windowTitle().startsWith(
            QStringLiteral("Crée un fichier GPS de la route")));
    }

    void catalogueMasks()
    {
        QCOMPARE(TQuor::liste_itiGetEditMask(2), QStringLiteral("!90/90/90"));
        QCOMPARE(TQuor::liste_itiGetEditMask(3), QStringLiteral("90:90"));
        QCOMPARE(TQuor::liste_itiGetEditMask(4), QStringLiteral("90:90"));
        QCOMPARE(TQuor::liste_itiGetEditMask(0), QString());
        QCOMPARE(TQuor::liste_etaGetEditMask(1), QStringLiteral(">Cc"));
        QCOMPARE(TQuor::liste_etaGetEditMask(5), QStringLiteral("999999;0"));
        QCOMPARE(TQuor::liste_etaGetEditMask(6), QStringLiteral("!90:00!"));
        QCOMPARE(TQuor::liste_etaGetEditMask(3), QString());

        Window w;
        w.main().show();
        GridView *view = w.main().liste_iti;
        view->setFocus();
        w.catalogue().moveTo(2, 0);
        typeKeys(view, "7/3/2005x");
        QCOMPARE(w.catalogue().cell(2, 0), QStringLiteral("7/3/2005"));
        w.catalogue().moveTo(3, 0);
        typeKeys(view, "830");
        QCOMPARE(w.catalogue().cell(3, 0), QStringLiteral("83:0"));
    }
};
QUOR_TEST(ItineraryViewTest)

// The speed-table dialog.
class SpeedDialogTest : public QObject
{
    Q_OBJECT
private slots:
    void walkingGroup()
    {
        Window w;
        TQuorcar &car = *w.app->car();
        w.main().Marches1->trigger();
        car.FormActivate();
        QCOMPARE(car.windowTitle(), QStringLiteral("Caractéristiques des temps de Marche"));
        QCOMPARE(car.Label4->text(), QStringLiteral("Dénivelées en m/h"));
        QCOMPARE(car.Label1->text(), QStringLiteral("Monté"));
        QCOMPARE(car.Label2->text(), QStringLiteral("Plat"));
        QCOMPARE(car.Label3->text(), QStringLiteral("Descente"));
        QCOMPARE(car.MaskEdit1->text(), QStringLiteral("300"));
        QCOMPARE(car.MaskEdit2->text(), QStringLiteral("4000"));
        QCOMPARE(car.MaskEdit3->text(), QStringLiteral("500"));
        QVERIFY(!car.Memoriser->isEnabled());
        QCOMPARE(car.size(), QSize(413, 269));
        QCOMPARE(car.MaskEdit2->geometry(), QRect(264, 152, 121, 30));

        car.MaskEdit2->clear();
        QVERIFY(!car.Memoriser->isEnabled());
        car.MaskEdit2->setFocus();
        QTest::keyClicks(car.MaskEdit2, "3000x9");
        QCOMPARE(car.MaskEdit2->text(), QStringLiteral("30009"));
        car.MaskEdit2->setText("3000");
        QVERIFY(car.Memoriser->isEnabled());
        QTest::keyClicks(car.MaskEdit1, "9999");
        QCOMPARE(car.MaskEdit1->text().size(), 3);
        car.MaskEdit1->setText("300");

        const QByteArray before = readBytes(w.dir.path() + "/Quorc.qud");
        car.Memoriser->click();
        QVERIFY(!car.isVisible());
        const QByteArray after = readBytes(w.dir.path() + "/Quorc.qud");
        QCOMPARE(LittleEndian::readInt32(after, 10 * 20 + 16), 3000);
        QCOMPARE(after.left(216), before.left(216));
        QCOMPARE(after.mid(220), before.mid(220));

        // The next move of the cursor computes with 3000 m/h.
        w.main().show();
        w.main().Itinraire1->trigger();
        w.stages().setCell(Means, 1, "MP");
        w.stages().setCell(Distance, 1, "3000");
        w.stages().setCell(Time, 1, "08:00");
        w.stages().moveTo(Place, 2);
        QCOMPARE(w.stages().cell(Time, 2), QStringLiteral("09:00"));
    }

    void stopsGroupAndDroppedValues()
    {
        Window w;
        TQuorcar &car = *w.app->car();
        w.main().Poses1->trigger();
        car.FormActivate();
        QCOMPARE(car.windowTitle(), QStringLiteral("Personnalisation des temps de Poses"));
        QCOMPARE(car.Label4->text(), QStringLiteral("Temps en minutes"));
        QCOMPARE(car.Label1->text(), QStringLiteral("Arrêt"));
        QCOMPARE(car.MaskEdit3->text(), QStringLiteral("60"));
        car.MaskEdit3->setText("90");
        car.FormActivate(); // back from the main window
        QCOMPARE(car.MaskEdit3->text(), QStringLiteral("60"));
        car.MaskEdit3->setText("90");
        car.close();
        QCOMPARE(w.app->state.speedTable.value(14), 60);

        for (auto [action, title] :
             {std::pair{w.main().Voiture1, "Caractéristiques pour Voiture sur Routes de plaine"},
              std::pair{w.main().Transfert1,
                        "Caractéristiques pour Voiture sur routes de montagne"},
              std::pair{w.main().Velo1, "Caractéristiques pour vélo"}}) {
            action->trigger();
            QCOMPARE(car.windowTitle(), QString::fromUtf8(title));
            QCOMPARE(car.Label4->text(), QStringLiteral("Vitesses en Km/h"));
        }
    }

    void aFieldWithAGapStopsMidway()
    {
        Window w;
        TQuorcar &car = *w.app->car();
        w.main().Voiture1->trigger();
        car.FormActivate();
        const QByteArray before = readBytes(w.dir.path() + "/Quorc.qud");
        car.MaskEdit1->setText("90");
        car.MaskEdit2->setText("6 5");
        car.Memoriser->click();
        QCOMPARE(w.platform.errors, QStringList{"'6 5' n'est pas une valeur entière correcte"});
        QCOMPARE(w.app->state.speedTable.value(0), 90);
        QCOMPARE(w.app->state.speedTable.value(1), 70);
        QVERIFY(car.isVisible());
        QCOMPARE(readBytes(w.dir.path() + "/Quorc.qud"), before);
    }
};
QUOR_TEST(SpeedDialogTest)

#include "tst_itinerary.moc"
