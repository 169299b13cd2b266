#include "moduleloader.h"

#include "quorerror.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

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
        // The library folder as the installed layout places it from bin/.
        directories << QDir::cleanPath(program + QLatin1Char('/') +
                                       QStringLiteral(QUOR_INSTALLED_MODULE_DIR));
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
