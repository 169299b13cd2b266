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
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

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

    // A module missing a symbol is refused when it loads, with the module
    // message, instead of ending the program at its first call.
    void unresolvedSymbolRefusedAtLoad()
    {
        ModuleLoader::setExtraDirectory(QStringLiteral(QUOR_BROKEN_MODULE_DIR));
        const QString refusal =
            messageOf([] { ModuleLoader::entryPoint("quor_broken", "quor_broken_functions"); });
        ModuleLoader::setExtraDirectory(QStringLiteral(QUOR_TEST_MODULE_DIR));
        QVERIFY2(refusal.startsWith("Le module libquor_broken.so de Quor est introuvable ou "
                                    "inutilisable ("),
                 qPrintable(refusal));
        QVERIFY2(refusal.contains("quor_function_nowhere"), qPrintable(refusal));
        QVERIFY(!ModuleLoader::isLoaded("quor_broken"));
    }

    // The installed library folder is looked in only where no one else
    // could have put a module.
    void libraryFolderOfOthers()
    {
        const QString bin = m_dir.filePath("copie/bin");
        ModuleLoader::setExtraDirectory(QString());
        const QString lib = ModuleLoader::searchDirectories(bin).value(1);
        const QString above = QFileInfo(lib).path();
        QVERIFY(lib.startsWith(m_dir.filePath("copie/lib")));
        QVERIFY(QDir().mkpath(bin) && QDir().mkpath(lib));
        const auto looksIn = [&] { return ModuleLoader::searchDirectories(bin).contains(lib); };
        const auto mode = [](const QString &path, mode_t bits) {
            return ::chmod(QFile::encodeName(path).constData(), bits) == 0;
        };
        QVERIFY(looksIn());
        QVERIFY(mode(lib, 0777));
        QVERIFY(!looksIn());
        QVERIFY(mode(lib, 01777)); // sticky, but anyone may still add a file
        QVERIFY(!looksIn());
        QVERIFY(mode(lib, 0755) && mode(above, 0757));
        QVERIFY(!looksIn());
        QVERIFY(mode(above, 01777)); // sticky above: safe below
        QVERIFY(looksIn());
        QVERIFY(::chown(QFile::encodeName(lib).constData(), 4242, 4242) == 0);
        QVERIFY(!looksIn());
        ModuleLoader::setExtraDirectory(QStringLiteral(QUOR_TEST_MODULE_DIR));
    }
};

QUOR_TEST(ModulesTest)
#include "tst_modules.moc"
