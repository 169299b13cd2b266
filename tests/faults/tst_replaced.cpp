#include "common/testmain.h"
#include "faultfixture.h"

#include <QTest>

using namespace Faults;
using TestUtil::readBytes;

namespace {

// Puts a folder, with a file inside, where the file was.
void replaceByFolder(const QString &path)
{
    QFile::remove(path);
    QVERIFY(QDir().mkpath(path));
    TestUtil::writeBytes(path + QStringLiteral("/dedans.txt"), "un fichier dans le dossier");
}

} // namespace

// Files replaced by folders of the same name: a folder is never read as a
// file, never replaced by one, and nothing else changes.
class ReplacedByFolderTest : public QObject
{
    Q_OBJECT
private slots:
    void speedTableAndSettingsAtStartUpAndQuit()
    {
        Program p;
        replaceByFolder(p.programFile(QStringLiteral("Quorc.qud")));
        replaceByFolder(p.programFile(QStringLiteral("Quori.qud")));
        const auto before = p.files();
        p.start();
        // The settings are no source of errors: no project is remembered.
        QCOMPARE(p.platform.errors, QStringList{QStringLiteral("Accès au fichier refusé")});
        QCOMPARE(p.main().windowTitle(), QStringLiteral("Editeur de route pour "));
        QCOMPARE(p.app->state.speedTable.block(), SpeedTable::defaultBlock());
        p.main().Quitter2->trigger();
        QCOMPARE(p.platform.errors, QStringList(2, QStringLiteral("Accès au fichier refusé")));
        QCOMPARE(differences(before, p.files()), QString());
    }

    void catalogueWhileOpen()
    {
        Program p;
        p.start();
        replaceByFolder(p.projectFile(QStringLiteral("Quord.qud")));
        const auto before = p.files();
        p.platform.confirmAnswers = {true};
        p.main().Enregistrer1->trigger();
        p.catalogue().moveTo(Catalogue::Code, 0);
        p.main().Inserer1->trigger();
        QCOMPARE(p.platform.errors, QStringList(2, QStringLiteral("Accès au fichier refusé")));
        // The insertion moved the itinerary files back.
        QCOMPARE(p.catalogue().cell(Catalogue::Code, 0), QStringLiteral("COL"));
        QCOMPARE(differences(before, p.files()), QString());
    }

    void itinerary()
    {
        Program p;
        p.start();
        replaceByFolder(p.projectFile(QStringLiteral("quor2.qud")));
        const auto before = p.files();
        p.openItinerary(2);
        QCOMPARE(p.platform.errors, QStringList{QStringLiteral("Accès au fichier refusé")});
        QCOMPARE(p.app->state.viewMode, ViewMode::Catalogue);
        QCOMPARE(differences(before, p.files()), QString());
    }

    void mapCalibrationAndExport()
    {
        Program p;
        p.start();
        const QString cal = calibrationFileName(p.mapPath());
        replaceByFolder(cal);
        const QString target = p.projectFile(QStringLiteral("Forêt.TXT"));
        replaceByFolder(target);
        const auto before = p.files();
        // A calibration that cannot be read leaves the map to calibrate.
        p.showMap(p.mapPath());
        QVERIFY(p.platform.errors.isEmpty());
        QVERIFY(p.app->pla()->Calibra->isVisibleTo(p.app->pla()));
        p.fillCalibration();
        p.app->pla()->Calibra->ValiCalibrClick();
        p.exportRoute(target);
        QCOMPARE(p.platform.errors, QStringList({p.cannotCreate(cal), p.cannotCreate(target)}));
        QCOMPARE(differences(before, p.files()), QString());
    }

    void mapItself()
    {
        Program p;
        p.start();
        const QString folder = p.projectFile(QStringLiteral("dossier.jpg"));
        replaceByFolder(folder);
        const auto before = p.files();
        p.showMap(folder);
        QCOMPARE(p.platform.errors,
                 QStringList{QStringLiteral("Impossible d'ouvrir le fichier ") + folder});
        QCOMPARE(differences(before, p.files()), QString());
    }
};

QUOR_TEST(ReplacedByFolderTest)
#include "tst_replaced.moc"
