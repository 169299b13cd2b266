#include "common/testmain.h"
#include "common/testutil.h"
#include "data/mapfile.h"
#include "data/quorerror.h"
#include "mapfixtures.h"
#include "maps/mapimagecache.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>

#include <jerror.h>
#include <jpeglib.h>

class JpegDecodeTest : public QObject
{
    Q_OBJECT

private:
    static QString jpegError(int code) { return QStringLiteral("Erreur JPEG #%1").arg(code); }

    // The rows as libjpeg gives them with its default settings, one at a
    // time into a buffer of its own.
    static QList<QByteArray> referenceRows(const QByteArray &bytes)
    {
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr errors;
        cinfo.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char *>(bytes.constData()),
                     static_cast<unsigned long>(bytes.size()));
        jpeg_read_header(&cinfo, TRUE);
        jpeg_start_decompress(&cinfo);
        const int rowBytes = int(cinfo.output_width * cinfo.output_components);
        QByteArray row(rowBytes, Qt::Uninitialized);
        JSAMPROW rowPointer = reinterpret_cast<JSAMPROW>(row.data());
        QList<QByteArray> rows;
        while (cinfo.output_scanline < cinfo.output_height) {
            jpeg_read_scanlines(&cinfo, &rowPointer, 1);
            rows.append(QByteArray(row.constData(), rowBytes));
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        return rows;
    }

    static bool sameRows(const QImage &image, const QList<QByteArray> &rows)
    {
        if (image.height() != rows.size())
            return false;
        for (int y = 0; y < image.height(); ++y) {
            const auto *line = reinterpret_cast<const char *>(image.constScanLine(y));
            if (QByteArray::fromRawData(line, rows[y].size()) != rows[y])
                return false;
        }
        return true;
    }

private slots:
    void cleanup() { MapFile::setOpenHook({}); }

    void decodesAtItsOwnSize()
    {
        MapFixtures::JpegParams params;
        params.width = 120;
        params.height = 90;
        const QImage image = decodeJpegData(MapFixtures::makeJpeg(params));
        QCOMPARE(image.size(), QSize(120, 90));
        QCOMPARE(image.format(), QImage::Format_RGB888);
        QVERIFY(MapFixtures::near(image.pixelColor(10, 10), QColor(255, 0, 0)));
        QVERIFY(MapFixtures::near(image.pixelColor(110, 10), QColor(0, 255, 0)));
        QVERIFY(MapFixtures::near(image.pixelColor(10, 80), QColor(0, 0, 255)));
        QVERIFY(MapFixtures::near(image.pixelColor(110, 80), QColor(255, 255, 255)));
    }

    void sameAsQtsOwnReader()
    {
        // A picture with detail everywhere, decoded by the toolkit's reader
        // as a cross-check of the rows and channel order.
        MapFixtures::JpegParams params;
        params.width = 97; // not a multiple of the block size
        params.height = 61;
        const QByteArray bytes = MapFixtures::makeJpeg(params, [](int x, int y) {
            return QColor((x * 7) % 256, (y * 11) % 256, ((x + y) * 5) % 256);
        });
        const QImage ours = decodeJpegData(bytes);
        QImage theirs;
        QVERIFY(theirs.loadFromData(bytes, "JPG"));
        theirs = theirs.convertToFormat(QImage::Format_RGB888);
        QCOMPARE(ours.size(), theirs.size());
        int worst = 0;
        for (int y = 0; y < ours.height(); ++y) {
            for (int x = 0; x < ours.width(); ++x) {
                const QColor a = ours.pixelColor(x, y), b = theirs.pixelColor(x, y);
                worst = qMax(worst, qAbs(a.red() - b.red()));
                worst = qMax(worst, qAbs(a.green() - b.green()));
                worst = qMax(worst, qAbs(a.blue() - b.blue()));
            }
        }
        QVERIFY2(worst <= 4, qPrintable(QString::number(worst)));
    }

    void greyMapComesOutInColour()
    {
        MapFixtures::JpegParams params;
        params.grey = true;
        const QImage image = decodeJpegData(MapFixtures::makeJpeg(params));
        QCOMPARE(image.format(), QImage::Format_RGB888);
        const QColor c = image.pixelColor(50, 40);
        QVERIFY(MapFixtures::near(c, QColor(255, 255, 255)));
        QCOMPARE(c.red(), c.green());
        QCOMPARE(c.green(), c.blue());
    }

    void cmykMap()
    {
        // Written by libjpeg with the Adobe marker, whose convention stores
        // the inks inverted: full "cyan" byte and full "black" byte is red.
        JpegEncoding encoding;
        encoding.width = 16;
        encoding.height = 8;
        encoding.components = 4;
        encoding.jfif = false;
        encoding.quality = 100;
        const QByteArray bytes = encodeJpeg(encoding, [](int, unsigned char *row) {
            for (int x = 0; x < 16; ++x) {
                row[4 * x] = 255;
                row[4 * x + 1] = 0;
                row[4 * x + 2] = 0;
                row[4 * x + 3] = 255;
            }
        });
        QVERIFY(!bytes.isEmpty());

        const QImage image = decodeJpegData(bytes);
        QCOMPARE(image.size(), QSize(16, 8));
        QVERIFY(MapFixtures::near(image.pixelColor(8, 4), QColor(255, 0, 0)));
    }

    void notAJpeg()
    {
        QCOMPARE(
            TestUtil::messageOf([] { decodeJpegData(QByteArray("Ceci n'est pas une carte")); }),
            jpegError(JERR_NO_SOI));
        QCOMPARE(TestUtil::messageOf([] { decodeJpegData(QByteArray()); }),
                 jpegError(JERR_INPUT_EMPTY));
    }

    void truncatedJpeg()
    {
        MapFixtures::JpegParams params;
        params.width = 200;
        params.height = 200;
        const QByteArray bytes = MapFixtures::makeJpeg(params, [](int x, int y) {
            return QColor((x * 3) % 256, (y * 5) % 256, (x * y) % 256);
        });
        // Cut in the middle of the picture data, and inside the header.
        QCOMPARE(TestUtil::messageOf([&] { decodeJpegData(bytes.left(bytes.size() / 2)); }),
                 jpegError(JWRN_JPEG_EOF));
        QCOMPARE(TestUtil::messageOf([&] { decodeJpegData(bytes.left(30)); }),
                 jpegError(JWRN_JPEG_EOF));
    }

    void files()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("carte.jpg"));
        QCOMPARE(TestUtil::messageOf([&] { decodeJpegFile(path); }),
                 QStringLiteral("Impossible d'ouvrir le fichier ") + path);
        TestUtil::writeBytes(path, MapFixtures::makeJpeg({}));
        QCOMPARE(decodeJpegFile(path).size(), QSize(64, 48));
        MapFile::setOpenHook([](const QString &, int) { return EACCES; });
        QCOMPARE(TestUtil::messageOf([&] { decodeJpegFile(path); }),
                 QStringLiteral("Impossible d'ouvrir le fichier ") + path);
        MapFile::setOpenHook({});
        QCOMPARE(TestUtil::messageOf([&] { decodeJpegFile(dir.path()); }),
                 QStringLiteral("Impossible d'ouvrir le fichier ") + dir.path());
    }

    void damagedFiles()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("carte.jpg"));
        TestUtil::writeBytes(path, QByteArray());
        QCOMPARE(TestUtil::messageOf([&] { decodeJpegFile(path); }), jpegError(JERR_INPUT_EMPTY));
        TestUtil::writeBytes(path, QByteArray("Ceci n'est pas une carte"));
        QCOMPARE(TestUtil::messageOf([&] { decodeJpegFile(path); }), jpegError(JERR_NO_SOI));
        MapFixtures::JpegParams params;
        params.width = 300;
        params.height = 200;
        const QByteArray whole = MapFixtures::makeJpeg(params, [](int x, int y) {
            return QColor((x * 3) % 256, (y * 5) % 256, (x * y) % 256);
        });
        TestUtil::writeBytes(path, whole.left(whole.size() * 2 / 3));
        QCOMPARE(TestUtil::messageOf([&] { decodeJpegFile(path); }), jpegError(JWRN_JPEG_EOF));
    }

    void fileStreamedInSeveralPieces()
    {
        // More than a megabyte of JPEG reaches the decoder in pieces; the
        // picture is the same as from the bytes in memory.
        MapFixtures::JpegParams params;
        params.width = 1500;
        params.height = 1000;
        params.quality = 100;
        const QByteArray bytes = MapFixtures::makeJpeg(params, [](int x, int y) {
            const unsigned h = unsigned(x) * 2654435761u ^ unsigned(y) * 40503u;
            return QColor(int(h & 255), int((h >> 8) & 255), int((h >> 16) & 255));
        });
        QVERIFY2(bytes.size() > (1 << 20), qPrintable(QString::number(bytes.size())));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("grande.jpg"));
        TestUtil::writeBytes(path, bytes);
        const QImage fromFile = decodeJpegFile(path);
        const QImage fromMemory = decodeJpegData(bytes);
        QCOMPARE(fromFile.size(), QSize(1500, 1000));
        QCOMPARE(fromFile, fromMemory);
        // Every row starts on the decoder's alignment.
        QCOMPARE(fromFile.bytesPerLine() % 32, qsizetype(0));
        QCOMPARE(quintptr(fromFile.constBits()) % 32, quintptr(0));
    }

    void bigPictureIsTheDecodersOwn()
    {
        // A picture big enough for its pages to be faulted in by another
        // thread comes out byte for byte as libjpeg's plain loop gives it,
        // and a damaged one still fails with the decoder's number.
        MapFixtures::JpegParams params;
        params.width = 2048;
        params.height = 1536;
        const QByteArray bytes = MapFixtures::makeJpeg(params, [](int x, int y) {
            const unsigned h = unsigned(x / 3) * 2654435761u ^ unsigned(y / 3) * 40503u;
            return QColor(int(h & 255), int((h >> 8) & 255), (x + y) % 256);
        });
        const QList<QByteArray> rows = referenceRows(bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("grande.jpg"));
        TestUtil::writeBytes(path, bytes);
        const QImage fromMemory = decodeJpegData(bytes);
        QCOMPARE(fromMemory.size(), QSize(2048, 1536));
        QVERIFY(sameRows(fromMemory, rows));
        QVERIFY(sameRows(decodeJpegFile(path), rows));

        const QByteArray cut = bytes.left(bytes.size() / 2);
        QCOMPARE(TestUtil::messageOf([&] { decodeJpegData(cut); }), jpegError(JWRN_JPEG_EOF));
        TestUtil::writeBytes(path, cut);
        QCOMPARE(TestUtil::messageOf([&] { decodeJpegFile(path); }), jpegError(JWRN_JPEG_EOF));
    }

    void mapIsOpenedForReadingOnly()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("carte.jpg"));
        TestUtil::writeBytes(path, MapFixtures::makeJpeg({}));
        QList<int> modes;
        MapFile::setOpenHook([&](const QString &, int flags) {
            modes.append(flags & O_ACCMODE);
            return (flags & O_ACCMODE) == O_RDONLY ? 0 : EACCES;
        });
        QCOMPARE(decodeJpegFile(path).size(), QSize(64, 48));
        QCOMPARE(modes, QList<int>{O_RDONLY});
    }

    void cacheKeepsAnUnchangedFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("carte.jpg"));
        TestUtil::writeBytes(path, MapFixtures::makeJpeg({}));
        MapImageCache cache;
        QVERIFY(!cache.isCurrent(path));
        const QImage first = cache.load(path);
        QCOMPARE(cache.decodeCount(), 1);
        QVERIFY(cache.isCurrent(path));
        const QImage second = cache.load(path);
        QCOMPARE(cache.decodeCount(), 1);
        // The same pixels, not a copy.
        QCOMPARE(second.constBits(), first.constBits());
    }

    void cacheDecodesAChangedFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("carte.jpg"));
        TestUtil::writeBytes(path, MapFixtures::makeJpeg({}));
        MapImageCache cache;
        cache.load(path);

        // Same size, different pixels, and a different modification time.
        MapFixtures::JpegParams params;
        const QByteArray other = MapFixtures::makeJpeg(params, [](int, int) { return Qt::black; });
        TestUtil::writeBytes(path, other);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                 QFileDevice::FileModificationTime));
        file.close();
        QVERIFY(!cache.isCurrent(path));
        const QImage image = cache.load(path);
        QCOMPARE(cache.decodeCount(), 2);
        QVERIFY(MapFixtures::near(image.pixelColor(5, 5), QColor(0, 0, 0)));

        // Another file is another picture.
        const QString path2 = dir.filePath(QStringLiteral("autre.jpg"));
        TestUtil::writeBytes(path2, MapFixtures::makeJpeg({}));
        QVERIFY(!cache.isCurrent(path2));
        cache.load(path2);
        QCOMPARE(cache.decodeCount(), 3);
    }

    void cacheKeepsItsPictureOnFailure()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("carte.jpg"));
        TestUtil::writeBytes(path, MapFixtures::makeJpeg({}));
        MapImageCache cache;
        cache.load(path);
        const QString bad = dir.filePath(QStringLiteral("abimee.jpg"));
        TestUtil::writeBytes(bad, QByteArray("pas une image"));
        QCOMPARE(TestUtil::messageOf([&] { cache.load(bad); }), jpegError(JERR_NO_SOI));
        QCOMPARE(cache.path(), path);
        QCOMPARE(cache.image().size(), QSize(64, 48));
        QVERIFY(cache.isCurrent(path));
    }
};

QUOR_TEST(JpegDecodeTest)
#include "tst_jpeg.moc"
