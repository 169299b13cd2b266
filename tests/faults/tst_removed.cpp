#include "common/testmain.h"
#include "faultfixture.h"

#include <QTest>

using namespace Faults;
using TestUtil::readBytes;

// The project folder removed (by another program, or a removable disk taken
// out) while the program runs: every save into it fails with the runtime's
// path message and nothing is made again in its place; the files outside it
// stay byte for byte as they were.
class RemovedProjectTest : public QObject
{
    Q_OBJECT
private slots:
    void catalogueCommands()
    {
        Program p;
        p.start();
        QVERIFY(QDir(p.projectDir()).removeRecursively());
        const auto before = p.files();

        p.catalogue().setCell(Catalogue::Title, 0, QStringLiteral("Changé"));
        p.platform.confirmAnswers = {true};
        p.main().Enregistrer1->trigger();
        p.catalogue().moveTo(Catalogue::Code, 1);
        p.platform.confirmAnswers = {true};
        p.main().Supprimer1->trigger();
        p.main().Inserer1->trigger();
        p.openItinerary(2);
        QCOMPARE(p.platform.errors, QStringList(4, QStringLiteral("Nom de fichier incorrect")));
        // The grid is as the user left it; no row moved.
        QCOMPARE(p.catalogue().cell(Catalogue::Title, 0), QStringLiteral("Changé"));
        QCOMPARE(p.catalogue().cell(Catalogue::Code, 1), QStringLiteral("LAC"));
        QCOMPARE(p.app->state.viewMode, ViewMode::Catalogue);
        QCOMPARE(differences(before, p.files()), QString());
    }

    void openItineraryKeepsItsEdits()
    {
        Program p;
        p.start();
        p.openItinerary(0);
        QCOMPARE(p.app->state.viewMode, ViewMode::Itinerary);
        p.stages().setCell(Itinerary::Place, 3, QStringLiteral("Sommet"));
        QVERIFY(QDir(p.projectDir()).removeRecursively());
        const auto before = p.files();

        p.main().Enregistrer1->trigger();
        p.platform.confirmAnswers = {true};
        p.main().Itinraire1->trigger();
        QCOMPARE(p.platform.errors, QStringList(2, QStringLiteral("Nom de fichier incorrect")));
        // The view stays open with the edit, to be saved once the folder is back.
        QCOMPARE(p.app->state.viewMode, ViewMode::Itinerary);
        QCOMPARE(p.stages().cell(Itinerary::Place, 3), QStringLiteral("Sommet"));
        QCOMPARE(differences(before, p.files()), QString());

        QVERIFY(QDir(p.root()).mkdir(kProject));
        p.main().Enregistrer1->trigger();
        QCOMPARE(p.platform.errors.size(), 2);
        QCOMPARE(readBytes(p.projectFile(QStringLiteral("quor0.qud"))).size(),
                 Itinerary::kBlockSize);
    }

    void mapSideFiles()
    {
        Program p;
        p.start();
        // The map and its calibration are elsewhere; the project's route files go.
        const QString map = p.programFile(kMapName);
        QVERIFY(QFile::copy(p.mapPath(), map));
        QVERIFY(QFile::copy(calibrationFileName(p.mapPath()), calibrationFileName(map)));
        p.showMap(map);
        QVERIFY(p.platform.errors.isEmpty());
        QVERIFY(QDir(p.projectDir()).removeRecursively());
        const auto before = p.files();

        const QString target = p.projectFile(QStringLiteral("Forêt.TXT"));
        p.exportRoute(target);
        // Without its routes file the route dialog has nothing to export.
        QVERIFY(p.platform.errors.isEmpty());
        QVERIFY(p.platform.dialogs.isEmpty());
        QCOMPARE(differences(before, p.files()), QString());
    }

    void speedTableRemoved()
    {
        Program p;
        p.start();
        QVERIFY(QFile::remove(p.programFile(QStringLiteral("Quorc.qud"))));
        const auto before = p.files();
        p.changeWalkingSpeeds();
        QCOMPARE(p.platform.errors, QStringList{QStringLiteral("Fichier introuvable")});
        QCOMPARE(differences(before, p.files()), QString());
        // The change stays in memory.
        QCOMPARE(p.app->state.speedTable.value(SpeedTable::entryOf(4, 2)), 4200);
    }

    void quitAfterwardsStillWritesTheSettings()
    {
        Program p;
        p.start();
        QVERIFY(QDir(p.projectDir()).removeRecursively());
        p.main().Quitter2->trigger();
        QVERIFY(p.platform.errors.isEmpty());
        // Written again as it was: the project's name, and every other line.
        QCOMPARE(readBytes(p.programFile(QStringLiteral("Quori.qud"))), kSettings);
        // The next start forgets the project that is gone, without a word.
        FakePlatform platform;
        QuorApp again(platform, p.root());
        QCOMPARE(again.main->windowTitle(), QStringLiteral("Editeur de route pour "));
        QVERIFY(platform.errors.isEmpty());
    }
};

QUOR_TEST(RemovedProjectTest)
#include "tst_removed.moc"
