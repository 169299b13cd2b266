#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// A text field inside a binary record: one length byte, then `capacity`
// bytes of Windows-1252 text without terminator.
struct CountedString
{
    // Reads the field at `offset`. A damaged length byte above the capacity
    // is read as the whole storage, never beyond the field.
    static QString read(const QByteArray &block, int offset, int capacity);
    // Writes `text` cut to `capacity` characters; the unused tail of the
    // storage is zeroed.
    static void write(QByteArray &block, int offset, int capacity, QStringView text);
    static constexpr int size(int capacity) { return capacity + 1; }
};

// Little-endian numbers inside records.
namespace LittleEndian {
qint32 readInt32(const QByteArray &block, int offset);
void writeInt32(QByteArray &block, int offset, qint32 value);
double readDouble(const QByteArray &block, int offset);
void writeDouble(QByteArray &block, int offset, double value);
} // namespace LittleEndian
