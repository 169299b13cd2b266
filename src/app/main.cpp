#include "appicon.h"
#include "helpviewer.h"
#include "platform/guard.h"
#include "platform/qtplatform.h"
#include "programdirectory.h"
#include "quorapp.h"
#include "tquor.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QStandardPaths>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quor"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quor"));
    QApplication::setApplicationVersion(QStringLiteral(QUOR_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("quor"));
    QApplication::setWindowIcon(AppIcon::icon());
    // The main window ends the program, whatever tool windows are still open.
    QApplication::setQuitOnLastWindowClosed(false);

    // The system's dialogs (files, folders, printing) speak French as the
    // program does.
    QTranslator qtFrench;
    if (qtFrench.load(QLocale(QLocale::French, QLocale::France), QStringLiteral("qtbase"),
                      QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtFrench);

    QtPlatform platform;
    HelpOnDemand help;
    platform.setHelpDisplay(&help);

    const QString executableFolder = QApplication::applicationDirPath();
    ProgramDirectoryChoice choice;
    choice.directory = executableFolder + QLatin1Char('/');
    // Without its data folder the program still starts, beside the
    // executable; the first file it cannot write says why.
    guarded(platform, nullptr, [&] {
        choice = prepareProgramDirectory(
            executableFolder, QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    });
    if (!choice.exampleError.isEmpty())
        platform.showError(nullptr, choice.exampleError);

    QuorApp quor(platform, choice.directory);
    QObject::connect(quor.main.get(), &TQuor::closed, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    quor.main->showMaximized();
    return app.exec();
}
