#include "common/testmain.h"
#include "data/quorerror.h"
#include "faultfixture.h"

#include <QTest>

using namespace Faults;
using TestUtil::readBytes;

// Read-only files and folders: every save into them is refused with the
// runtime's message, and no file that was saved before changes by a byte.
class ReadOnlyTest : public QObject
{
    Q_OBJECT
private slots:
    void speedTableAtStartUp()
    {
        Program p;
        const auto before = p.files();
        {
            Fault fault(readOnlyFile(p.programFile(QStringLiteral("Quorc.qud"))));
            p.start();
        }
        QCOMPARE(p.platform.errors, QStringList{QStringLiteral("Accès au fichier refusé")});
        QCOMPARE(differences(before, p.files()), QString());
        // The program goes on, with its project open.
        QCOMPARE(p.catalogue().cell(Catalogue::Code, 0), QStringLiteral("COL"));
    }

    void speedTableSave()
    {
        Program p;
        p.start();
        const auto before = p.files();
        {
            Fault fault(readOnlyFile(p.programFile(QStringLiteral("Quorc.qud"))));
            p.changeWalkingSpeeds();
        }
        QCOMPARE(p.platform.errors, QStringList{QStringLiteral("Accès au fichier refusé")});
        QCOMPARE(differences(before, p.files()), QString());
        // Once writable again, the same command saves.
        p.changeWalkingSpeeds(4300);
        QCOMPARE(p.app->state.speedTable.value(SpeedTable::entryOf(4, 2)), 4300);
        QCOMPARE(readBytes(p.programFile(QStringLiteral("Quorc.qud"))),
                 p.app->state.speedTable.block());
    }

    void catalogueAtStartUpAndSave()
    {
        Program p;
        const auto before = p.files();
        Fault fault(readOnlyFile(p.projectFile(QStringLiteral("Quord.qud"))));
        p.start();
        QCOMPARE(p.platform.errors, QStringList{QStringLiteral("Accès au fichier refusé")});
        p.catalogue().setCell(Catalogue::Title, 0, QStringLiteral("Changé"));
        p.platform.confirmAnswers = {true};
        // A save, where the command is offered, is refused as well.
        p.main().Enregistrer1->trigger();
        QVERIFY(p.platform.errors.size() <= 2);
        for (const QString &error : p.platform.errors)
            QCOMPARE(error, QStringLiteral("Accès au fichier refusé"));
        QCOMPARE(differences(before, p.files()), QString());
    }

    void itineraryOpenAndSave()
    {
        Program p;
        p.start();
        const auto before = p.files();
        {
            Fault fault(readOnlyFile(p.projectFile(QStringLiteral("quor1.qud"))));
            p.openItinerary(1);
            QCOMPARE(p.platform.errors, QStringList{QStringLiteral("Accès au fichier refusé")});
            QCOMPARE(p.app->state.viewMode, ViewMode::Catalogue);
        }
        // Opened while writable, then made read-only before the save.
        p.openItinerary(1);
        QCOMPARE(p.stages().cell(Itinerary::Place, 1), QStringLiteral("Parking 1"));
        p.stages().setCell(Itinerary::Place, 2, QStringLiteral("Cabane"));
        {
            Fault fault(readOnlyFile(p.projectFile(QStringLiteral("quor1.qud"))));
            p.main().Enregistrer1->trigger();
            p.platform.confirmAnswers = {true};
            p.main().Itinraire1->trigger();
        }
        QCOMPARE(p.platform.errors, QStringList({QStringLiteral("Accès au fichier refusé"),
                                                 QStringLiteral("Accès au fichier refusé"),
                                                 QStringLiteral("Accès au fichier refusé")}));
        // The refused save keeps the itinerary open with its edit.
        QCOMPARE(p.app->state.viewMode, ViewMode::Itinerary);
        QCOMPARE(p.stages().cell(Itinerary::Place, 2), QStringLiteral("Cabane"));
        QCOMPARE(differences(before, p.files()), QString());
    }

    void settingsAtQuit()
    {
        Program p;
        p.start();
        const auto before = p.files();
        {
            Fault fault(readOnlyFile(p.programFile(QStringLiteral("Quori.qud"))));
            p.main().Quitter2->trigger();
        }
        QCOMPARE(p.platform.errors, QStringList{QStringLiteral("Accès au fichier refusé")});
        QCOMPARE(differences(before, p.files()), QString());
    }

    void calibrationSave()
    {
        Program p;
        p.start();
        p.showMap(p.mapPath());
        QVERIFY(p.platform.errors.isEmpty());
        const auto before = p.files();
        const QString cal = calibrationFileName(p.mapPath());
        {
            Fault fault(readOnlyFile(cal));
            p.app->pla()->Calibra->ValiCalibrClick();
        }
        QCOMPARE(p.platform.errors, QStringList{p.cannotCreate(cal)});
        QCOMPARE(differences(before, p.files()), QString());
    }

    void waypointPlusExport()
    {
        Program p;
        p.start();
        const QString target = p.projectFile(QStringLiteral("Forêt.TXT"));
        TestUtil::writeBytes(target, "RouteName, 1,ANCIENNE\r\n");
        const auto before = p.files();
        {
            Fault fault(readOnlyFile(target));
            p.exportRoute(target);
        }
        QCOMPARE(p.platform.errors, QStringList{p.cannotCreate(target)});
        QCOMPARE(differences(before, p.files()), QString());
    }

    void projectFolderRefusesEverySave()
    {
        Program p;
        p.start();
        const auto before = p.files();
        Fault fault(readOnlyFolder(p.projectDir()));
        p.catalogue().setCell(Catalogue::Title, 1, QStringLiteral("Changé"));
        p.platform.confirmAnswers = {true};
        p.main().Enregistrer1->trigger();
        // A row whose itinerary was never opened has no file: it cannot be
        // created in the folder.
        p.openItinerary(5);
        // Deleting a row moves the itinerary files: refused, all stay.
        p.catalogue().moveTo(Catalogue::Code, 0);
        p.platform.confirmAnswers = {true};
        p.main().Supprimer1->trigger();
        // The calibration beside the map.
        p.showMap(p.mapPath());
        p.app->pla()->Calibra->ValiCalibrClick();
        QCOMPARE(p.platform.errors,
                 QStringList({QStringLiteral("Accès au fichier refusé"),
                              QStringLiteral("Accès au fichier refusé"),
                              QStringLiteral("Accès au fichier refusé"),
                              p.cannotCreate(calibrationFileName(p.mapPath()))}));
        QCOMPARE(p.catalogue().cell(Catalogue::Code, 0), QStringLiteral("COL"));
        QCOMPARE(p.app->state.viewMode, ViewMode::Catalogue);
        QCOMPARE(differences(before, p.files()), QString());
    }

    void programFolderAtFirstStart()
    {
        // No speed table yet, and a folder that takes no new file.
        Program p;
        QFile::remove(p.programFile(QStringLiteral("Quorc.qud")));
        const auto before = p.files();
        QString refusal;
        {
            Fault fault(readOnlyFolder(p.root()));
            p.start();
            // A new project cannot be made there either: its folder is not
            // made, so its catalogue has no folder to go in.
            try {
                p.main().createProject(QStringLiteral("Jura"));
            } catch (const QuorError &error) {
                refusal = error.text();
            }
        }
        QCOMPARE(p.platform.errors, QStringList{QStringLiteral("Accès au fichier refusé")});
        QCOMPARE(refusal, QStringLiteral("Nom de fichier incorrect"));
        QCOMPARE(p.main().windowTitle(), QStringLiteral("Editeur de route pour Alpes"));
        QCOMPARE(differences(before, p.files()), QString());
        // The program runs on the default table in memory.
        QCOMPARE(p.app->state.speedTable.block(), SpeedTable::defaultBlock());
    }
};

QUOR_TEST(ReadOnlyTest)
#include "tst_readonly.moc"
