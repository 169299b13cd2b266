#pragma once

// A file on the memory file system for the targets that read through the
// program's own file code.

#include "fuzzcheck.h"

#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace Fuzz {

inline QString scratchPath(const QString &name)
{
    static const std::unique_ptr<QTemporaryDir> dir(
        new QTemporaryDir(QStringLiteral("/dev/shm/quorfuzz-XXXXXX")));
    FUZZ_CHECK(dir->isValid());
    return dir->filePath(name);
}

inline void writeScratch(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes) == bytes.size());
}

} // namespace Fuzz
