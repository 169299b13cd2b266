#include "common/testmain.h"
#include "common/testutil.h"
#include "data/filelayer.h"
#include "data/gpxfile.h"
#include "data/linelist.h"
#include "data/mapfile.h"
#include "data/quorerror.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

// Files of a project named by someone else may be anything the filesystem
// holds. Every reader opens them through the same door, which must answer at
// once: a FIFO waits for a writer forever, a device never ends.
class SpecialFilesTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    int m_socket = -1;

    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0644) == 0);
        QVERIFY(QFile::link(path("fifo"), path("link to fifo")));
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path("device")));
        m_socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path("socket"));
        QVERIFY(name.size() < qsizetype(sizeof address.sun_path));
        std::memcpy(address.sun_path, name.constData(), name.size());
        QVERIFY(::bind(m_socket, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
        QVERIFY(::listen(m_socket, 1) == 0);
        TestUtil::writeBytes(path("plain"), "Lac\r\n");
        QVERIFY(QFile::link(path("plain"), path("link to plain")));
    }

    void cleanupTestCase() { ::close(m_socket); }

    // A hang fails the test within seconds instead of holding CI.
    void init() { ::alarm(10); }
    void cleanup() { ::alarm(0); }

    void refusedAtOnce_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *name : {"fifo", "link to fifo", "device", "socket"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void refusedAtOnce()
    {
        QFETCH(QString, name);
        const QString denied = QStringLiteral("Accès au fichier refusé");
        QByteArray bytes;
        QCOMPARE(FileLayer::tryReadAll(path(name), bytes), IoCode::AccessDenied);
        QStringList lines{QStringLiteral("kept?")};
        QVERIFY(!LineList::read(path(name), lines));
        QCOMPARE(lines, QStringList());
        QCOMPARE(TestUtil::messageOf([&] { Gpx::read(path(name)); }), denied);
        MapFile map(path(name));
        QCOMPARE(map.open(), IoCode::AccessDenied);
    }

    // A link to an ordinary file is an ordinary file.
    void linksToFilesAreRead()
    {
        QStringList lines;
        QVERIFY(LineList::read(path("link to plain"), lines));
        QCOMPARE(lines, QStringList{QStringLiteral("Lac")});
        MapFile map(path("link to plain"));
        QCOMPARE(map.open(), 0);
        char buffer[8];
        int code = 0;
        QCOMPARE(map.read(buffer, sizeof buffer, code), 5);
    }

    // A name of 255 bytes, the filesystem's longest, is written whole in
    // place with its temporary name beside it; one byte more is the
    // system's refusal.
    void longestNames()
    {
        // "é" is two bytes: 127 of them and one "x" make 255.
        const QString longest = QString(127, QChar(0xE9)) + QLatin1Char('x');
        FileLayer::writeAtomic(path(longest), "Col\r\n");
        QCOMPARE(TestUtil::readBytes(path(longest)), QByteArray("Col\r\n"));
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden),
                 QStringList());
        QCOMPARE(TestUtil::messageOf([&] { FileLayer::writeAtomic(path(longest + 'y'), "Col"); }),
                 QStringLiteral("Nom de fichier incorrect"));
    }
};

QUOR_TEST(SpecialFilesTest)
#include "tst_filekinds.moc"
