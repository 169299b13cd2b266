#include "app/quorapp.h"
#include "app/tquor.h"
#include "common/testmain.h"
#include "common/testutil.h"
#include "data/itinerary.h"
#include "data/moduleloader.h"
#include "platform/fakeplatform.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace TestUtil;

namespace {

// Whether a shared library whose file name contains `name` is mapped in this
// process, as the kernel lists them.
bool mapped(const char *name)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return false;
    return maps.readAll().contains(name);
}

} // namespace

// PROJ and the libraries it pulls stay out of the process until a command
// converts a position; without the module that command says why, and the
// rest of the program works.
class ModulesTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    void writeProject()
    {
        QDir(m_dir.path()).mkdir("Alpes");
        QByteArray catalogue(4400, '\0');
        catalogue.replace(16, 8, QByteArray("\x07Lac/Col"));
        writeBytes(m_dir.path() + "/Alpes/Quord.qud", catalogue);
        writeBytes(m_dir.path() + "/Quori.qud", "[Projet]\r\nNom=Alpes\r\n");
    }

    static void fillStages(TQuor &main)
    {
        StringGrid &stages = main.stageGrid();
        stages.setCell(Itinerary::Place, 1, "Parking");
        stages.setCell(Itinerary::Position, 1, "31T 375000 4830000");
    }

private slots:
    // Runs first, in an executable of its own: nothing before it converted.
    void loadedByTheFirstConversion()
    {
        writeProject();
        QVERIFY(!mapped("libproj"));
        FakePlatform platform;
        QuorApp app(platform, m_dir.path());
        TQuor &main = *app.main;
        main.Itinraire1->trigger();
        fillStages(main);
        QVERIFY(main.ExporterGpx1->isEnabled());
        // Start-up, the project and the itinerary view: no module, no PROJ.
        QVERIFY(!ModuleLoader::isLoaded("quor_geodesy"));
        QVERIFY(!mapped("libquor_geodesy"));
        QVERIFY(!mapped("libproj"));
        QVERIFY(!mapped("libcurl"));

        // Missing: the command says so and writes nothing.
        const QString target = m_dir.path() + "/Alpes/sortie.gpx";
        platform.saveFileAnswers = {target, target};
        const QString empty = m_dir.path() + "/vide";
        QDir().mkpath(empty);
        ModuleLoader::setExtraDirectory(empty);
        main.ExporterGpx1->trigger();
        QCOMPARE(platform.errors.size(), 1);
        QVERIFY2(platform.errors[0].startsWith("Le module libquor_geodesy.so de Quor est "
                                               "introuvable ou inutilisable (absent de "),
                 qPrintable(platform.errors[0]));
        QVERIFY(platform.errors[0].endsWith(") : cette commande n'est pas possible. Réinstallez "
                                            "Quor."));
        QVERIFY(!QFile::exists(target));
        QVERIFY(!mapped("libproj"));

        // Not a library: the loader's own reason.
        writeBytes(empty + "/libquor_geodesy.so", "not a library");
        main.ExporterGpx1->trigger();
        QCOMPARE(platform.errors.size(), 2);
        QVERIFY(platform.errors[1].startsWith("Le module libquor_geodesy.so de Quor est "
                                              "introuvable ou inutilisable ("));
        QVERIFY(!platform.errors[1].contains("absent de"));
        QVERIFY(!QFile::exists(target));

        // Found: the export works and PROJ is now in the process.
        ModuleLoader::setExtraDirectory(QStringLiteral(QUOR_TEST_MODULE_DIR));
        main.ExporterGpx1->trigger();
        QCOMPARE(platform.errors.size(), 2);
        QVERIFY(QFile::exists(target));
        QVERIFY(ModuleLoader::isLoaded("quor_geodesy"));
        QVERIFY(mapped("libquor_geodesy"));
        QVERIFY(mapped("libproj"));
    }
};

QUOR_TEST(ModulesTest)
#include "tst_modules.moc"
