#include "countedstring.h"

#include "cp1252.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

QString CountedString::read(const QByteArray &block, int offset, int capacity)
{
    Q_ASSERT(offset >= 0 && offset + size(capacity) <= block.size());
    const int length = std::min<int>(static_cast<unsigned char>(block.at(offset)), capacity);
    return fromCp1252(block.constData() + offset + 1, length);
}

void CountedString::write(QByteArray &block, int offset, int capacity, QStringView text)
{
    Q_ASSERT(offset >= 0 && offset + size(capacity) <= block.size());
    const QByteArray bytes = toCp1252(text);
    const int length = static_cast<int>(std::min<qsizetype>(bytes.size(), capacity));
    char *field = block.data() + offset;
    field[0] = static_cast<char>(length);
    std::memcpy(field + 1, bytes.constData(), length);
    std::memset(field + 1 + length, 0, capacity - length);
}

namespace LittleEndian {

qint32 readInt32(const QByteArray &block, int offset)
{
    Q_ASSERT(offset >= 0 && offset + 4 <= block.size());
    return qFromLittleEndian<qint32>(block.constData() + offset);
}

void writeInt32(QByteArray &block, int offset, qint32 value)
{
    Q_ASSERT(offset >= 0 && offset + 4 <= block.size());
    qToLittleEndian<qint32>(value, block.data() + offset);
}

double readDouble(const QByteArray &block, int offset)
{
    Q_ASSERT(offset >= 0 && offset + 8 <= block.size());
    const quint64 bits = qFromLittleEndian<quint64>(block.constData() + offset);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void writeDouble(QByteArray &block, int offset, double value)
{
    Q_ASSERT(offset >= 0 && offset + 8 <= block.size());
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    qToLittleEndian<quint64>(bits, block.data() + offset);
}

} // namespace LittleEndian
