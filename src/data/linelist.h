#pragma once

#include <QString>
#include <QStringList>

// Text files of lines: Windows-1252, every line ended by CR LF when written;
// CR, LF or CR LF accepted when read.
namespace LineList {

QStringList splitLines(const QByteArray &bytes);
QByteArray joinLines(const QStringList &lines);

// False when the file cannot be opened or read; `lines` is then empty.
bool read(const QString &path, QStringList &lines);
// Rewrites the whole file atomically. Throws "Impossible de créer le fichier %s".
void write(const QString &path, const QStringList &lines);

} // namespace LineList
