#include "app/exampleproject.h"
#include "app/programdirectory.h"
#include "app/quorapp.h"
#include "app/tquor.h"
#include "common/testmain.h"
#include "common/testutil.h"
#include "data/filelayer.h"
#include "data/moduleloader.h"
#include "data/quorerror.h"
#include "platform/fakeplatform.h"
#include "terrain/terrainchoice.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLibrary>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

using namespace TestUtil;

namespace {

// The build tree holds the test executables in its tests/ folder.
QString buildDirectory()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
}

bool isBelow(const QString &path, const QString &folder)
{
    return QDir::cleanPath(path).startsWith(QDir::cleanPath(folder) + QLatin1Char('/'));
}

struct Run
{
    int exitCode = -1;
    QString output;
};

Run run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Run result;
    if (!process.waitForFinished(120000))
        return result;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = QString::fromLocal8Bit(process.readAll());
    return result;
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

// `cmake --install` and where an installed program keeps its files.
class InstallTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { FileLayer::setFaultHook({}); }

    void installsTheProgramItsMenuEntryAndItsIcons()
    {
        const QString build = buildDirectory();
        QVERIFY2(QFileInfo::exists(build + QStringLiteral("/CMakeCache.txt")), qPrintable(build));
        const QString cmake = QStandardPaths::findExecutable(QStringLiteral("cmake"));
        QVERIFY2(!cmake.isEmpty(), "cmake not found");
        const QString validator =
            QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        QVERIFY2(!validator.isEmpty(),
                 "desktop-file-validate not found (package desktop-file-utils)");

        QTemporaryDir prefix;
        const Run install = run(
            cmake, {QStringLiteral("--install"), build, QStringLiteral("--prefix"), prefix.path()});
        QVERIFY2(install.exitCode == 0, qPrintable(install.output));

        const QFileInfo program(prefix.path() + QStringLiteral("/bin/quor"));
        QVERIFY(program.isFile());
        QVERIFY(program.isExecutable());

        // The geodesy module, where the installed program looks for it.
        const QString module = QStringLiteral("/libquor_geodesy.so");
        QStringList found;
        ModuleLoader::setExtraDirectory(QString()); // the build's, for the tests
        const QStringList folders = ModuleLoader::searchDirectories(program.absolutePath());
        ModuleLoader::setExtraDirectory(QStringLiteral(QUOR_TEST_MODULE_DIR));
        for (const QString &folder : folders) {
            if (QFileInfo::exists(folder + module))
                found << folder + module;
        }
        QCOMPARE(found, QStringList(prefix.path() + QStringLiteral("/lib/quor") + module));
        QVERIFY(QFileInfo::exists(prefix.path() + QStringLiteral("/share/quor/Terrain.tif")));
        QVERIFY(QFileInfo::exists(prefix.path() + QStringLiteral("/share/quor/Marche du lac.gpx")));
        QLibrary library(found.constFirst());
        QVERIFY2(library.load(), qPrintable(library.errorString()));
        QVERIFY(library.resolve("quor_geodesy_functions"));

        const QString desktop = prefix.path() + QStringLiteral("/share/applications/quor.desktop");
        QVERIFY(QFileInfo(desktop).isFile());
        const Run validation = run(validator, {desktop});
        QCOMPARE(validation.output, QString());
        QCOMPARE(validation.exitCode, 0);
        const QString entry = QString::fromUtf8(readBytes(desktop));
        QVERIFY(entry.contains(QStringLiteral("\nExec=quor\n")));
        QVERIFY(entry.contains(QStringLiteral("\nIcon=quor\n")));
        QVERIFY(entry.contains(QStringLiteral("GenericName[fr]=Éditeur de feuilles de route")));

        for (int size : {16, 32, 48, 64, 128, 256}) {
            const QString icon =
                prefix.path() +
                QStringLiteral("/share/icons/hicolor/%1x%1/apps/quor.png").arg(size);
            const QImage image(icon);
            QVERIFY2(!image.isNull(), qPrintable(icon));
            QCOMPARE(image.size(), QSize(size, size));
        }
    }

    void aWritableExecutableFolderStaysTheProgramDirectory()
    {
        QTemporaryDir exe;
        QTemporaryDir home;
        const QString data = home.path() + QStringLiteral("/share/Quor");
        const ProgramDirectoryChoice choice = chooseProgramDirectory(exe.path(), data);
        QCOMPARE(choice.directory, exe.path() + QLatin1Char('/'));
        QVERIFY(!choice.isDataFolder);
        QVERIFY(!choice.createdNow);
        QVERIFY(!QFileInfo::exists(data));
        // The writing test leaves nothing behind.
        QCOMPARE(entries(exe.path()), QStringList());
    }

    void aFolderThatRefusesFilesIsNotWritable()
    {
        QTemporaryDir exe;
        QVERIFY(canWriteDirectory(exe.path()));
        FileLayer::setFaultHook([&](FileLayer::Op op, const QString &path) {
            return op == FileLayer::Op::CreateTemp && isBelow(path, exe.path()) ? EACCES : 0;
        });
        QVERIFY(!canWriteDirectory(exe.path()));
        FileLayer::setFaultHook([&](FileLayer::Op op, const QString &path) {
            return op == FileLayer::Op::CreateTemp && isBelow(path, exe.path()) ? EROFS : 0;
        });
        QVERIFY(!canWriteDirectory(exe.path()));
        QCOMPARE(entries(exe.path()), QStringList());
    }

    void aReadOnlyExecutableFolderUsesTheDataFolder()
    {
        QTemporaryDir exe;
        QTemporaryDir home;
        const QString data = home.path() + QStringLiteral("/.local/share/Quor");
        const WritableTest readOnly = [](const QString &) { return false; };

        const ProgramDirectoryChoice first = chooseProgramDirectory(exe.path(), data, readOnly);
        QCOMPARE(first.directory, data + QLatin1Char('/'));
        QVERIFY(first.isDataFolder);
        QVERIFY(first.createdNow);
        QVERIFY(QFileInfo(data).isDir());

        const ProgramDirectoryChoice second = chooseProgramDirectory(exe.path(), data, readOnly);
        QCOMPARE(second.directory, data + QLatin1Char('/'));
        QVERIFY(!second.createdNow);
    }

    void anInstalledCopyUsesTheDataFolderEvenWhereItCouldWrite()
    {
        // As root runs the packaged program: /usr/bin can be written, yet
        // nothing of the user's may land beside the package's files.
        QTemporaryDir installed;
        QTemporaryDir home;
        const QString bin = installed.path() + QStringLiteral("/bin");
        QVERIFY(QDir().mkpath(bin));
        QVERIFY(QDir().mkpath(installed.path() + QStringLiteral("/share/quor")));
        QVERIFY(canWriteDirectory(bin));
        const QString data = home.path() + QStringLiteral("/.local/share/Quor");

        const ProgramDirectoryChoice choice = chooseProgramDirectory(bin, data);
        QCOMPARE(choice.directory, data + QLatin1Char('/'));
        QVERIFY(choice.isDataFolder);
        QCOMPARE(entries(bin), QStringList());

        // Settings kept beside an earlier installed copy stay where they are.
        writeBytes(bin + QStringLiteral("/Quori.qud"), "[Projet]\r\n");
        QCOMPARE(chooseProgramDirectory(bin, data).directory, bin + QLatin1Char('/'));
        // ... as long as that folder can still be written.
        FileLayer::setFaultHook([&](FileLayer::Op op, const QString &path) {
            return op == FileLayer::Op::CreateTemp && isBelow(path, bin) ? EROFS : 0;
        });
        QCOMPARE(chooseProgramDirectory(bin, data).directory, data + QLatin1Char('/'));
    }

    void aDataFolderThatCannotBeMadeIsAnError()
    {
        QTemporaryDir exe;
        QTemporaryDir home;
        FileLayer::setFaultHook([](FileLayer::Op op, const QString &) {
            return op == FileLayer::Op::MakeDir ? EACCES : 0;
        });
        try {
            chooseProgramDirectory(exe.path(), home.path() + QStringLiteral("/a/b"),
                                   [](const QString &) { return false; });
            QFAIL("no error");
        } catch (const QuorError &e) {
            QCOMPARE(e.text(), QStringLiteral("Accès au fichier refusé"));
        }
    }

    void anInstalledProgramKeepsItsFilesInTheDataFolder()
    {
        // An installed executable's folder that the user cannot write, as the
        // file layer reports it.
        QTemporaryDir installed;
        QTemporaryDir home;
        const QString bin = installed.path() + QStringLiteral("/bin");
        QVERIFY(QDir().mkpath(bin));
        writeBytes(bin + QStringLiteral("/quor"), "program");
        // The example's model, where the installation puts it.
        QVERIFY(QDir().mkpath(installed.path() + QStringLiteral("/share/quor")));
        writeBytes(installed.path() + QStringLiteral("/share/quor/Terrain.tif"), "model");
        writeBytes(installed.path() + QStringLiteral("/share/quor/Marche du lac.gpx"), "walk");
        FileLayer::setFaultHook([&](FileLayer::Op op, const QString &path) {
            return isBelow(path, bin) && op != FileLayer::Op::OpenRead ? EACCES : 0;
        });
        const QString data = home.path() + QStringLiteral("/.local/share/Quor");

        const ProgramDirectoryChoice choice = prepareProgramDirectory(bin, data);
        QVERIFY(choice.isDataFolder);
        QVERIFY(choice.createdNow);
        QCOMPARE(choice.exampleError, QString());
        QCOMPARE(choice.directory, data + QLatin1Char('/'));

        FakePlatform platform;
        {
            QuorApp app(platform, choice.directory);
            // The first start opens the example project made for it.
            QCOMPARE(app.main->windowTitle(), QStringLiteral("Editeur de route pour Exemple"));
            app.main->Quitter2->trigger();
        }
        QVERIFY(platform.errors.isEmpty());
        QCOMPARE(readBytes(data + QStringLiteral("/Quorc.qud")).size(), 300);
        QVERIFY(readBytes(data + QStringLiteral("/Quori.qud")).contains("Nom=Exemple"));
        QVERIFY(QFileInfo(data + QStringLiteral("/Exemple/Quord.qud")).isFile());
        QCOMPARE(entries(bin), QStringList{QStringLiteral("quor")});
        QCOMPARE(readBytes(data + QStringLiteral("/Exemple/Terrain.tif")), QByteArray("model"));
        QCOMPARE(readBytes(data + QStringLiteral("/Exemple/Marche du lac.gpx")),
                 QByteArray("walk"));
        QCOMPARE(TerrainChoice::read(data + QStringLiteral("/Exemple")),
                 data + QStringLiteral("/Exemple/Terrain.tif"));

        // The next start finds the folder and makes no second example.
        const ProgramDirectoryChoice again = prepareProgramDirectory(bin, data);
        QVERIFY(!again.createdNow);
        QCOMPARE(again.directory, choice.directory);
    }
};

QUOR_TEST(InstallTest)
#include "tst_install.moc"
