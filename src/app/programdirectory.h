#pragma once

#include <QString>
#include <functional>

// Where the program keeps its settings, its speed table and the projects.
// Beside the executable when that folder can be written, as the program has
// always done; an installed program uses the user's data folder for the
// program instead.
struct ProgramDirectoryChoice
{
    QString directory;         // with its trailing '/'
    bool isDataFolder = false; // the user's data folder, not the executable's
    bool createdNow = false;   // the data folder did not exist before this start
    QString exampleError;      // why the example project could not be written
};

using WritableTest = std::function<bool(const QString &directory)>;

// Whether a file can be created in `directory`: a small file is written there
// through the file layer and removed again.
bool canWriteDirectory(const QString &directory);

// Whether the program keeps its files beside the executable: the folder can
// be written, and it is not an installed copy's. An installed copy, whose
// data folder lies beside it (`../share/quor` from `bin/`), keeps them in the
// user's data folder even where it could write its own, as root can in
// /usr/bin; only settings already kept beside it from an earlier start keep
// it there.
bool keepsFilesBeside(const QString &executableFolder);

// Creates `directory` and every missing folder above it. Throws the
// input/output error of the level that cannot be created.
void makePath(const QString &directory);

// The executable's folder when `writable` says so, else `dataFolder`, created
// with its missing parents when it does not exist yet.
ProgramDirectoryChoice chooseProgramDirectory(const QString &executableFolder,
                                              const QString &dataFolder,
                                              const WritableTest &writable = keepsFilesBeside);

// The start of a run: the program directory as chooseProgramDirectory gives
// it. A data folder made by this start receives the example project, which
// is remembered as the project to open, so that an installed program starts
// on it as a built one does. A failure there keeps the choice and is told in
// exampleError; only a data folder that cannot be made throws.
ProgramDirectoryChoice prepareProgramDirectory(const QString &executableFolder,
                                               const QString &dataFolder,
                                               const WritableTest &writable = keepsFilesBeside);
