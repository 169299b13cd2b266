#include "programdirectory.h"

#include "data/appstate.h"
#include "data/filelayer.h"
#include "data/quorerror.h"
#include "data/settings.h"
#include "exampleproject.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Hidden, and removed at once: the user never sees it.
const QString kProbeName = QStringLiteral(".quor-ecriture");

QString withSeparator(QString dir)
{
    if (!dir.endsWith(kPathSeparator))
        dir.append(kPathSeparator);
    return dir;
}

bool isDirectory(const QString &path)
{
    return QFileInfo(path).isDir();
}

} // namespace

bool canWriteDirectory(const QString &directory)
{
    const QString probe = withSeparator(directory) + kProbeName;
    try {
        FileLayer::writeAtomic(probe, QByteArray());
    } catch (const QuorError &) {
        return false;
    }
    FileLayer::removeFile(probe);
    return true;
}

bool keepsFilesBeside(const QString &executableFolder)
{
#ifdef QUOR_INSTALLED_DATA_DIR
    const QString installedData =
        executableFolder + QLatin1Char('/') + QStringLiteral(QUOR_INSTALLED_DATA_DIR);
    if (isDirectory(installedData) &&
        !FileLayer::fileExists(settingsPath(withSeparator(executableFolder))))
        return false;
#endif
    return canWriteDirectory(executableFolder);
}

void makePath(const QString &directory)
{
    const QString clean = QDir::cleanPath(directory);
    if (clean.isEmpty() || isDirectory(clean))
        return;
    const qsizetype slash = clean.lastIndexOf(kPathSeparator);
    if (slash > 0)
        makePath(clean.left(slash));
    if (const int code = FileLayer::makeDir(clean)) {
        if (!isDirectory(clean))
            throwIoError(code);
    }
}

ProgramDirectoryChoice chooseProgramDirectory(const QString &executableFolder,
                                              const QString &dataFolder,
                                              const WritableTest &writable)
{
    ProgramDirectoryChoice choice;
    if (writable(executableFolder)) {
        choice.directory = withSeparator(executableFolder);
        return choice;
    }
    choice.directory = withSeparator(dataFolder);
    choice.isDataFolder = true;
    choice.createdNow = !isDirectory(dataFolder);
    makePath(dataFolder);
    return choice;
}

ProgramDirectoryChoice prepareProgramDirectory(const QString &executableFolder,
                                               const QString &dataFolder,
                                               const WritableTest &writable)
{
    ProgramDirectoryChoice choice = chooseProgramDirectory(executableFolder, dataFolder, writable);
    if (choice.createdNow) {
        try {
            ExampleProject::write(choice.directory);
            ExampleProject::addBuiltFiles(choice.directory, executableFolder);
            ExampleProject::remember(choice.directory);
        } catch (const QuorError &e) {
            choice.exampleError = e.text();
        }
    }
    return choice;
}
