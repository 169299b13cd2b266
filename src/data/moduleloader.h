#pragma once

#include <QString>
#include <QStringList>

// The modules that hold the field's heavy libraries (PROJ today) are shared
// libraries that the program loads the first time a command needs them:
// start-up, projects and the itinerary view never load them, so the program
// starts as fast as a bare Qt window. A module lives beside the program in a
// build, and in the library folder of an installed copy.
namespace ModuleLoader {

// The folders searched, in order: the program's own folder, then the
// installed library folder relative to it. Tests add the build's folder.
QStringList searchDirectories();
// Those of a program installed in `programDirectory`.
QStringList searchDirectories(const QString &programDirectory);
void setExtraDirectory(const QString &directory);

// Whether only this user and the system can have put files in `directory`:
// it and every folder above it belong to root or to this user and no one
// else may write in them (a sticky folder above, such as /tmp, excepted).
bool trustedFolder(const QString &directory);

// The entry point `symbol` of module `name` ("quor_geodesy" is
// libquor_geodesy.so), loading the module on first use; it stays loaded
// until the program ends. Throws the French message of a module that is
// missing, cannot be loaded or lacks the entry point.
void *entryPoint(const QString &name, const char *symbol);

// Whether module `name` is loaded in this process.
bool isLoaded(const QString &name);

} // namespace ModuleLoader
