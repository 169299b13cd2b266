#include "common/testmain.h"
#include "common/testutil.h"
#include "data/mapfile.h"
#include "data/quorerror.h"
#include "mapfixtures.h"
#include "maps/jfifdensity.h"

#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>

class JfifScanTest : public QObject
{
    Q_OBJECT

private:
    static QByteArray header(quint8 units, quint16 x, quint16 y)
    {
        QByteArray h("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10);
        h.append('\0');
        h.append('\x01');
        h.append('\x02');
        h.append(char(units));
        h.append(char(x >> 8));
        h.append(char(x & 0xFF));
        h.append(char(y >> 8));
        h.append(char(y & 0xFF));
        return h;
    }

private slots:
    void cleanup() { MapFile::setOpenHook({}); }

    void headerAfterTheStartMarkers()
    {
        const JfifDensity d = scanJfifDensity(header(1, 300, 600));
        QCOMPARE(d.unitsCode, quint8(1));
        QCOMPARE(d.xdens, quint16(300));
        QCOMPARE(d.ydens, quint16(600));
    }

    void densitiesAreBigEndianUnsigned()
    {
        const JfifDensity d = scanJfifDensity(header(2, 0xFFFE, 0x0102));
        QCOMPARE(d.unitsCode, quint8(2));
        QCOMPARE(d.xdens, quint16(65534));
        QCOMPARE(d.ydens, quint16(258));
    }

    void longerRunOfLettersDoesNotStop()
    {
        // "JJFIF" is five letters long: not the identifier. The scan goes on
        // to the real header.
        QByteArray bytes("\x01JJFIF", 6);
        bytes.append('\0');
        bytes.append("\x01\x01\x01\x00\x48\x00\x48", 7); // would read 72 x 72
        bytes.append(header(1, 300, 300));
        const JfifDensity d = scanJfifDensity(bytes);
        QCOMPARE(d.xdens, quint16(300));
        QCOMPARE(d.ydens, quint16(300));
    }

    void runEndingInTheIdentifierAfterAnotherByte()
    {
        // "FJ" then an unrelated byte empties the letters; "JFIF" follows.
        QByteArray bytes("FJ\x00JFIF", 7);
        bytes.append("\x00\x01\x02\x01\x00\x64\x00\xC8", 8);
        const JfifDensity d = scanJfifDensity(bytes);
        QCOMPARE(d.unitsCode, quint8(1));
        QCOMPARE(d.xdens, quint16(100));
        QCOMPARE(d.ydens, quint16(200));
    }

    void noIdentifierReadsPastTheEnd()
    {
        const QString expected = QStringLiteral("Lecture au-delà de la fin de fichier");
        QCOMPARE(TestUtil::messageOf(
                     [] { scanJfifDensity(QByteArray("\xFF\xD8\xFF\xE1 Exif JFI", 13)); }),
                 expected);
        QCOMPARE(TestUtil::messageOf([] { scanJfifDensity(QByteArray()); }), expected);
        // The identifier is there but the fields are cut short.
        QCOMPARE(TestUtil::messageOf([] { scanJfifDensity(header(1, 300, 300).left(17)); }),
                 expected);
    }

    void generatedJpegHeader()
    {
        MapFixtures::JpegParams params;
        params.units = 0;
        params.xdens = 1;
        params.ydens = 2;
        const JfifDensity d = scanJfifDensity(MapFixtures::makeJpeg(params));
        QCOMPARE(d.unitsCode, quint8(0));
        QCOMPARE(d.xdens, quint16(1));
        QCOMPARE(d.ydens, quint16(2));
    }

    void mapIsOpenedForReadingOnly()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("carte.jpg"));
        TestUtil::writeBytes(path, header(1, 300, 300));
        // The map lies on a read-only folder: any write access is refused.
        QList<int> modes;
        MapFile::setOpenHook([&](const QString &p, int flags) {
            if (p != path)
                return 0;
            modes.append(flags & O_ACCMODE);
            return (flags & O_ACCMODE) == O_RDONLY ? 0 : EACCES;
        });
        const JfifDensity d = readJfifDensity(path);
        QCOMPARE(d.xdens, quint16(300));
        QCOMPARE(modes, QList<int>{O_RDONLY});
        QCOMPARE(TestUtil::readBytes(path), header(1, 300, 300));
    }

    void unreadableMap()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("carte.jpg"));
        QCOMPARE(TestUtil::messageOf([&] { readJfifDensity(path); }),
                 QStringLiteral("Fichier introuvable"));
        TestUtil::writeBytes(path, header(1, 300, 300));
        MapFile::setOpenHook([](const QString &, int) { return EACCES; });
        QCOMPARE(TestUtil::messageOf([&] { readJfifDensity(path); }),
                 QStringLiteral("Accès au fichier refusé"));
        MapFile::setOpenHook({});
        QCOMPARE(TestUtil::messageOf([&] { readJfifDensity(dir.path()); }),
                 QStringLiteral("Accès au fichier refusé"));
    }

    void headerFoundInAPieceAfterTheFirst()
    {
        // Far into the file, the scan reads on piece after piece.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("carte.jpg"));
        QByteArray bytes(200000, 'J');
        bytes.append(header(2, 118, 119));
        TestUtil::writeBytes(path, bytes);
        const JfifDensity d = readJfifDensity(path);
        QCOMPARE(d.unitsCode, quint8(2));
        QCOMPARE(d.xdens, quint16(118));
        QCOMPARE(d.ydens, quint16(119));
        // Cut before the densities end.
        TestUtil::writeBytes(path, bytes.left(bytes.size() - 1));
        QCOMPARE(TestUtil::messageOf([&] { readJfifDensity(path); }),
                 QStringLiteral("Lecture au-delà de la fin de fichier"));
    }
};

QUOR_TEST(JfifScanTest)
#include "tst_jfif.moc"
