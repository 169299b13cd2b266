#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class QFile;

// Every file the program reads or writes goes through here. Writes are atomic:
// the new content goes to a temporary file beside the target, which is then
// renamed over it, so a failure never leaves a half-written file.
namespace FileLayer {

enum class Op { OpenRead, OpenReadWrite, CreateTemp, Write, Rename, Remove, MakeDir };

// Test seam: called before each operation; a non-zero errno makes the
// operation fail with it, as the system would (root ignores permission bits).
using FaultHook = std::function<int(Op op, const QString &path)>;
void setFaultHook(FaultHook hook);

// Returns 0 when the file opens for reading and writing, else the runtime's
// input/output code. Nothing is changed.
int probeReadWrite(const QString &path);

// Opens the file for reading (and writing when asked) and reads it whole.
// Returns 0 or the input/output code.
int tryReadAll(const QString &path, QByteArray &out, bool openForWriting = false);

// The same, but stops once more than `maxBytes` are read (none when negative):
// a file longer than that comes back with more than `maxBytes` bytes, and a
// huge file is never read whole.
int tryReadAtMost(const QString &path, QByteArray &out, qint64 maxBytes,
                  bool openForWriting = false);

// Opens the file for reading piece by piece, for a reader that must not hold it
// whole, and gives the size it has now. Returns 0 or the input/output code.
int tryOpenRead(const QString &path, QFile &file, qint64 &size);

// Reads the file whole; throws the input/output error.
QByteArray readAll(const QString &path, bool openForWriting = false);

// Replaces the file's content atomically; throws the input/output error and
// leaves the target as it was on failure.
void writeAtomic(const QString &path, const QByteArray &content);

// Returns 0 or the input/output code.
int removeFile(const QString &path);
// Renames; fails when the target exists. Returns 0 or the input/output code.
int renameFile(const QString &from, const QString &to);
// Creates one directory level. Returns 0 or the input/output code.
int makeDir(const QString &path);

bool fileExists(const QString &path);

// Opens `path` with the open(2) `flags` only when it is a regular file,
// without ever waiting: a FIFO, a device or a socket named in a project
// (or a symbolic link to one) would otherwise block the window until
// someone writes into it, or feed it endless bytes. Returns the descriptor,
// or -1 with errno set (EISDIR for a folder, EACCES for any other file that
// is not a regular one).
int openRegular(const QString &path, int flags);

} // namespace FileLayer
