#pragma once

#include <QByteArray>
#include <QString>

// One-record files: the whole table is one fixed-size block, read and written
// whole as the file's first record. Bytes beyond the block are kept.

// Open-or-create: when the file cannot be opened for reading and writing it is
// created with `defaults`; then the block is read back. Throws the
// input/output error of the create or read step (a short file gives
// "Lecture au-delà de la fin de fichier").
QByteArray load_record_file(const QString &path, int blockSize, const QByteArray &defaults);

// Writes the block over the start of an existing file, keeping its tail.
// A missing file fails with "Fichier introuvable"; nothing is created.
void save_record_file_overwrite(const QString &path, const QByteArray &block);

// Creates or truncates the file and writes the block. A file that exists but
// cannot be opened for writing stays untouched and gives its error.
void save_record_file_create(const QString &path, const QByteArray &block);
