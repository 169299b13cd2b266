#include "moduleloader.h"

#include "quorerror.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>

#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <memory>

namespace ModuleLoader {

namespace {

QString &extraDirectory()
{
    static QString directory;
    return directory;
}

// Loaded modules by name; never unloaded, since what they returned (PROJ
// objects, texts) is kept for the rest of the run.
std::map<QString, std::unique_ptr<QLibrary>> &loaded()
{
    static std::map<QString, std::unique_ptr<QLibrary>> modules;
    return modules;
}

QString fileName(const QString &name)
{
    return QStringLiteral("lib%1.so").arg(name);
}

QuorError unusable(const QString &name, const QString &why)
{
    return QuorError(QStringLiteral("Le module %1 de Quor est introuvable ou inutilisable (%2) : "
                                    "cette commande n'est pas possible. Réinstallez Quor.")
                         .arg(fileName(name), why));
}

} // namespace

bool trustedFolder(const QString &directory)
{
    const QString folder = QFileInfo(directory).absoluteFilePath();
    for (QString path = folder;; path = QFileInfo(path).path()) {
        struct stat st;
        // A folder not there yet holds no module; those above it count.
        if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
            if (QFileInfo(path).path() == path)
                return true;
            continue;
        }
        if (st.st_uid != 0 && st.st_uid != ::geteuid())
            return false;
        // A sticky folder above (/tmp) keeps others from replacing what lies
        // below it; the folder itself being one does not, since anyone may
        // add a module there.
        const bool sticky = (st.st_mode & S_ISVTX) && path != folder;
        if ((st.st_mode & (S_IWOTH | S_IWGRP)) && !sticky)
            return false;
        if (QFileInfo(path).path() == path)
            return true;
    }
}

QStringList searchDirectories()
{
    return searchDirectories(QCoreApplication::applicationDirPath());
}

QStringList searchDirectories(const QString &program)
{
    QStringList directories;
    if (!program.isEmpty()) {
        directories << program;
#ifdef QUOR_INSTALLED_MODULE_DIR
        // The library folder as the installed layout places it from bin/. A
        // copy of the program put straight into a folder anyone may write
        // in (/tmp) would find its "library folder" in a place anyone could
        // fill with a module of theirs: such a folder is never looked in.
        const QString installed =
            QDir::cleanPath(program + QLatin1Char('/') + QStringLiteral(QUOR_INSTALLED_MODULE_DIR));
        if (trustedFolder(installed))
            directories << installed;
#endif
    }
    if (!extraDirectory().isEmpty())
        directories << extraDirectory();
    return directories;
}

void setExtraDirectory(const QString &directory)
{
    extraDirectory() = directory;
}

void *entryPoint(const QString &name, const char *symbol)
{
    auto found = loaded().find(name);
    if (found == loaded().end()) {
        QString why =
            QStringLiteral("absent de %1").arg(searchDirectories().join(QStringLiteral(", ")));
        std::unique_ptr<QLibrary> library;
        for (const QString &directory : searchDirectories()) {
            const QString path = QDir(directory).filePath(fileName(name));
            if (!QFileInfo::exists(path))
                continue;
            auto candidate = std::make_unique<QLibrary>(path);
            // Every symbol resolved now: a module that calls a function its
            // libraries lack is refused here with the module message, rather
            // than ending the program at its first call.
            candidate->setLoadHints(QLibrary::ResolveAllSymbolsHint);
            if (candidate->load()) {
                library = std::move(candidate);
                break;
            }
            why = candidate->errorString();
        }
        if (!library)
            throw unusable(name, why);
        found = loaded().emplace(name, std::move(library)).first;
    }
    void *entry = reinterpret_cast<void *>(found->second->resolve(symbol));
    if (!entry)
        throw unusable(name, QStringLiteral("sans %1").arg(QLatin1String(symbol)));
    return entry;
}

bool isLoaded(const QString &name)
{
    return loaded().count(name) > 0;
}

} // namespace ModuleLoader
