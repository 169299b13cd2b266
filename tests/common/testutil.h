#pragma once

#include <QByteArray>
#include <QString>

namespace TestUtil {
QByteArray readBytes(const QString &path);
void writeBytes(const QString &path, const QByteArray &bytes);
// The Windows-1252 bytes of a text, for comparing file contents.
QByteArray cp1252(const QString &text);
} // namespace TestUtil
