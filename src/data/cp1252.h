#pragma once

#include <QByteArray>
#include <QString>

// Windows-1252, the single-byte encoding of every text the program stores.
// A character that the code page cannot hold is written as '?'.
QByteArray toCp1252(QStringView text);
char toCp1252Char(QChar c);
QString fromCp1252(const char *data, qsizetype size);
inline QString fromCp1252(const QByteArray &bytes)
{
    return fromCp1252(bytes.constData(), bytes.size());
}
