#include "common/testmain.h"
#include "faultfixture.h"

#include <QTest>

using namespace Faults;
using TestUtil::readBytes;

// A disk that fills up during a save: the save fails with "Disque plein" (or
// the line-list files' own message), the file keeps its previous content,
// no temporary file is left, and a command that had moved files moves them
// back.
class DiskFullTest : public QObject
{
    Q_OBJECT
private slots:
    void recordFiles()
    {
        Program p;
        p.start();
        const auto before = p.files();
        {
            Fault fault(diskFull());
            p.changeWalkingSpeeds();
            p.catalogue().setCell(Catalogue::Title, 2, QStringLiteral("Sommet du Noir"));
            p.platform.confirmAnswers = {true};
            p.main().Enregistrer1->trigger();
            p.openItinerary(1);
        }
        QCOMPARE(p.platform.errors, QStringList(2, QStringLiteral("Disque plein")));
        // Opening an existing itinerary writes nothing.
        QCOMPARE(p.app->state.viewMode, ViewMode::Itinerary);
        QCOMPARE(differences(before, p.files()), QString());

        p.stages().setCell(Itinerary::Place, 4, QStringLiteral("Col"));
        {
            Fault fault(diskFull());
            p.main().Enregistrer1->trigger();
            p.platform.confirmAnswers = {true};
            p.main().Itinraire1->trigger();
            p.main().Quitter2->trigger();
        }
        QCOMPARE(p.platform.errors, QStringList(5, QStringLiteral("Disque plein")));
        QCOMPARE(p.app->state.viewMode, ViewMode::Itinerary);
        QCOMPARE(differences(before, p.files()), QString());

        // With room again, everything kept in memory is saved.
        p.platform.confirmAnswers = {true};
        p.main().Itinraire1->trigger();
        QCOMPARE(p.platform.errors.size(), 5);
        QCOMPARE(p.app->state.viewMode, ViewMode::Catalogue);
        StringGrid saved(Catalogue::kColumns, Catalogue::kRows);
        Catalogue::blockToGrid(readBytes(p.projectFile(QStringLiteral("Quord.qud"))), saved);
        QCOMPARE(saved.cell(Catalogue::Title, 2), QStringLiteral("Sommet du Noir"));
        // The catalogue's bytes beyond its block are kept.
        QVERIFY(readBytes(p.projectFile(QStringLiteral("Quord.qud"))).endsWith("TAIL"));
    }

    void newItinerary()
    {
        Program p;
        p.start();
        const auto before = p.files();
        {
            Fault fault(diskFull());
            p.openItinerary(7);
        }
        QCOMPARE(p.platform.errors, QStringList{QStringLiteral("Disque plein")});
        QCOMPARE(p.app->state.viewMode, ViewMode::Catalogue);
        QCOMPARE(differences(before, p.files()), QString());
    }

    void catalogueRowsMoveTheirFilesBack()
    {
        Program p;
        p.start();
        const auto before = p.files();
        {
            Fault fault(diskFull());
            p.catalogue().moveTo(Catalogue::Code, 0);
            p.platform.confirmAnswers = {true};
            p.main().Supprimer1->trigger();
            p.catalogue().moveTo(Catalogue::Code, 1);
            p.main().Inserer1->trigger();
        }
        QCOMPARE(p.platform.errors, QStringList(2, QStringLiteral("Disque plein")));
        QCOMPARE(p.catalogue().cell(Catalogue::Code, 0), QStringLiteral("COL"));
        QCOMPARE(p.catalogue().cell(Catalogue::Code, 1), QStringLiteral("LAC"));
        QCOMPARE(differences(before, p.files()), QString());
    }

    void lineListFiles()
    {
        Program p;
        p.start();
        p.showMap(p.mapPath());
        QVERIFY(p.platform.errors.isEmpty());
        const QString target = p.projectFile(QStringLiteral("Forêt.TXT"));
        TestUtil::writeBytes(target, "RouteName, 1,ANCIENNE\r\n");
        const auto before = p.files();
        {
            Fault fault(diskFull());
            p.app->pla()->Calibra->ValiCalibrClick();
            p.exportRoute(target);
        }
        QCOMPARE(p.platform.errors, QStringList({p.cannotCreate(calibrationFileName(p.mapPath())),
                                                 p.cannotCreate(target)}));
        QCOMPARE(differences(before, p.files()), QString());
    }
};

QUOR_TEST(DiskFullTest)
#include "tst_diskfull.moc"
