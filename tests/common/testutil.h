#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace TestUtil {
QByteArray readBytes(const QString &path);
void writeBytes(const QString &path, const QByteArray &bytes);
// The Windows-1252 bytes of a text, for comparing file contents.
QByteArray cp1252(const QString &text);
// The French message a call fails with; empty when it does not fail.
QString messageOf(const std::function<void()> &call);
} // namespace TestUtil
