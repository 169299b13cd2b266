#include "jfifdensity.h"

#include "data/mapfile.h"
#include "data/quorerror.h"

#include <array>
#include <memory>

namespace {

constexpr char kIdentifier[] = "JFIF";
constexpr int kIdentifierLength = 4;
// The identifier's terminating zero and the two version bytes.
constexpr int kSkippedAfterIdentifier = 3;

bool isIdentifierLetter(char c)
{
    return c == 'F' || c == 'I' || c == 'J';
}

// The header is near the start of the file: the first piece read holds it.
constexpr qsizetype kPieceSize = qsizetype(64) * 1024;

class MemoryBytes
{
public:
    explicit MemoryBytes(const QByteArray &bytes) : m_bytes(bytes) {}

    quint8 next()
    {
        if (m_pos >= m_bytes.size())
            throwIoError(IoCode::ReadBeyondEnd);
        return static_cast<quint8>(m_bytes.at(m_pos++));
    }

private:
    const QByteArray &m_bytes;
    qsizetype m_pos = 0;
};

class FileBytes
{
public:
    explicit FileBytes(MapFile &file) : m_file(file) {}

    quint8 next()
    {
        if (m_pos == m_end) {
            int code = 0;
            const qsizetype n = m_file.read(m_piece.data(), kPieceSize, code);
            if (n < 0)
                throwIoError(code);
            if (n == 0)
                throwIoError(IoCode::ReadBeyondEnd);
            m_pos = 0;
            m_end = n;
        }
        return static_cast<quint8>(m_piece[m_pos++]);
    }

private:
    MapFile &m_file;
    std::array<char, kPieceSize> m_piece;
    qsizetype m_pos = 0;
    qsizetype m_end = 0;
};

template <typename Bytes> quint16 nextBigEndian16(Bytes &reader)
{
    const quint16 high = reader.next();
    const quint16 low = reader.next();
    return static_cast<quint16>(high * 256 + low);
}

template <typename Bytes> JfifDensity scan(Bytes &reader)
{
    // The letters read since the last other byte. A run longer than the
    // identifier can no longer become it, so only its length is kept then.
    QByteArray collected;
    bool runTooLong = false;
    while (runTooLong || collected != kIdentifier) {
        const char c = static_cast<char>(reader.next());
        if (!isIdentifierLetter(c)) {
            collected.clear();
            runTooLong = false;
        } else if (collected.size() == kIdentifierLength) {
            runTooLong = true;
        } else if (!runTooLong) {
            collected.append(c);
        }
    }
    for (int i = 0; i < kSkippedAfterIdentifier; ++i)
        reader.next();
    JfifDensity density;
    density.unitsCode = reader.next();
    density.xdens = nextBigEndian16(reader);
    density.ydens = nextBigEndian16(reader);
    return density;
}

} // namespace

JfifDensity scanJfifDensity(const QByteArray &bytes)
{
    MemoryBytes reader(bytes);
    return scan(reader);
}

JfifDensity readJfifDensity(const QString &mapPath)
{
    MapFile file(mapPath);
    if (const int code = file.open())
        throwIoError(code);
    auto reader = std::make_unique<FileBytes>(file);
    return scan(*reader);
}
