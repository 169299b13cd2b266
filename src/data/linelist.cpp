#include "linelist.h"

#include "cp1252.h"
#include "filelayer.h"
#include "quorerror.h"

namespace LineList {

QStringList splitLines(const QByteArray &bytes)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = bytes.at(i);
        if (c != '\r' && c != '\n')
            continue;
        lines.append(fromCp1252(bytes.constData() + start, i - start));
        if (c == '\r' && i + 1 < n && bytes.at(i + 1) == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(fromCp1252(bytes.constData() + start, n - start));
    return lines;
}

QByteArray joinLines(const QStringList &lines)
{
    QByteArray out;
    for (const QString &line : lines) {
        out.append(toCp1252(line));
        out.append("\r\n");
    }
    return out;
}

bool read(const QString &path, QStringList &lines)
{
    QByteArray bytes;
    if (FileLayer::tryReadAll(path, bytes) != 0) {
        lines.clear();
        return false;
    }
    lines = splitLines(bytes);
    return true;
}

void write(const QString &path, const QStringList &lines)
{
    // A read-only file stays as it is: the atomic rename would replace it.
    if (FileLayer::fileExists(path) && FileLayer::probeReadWrite(path) != 0)
        throwCannotCreate(path);
    try {
        FileLayer::writeAtomic(path, joinLines(lines));
    } catch (const QuorError &) {
        throwCannotCreate(path);
    }
}

} // namespace LineList
