#include "common/testmain.h"
#include "common/testutil.h"
#include "data/appstate.h"
#include "data/catalogue.h"
#include "data/countedstring.h"
#include "data/filelayer.h"
#include "data/itinerary.h"
#include "data/quorerror.h"
#include "data/recordfile.h"
#include "data/settings.h"
#include "data/speedtable.h"
#include "data/stringgrid.h"
#include "data/textforms.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>

using namespace TestUtil;

namespace {

// Makes every open for writing of `path` fail as a read-only file does.
struct ReadOnly
{
    explicit ReadOnly(const QString &path)
    {
        FileLayer::setFaultHook([path](FileLayer::Op op, const QString &p) {
            return (p == path && op == FileLayer::Op::OpenReadWrite) ? EACCES : 0;
        });
    }
    ~ReadOnly() { FileLayer::setFaultHook({}); }
};

} // namespace

// One-record files: open-or-create, overwrite and create saves, faults.
class RecordFileTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString &name) { return m_dir.filePath(name); }

private slots:
    void openOrCreateWritesDefaultsThenReadsBack()
    {
        const QByteArray defaults("0123456789");
        QCOMPARE(load_record_file(path("a.qud"), 10, defaults), defaults);
        QCOMPARE(readBytes(path("a.qud")), defaults);
        writeBytes(path("a.qud"), QByteArray("abcdefghijXYZ"));
        QCOMPARE(load_record_file(path("a.qud"), 10, defaults), QByteArray("abcdefghij"));
    }

    void shortFileStopsWithReadBeyondEnd()
    {
        writeBytes(path("short.qud"), QByteArray("abc"));
        QCOMPARE(TestUtil::messageOf(
                     [&] { load_record_file(path("short.qud"), 10, QByteArray(10, 0)); }),
                 QStringLiteral("Lecture au-delà de la fin de fichier"));
        QCOMPARE(readBytes(path("short.qud")), QByteArray("abc"));
    }

    void missingDirectoryIsAPathError()
    {
        QCOMPARE(TestUtil::messageOf(
                     [&] { load_record_file(path("nodir/x.qud"), 4, QByteArray(4, 0)); }),
                 QStringLiteral("Nom de fichier incorrect"));
    }

    void readOnlyFileIsRefusedAndUntouched()
    {
        writeBytes(path("ro.qud"), QByteArray("1234"));
        ReadOnly ro(path("ro.qud"));
        QCOMPARE(
            TestUtil::messageOf([&] { load_record_file(path("ro.qud"), 4, QByteArray("0000")); }),
            QStringLiteral("Accès au fichier refusé"));
        QCOMPARE(TestUtil::messageOf(
                     [&] { save_record_file_create(path("ro.qud"), QByteArray("zzzz")); }),
                 QStringLiteral("Accès au fichier refusé"));
        QCOMPARE(TestUtil::messageOf(
                     [&] { save_record_file_overwrite(path("ro.qud"), QByteArray("zz")); }),
                 QStringLiteral("Accès au fichier refusé"));
        QCOMPARE(readBytes(path("ro.qud")), QByteArray("1234"));
    }

    void overwriteKeepsTheTailAndNeverCreates()
    {
        writeBytes(path("long.qud"), QByteArray("aaaaTAIL"));
        save_record_file_overwrite(path("long.qud"), QByteArray("bbbb"));
        QCOMPARE(readBytes(path("long.qud")), QByteArray("bbbbTAIL"));
        QCOMPARE(TestUtil::messageOf([&] { save_record_file_overwrite(path("none.qud"), "x"); }),
                 QStringLiteral("Fichier introuvable"));
        QVERIFY(!QFile::exists(path("none.qud")));
    }

    void createTruncates()
    {
        writeBytes(path("c.qud"), QByteArray("aaaaTAIL"));
        save_record_file_create(path("c.qud"), QByteArray("bbbb"));
        QCOMPARE(readBytes(path("c.qud")), QByteArray("bbbb"));
    }

    void aFullDiskNeverHalfWritesAFile()
    {
        writeBytes(path("full.qud"), QByteArray("precious"));
        FileLayer::setFaultHook([](FileLayer::Op op, const QString &) {
            return op == FileLayer::Op::Write ? ENOSPC : 0;
        });
        const QString overwrite = TestUtil::messageOf(
            [&] { save_record_file_overwrite(path("full.qud"), QByteArray("new")); });
        const QString create = TestUtil::messageOf(
            [&] { save_record_file_create(path("full.qud"), QByteArray("new")); });
        FileLayer::setFaultHook({});
        QCOMPARE(overwrite, QStringLiteral("Disque plein"));
        QCOMPARE(create, QStringLiteral("Disque plein"));
        QCOMPARE(readBytes(path("full.qud")), QByteArray("precious"));
        // No temporary file is left behind.
        QCOMPARE(QDir(m_dir.path()).entryList({".full.qud*"}, QDir::Files | QDir::Hidden).size(),
                 0);
    }

    void aFolderInPlaceOfAFileIsRefused()
    {
        QDir(m_dir.path()).mkdir("folder.qud");
        QCOMPARE(
            TestUtil::messageOf([&] { load_record_file(path("folder.qud"), 4, QByteArray(4, 0)); }),
            QStringLiteral("Accès au fichier refusé"));
    }

    void ioMessages()
    {
        QCOMPARE(ioErrorText(2), QStringLiteral("Fichier introuvable"));
        QCOMPARE(ioErrorText(3), QStringLiteral("Nom de fichier incorrect"));
        QCOMPARE(ioErrorText(4), QStringLiteral("Trop de fichiers ouverts"));
        QCOMPARE(ioErrorText(5), QStringLiteral("Accès au fichier refusé"));
        QCOMPARE(ioErrorText(100), QStringLiteral("Lecture au-delà de la fin de fichier"));
        QCOMPARE(ioErrorText(101), QStringLiteral("Disque plein"));
        QCOMPARE(ioErrorText(106), QStringLiteral("Saisie numérique incorrecte"));
        QCOMPARE(ioErrorText(32), QStringLiteral("Erreur E/S 32"));
    }

    void systemErrorsNeverPoseAsAnotherCode()
    {
        const struct
        {
            int err;
            const char *text;
        } cases[] = {
            {ENOENT, "Fichier introuvable"},
            {ENOTDIR, "Nom de fichier incorrect"},
            {EMFILE, "Trop de fichiers ouverts"},
            {EROFS, "Accès au fichier refusé"},
            {EDQUOT, "Disque plein"},
            // Their own numbers are 5, 100, 101 and 106 on this system.
            {EIO, "Erreur E/S 1005"},
            {ENETDOWN, "Erreur E/S 1100"},
            {ENETUNREACH, "Erreur E/S 1101"},
            {EISCONN, "Erreur E/S 1106"},
            {4242, "Erreur E/S 5242"},
            {-1, "Erreur E/S 1000"},
        };
        for (const auto &c : cases)
            QCOMPARE(ioErrorText(ioCodeFromErrno(c.err)), QString::fromUtf8(c.text));

        // A disk failing under a save is shown as such, and the file stays whole.
        writeBytes(path("eio.qud"), QByteArray("1234"));
        FileLayer::setFaultHook(
            [](FileLayer::Op op, const QString &) { return op == FileLayer::Op::Write ? EIO : 0; });
        const QString message = TestUtil::messageOf(
            [&] { save_record_file_overwrite(path("eio.qud"), QByteArray("zz")); });
        FileLayer::setFaultHook({});
        QCOMPARE(message, QStringLiteral("Erreur E/S 1005"));
        QCOMPARE(readBytes(path("eio.qud")), QByteArray("1234"));
    }
};
QUOR_TEST(RecordFileTest)

// Settings, speed table, catalogue and itinerary files.
class DataFilesTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    AppState m_state;

    void newProject(const QString &name)
    {
        QDir(m_dir.path()).mkpath(name);
        m_state.projectName = name;
    }

private slots:
    void init()
    {
        m_state = AppState();
        m_state.programDirectory = m_dir.path() + QLatin1Char('/');
    }

    void settingsRoundTripAndKeepOtherEntries()
    {
        const QString dir = m_state.programDirectory;
        QCOMPARE(read_settings(dir).projectName, QString());
        write_settings(dir, QString());
        QCOMPARE(readBytes(dir + "Quori.qud"),
                 QByteArray("[Projet]\r\nNom=\r\nItin\xE9raire=0\r\n"));

        writeBytes(dir + "Quori.qud",
                   QByteArray("[Autre]\r\ncle=valeur\r\n[projet]\r\nnom=Alpes\r\nX=1\r\n\r\n"
                              "[Fin]\r\nY=2\r\n"));
        QCOMPARE(read_settings(dir).projectName, QStringLiteral("Alpes"));
        write_settings(dir, QStringLiteral("Forêt"));
        QCOMPARE(readBytes(dir + "Quori.qud"),
                 QByteArray("[Autre]\r\ncle=valeur\r\n[projet]\r\nNom=For\xEAt\r\nX=1\r\n"
                            "Itin\xE9raire=0\r\n\r\n[Fin]\r\nY=2\r\n"));
        QCOMPARE(read_settings(dir).projectName, QStringLiteral("Forêt"));
    }

    void garbageSettingsGiveTheDefaults()
    {
        const QString dir = m_state.programDirectory;
        writeBytes(dir + "Quori.qud", QByteArray("\x01\x02 garbage = \xFF\n\n["));
        QCOMPARE(read_settings(dir).projectName, QString());
        writeBytes(dir + "Quori.qud", QByteArray("Nom=Alpes\n"));
        QCOMPARE(read_settings(dir).projectName, QString());
        writeBytes(dir + "Quori.qud", QByteArray("[Projet]\nItin\xE9raire=abc\n"));
        QCOMPARE(read_settings(dir).itinerary, 0);
        writeBytes(dir + "Quori.qud", QByteArray("[Projet]\nITIN\xC9RAIRE=7\n"));
        QCOMPARE(read_settings(dir).itinerary, 7);
    }

    void speedTableDefaultBytes()
    {
        load_speed_table(m_state);
        const QByteArray file = readBytes(m_state.programDirectory + "Quorc.qud");
        QCOMPARE(file.size(), 300);
        QCOMPARE(file.left(20), QByteArray("\x09"
                                           "Autoroute\0\0\0\0\0\0\x64\0\0\0",
                                           20));
        QCOMPARE(file.mid(40, 16), QByteArray("\x0e"
                                              "D\xE9partementale\0",
                                              16));
        const SpeedTable &t = m_state.speedTable;
        QCOMPARE(t.label(1), QStringLiteral("Nationnale"));
        QCOMPARE(t.label(5), QStringLiteral("Forestière"));
        QCOMPARE(t.label(9), QStringLiteral("Monté"));
        QCOMPARE(t.label(12), QStringLiteral("Arrêt"));
        const int values[15] = {100, 70, 50, 70, 50, 30, 15, 20, 25, 300, 4000, 500, 15, 30, 60};
        for (int i = 0; i < 15; ++i)
            QCOMPARE(t.value(i), values[i]);
    }

    void speedTableSaveChangesOnlyItsValue()
    {
        load_speed_table(m_state);
        const QString file = m_state.programDirectory + "Quorc.qud";
        QByteArray before = readBytes(file);
        m_state.speedTable.setValue(10, 3000);
        save_speed_table(m_state);
        const QByteArray after = readBytes(file);
        QCOMPARE(LittleEndian::readInt32(after, 10 * 20 + 16), 3000);
        before.replace(10 * 20 + 16, 4, after.mid(10 * 20 + 16, 4));
        QCOMPARE(after, before);
        QFile::remove(file);
        QCOMPARE(TestUtil::messageOf([&] { save_speed_table(m_state); }),
                 QStringLiteral("Fichier introuvable"));
    }

    void editedLabelsAreShownAsStored()
    {
        QByteArray block = SpeedTable::defaultBlock();
        CountedString::write(block, 0, 15, QStringLiteral("Voie rapide"));
        writeBytes(m_state.programDirectory + "Quorc.qud", block);
        load_speed_table(m_state);
        QCOMPARE(m_state.speedTable.label(0), QStringLiteral("Voie rapide"));
    }

    void newCatalogueIsEmpty()
    {
        newProject("Alpes");
        StringGrid grid(5, 50);
        grid.setCell(1, 3, "stale");
        load_catalogue(m_state, grid);
        QCOMPARE(readBytes(m_state.programDirectory + "Alpes/Quord.qud"), QByteArray(4400, '\0'));
        for (int r = 0; r < 50; ++r)
            for (int c = 0; c < 5; ++c)
                QVERIFY(grid.cell(c, r).isEmpty());
    }

    void catalogueFieldsRoundTrip()
    {
        newProject("Alpes");
        StringGrid grid(5, 50);
        load_catalogue(m_state, grid);
        grid.setCell(0, 0, QStringLiteral("col du Noir"));
        grid.setCell(0, 1, QStringLiteral("étang"));
        grid.setCell(1, 0, QString(45, QLatin1Char('t')));
        grid.setCell(1, 1, QStringLiteral("Forêt œuvre € 中"));
        grid.setCell(2, 0, QStringLiteral("07/03/05"));
        grid.setCell(3, 0, QStringLiteral("08:30"));
        grid.setCell(4, 0, QStringLiteral("00:00"));
        save_catalogue(m_state, grid);

        const QByteArray file = readBytes(m_state.programDirectory + "Alpes/Quord.qud");
        QCOMPARE(file.size(), 4400);
        QCOMPARE(file.left(12), QByteArray("\x0b"
                                           "COL DU NOIR"));
        QCOMPARE(file.mid(88, 7), QByteArray("\x05\xE9TANG\0", 7));
        QCOMPARE(file.at(16), char(40));
        QCOMPARE(file.mid(88 + 16, 17), QByteArray("\x0f"
                                                   "For\xEAt \x9Cuvre \x80 ?\0",
                                                   17));
        QCOMPARE(LittleEndian::readDouble(file, 64), dateToDays(QDate(2005, 3, 7)));
        QCOMPARE(LittleEndian::readDouble(file, 72), 8.5 / 24);
        QCOMPARE(LittleEndian::readDouble(file, 80), 0.0);

        // The grid itself keeps what was typed until the next load.
        QCOMPARE(grid.cell(0, 0), QStringLiteral("col du Noir"));
        load_catalogue(m_state, grid);
        QCOMPARE(grid.cell(0, 0), QStringLiteral("COL DU NOIR"));
        QCOMPARE(grid.cell(1, 0), QString(40, QLatin1Char('t')));
        QCOMPARE(grid.cell(1, 1), QStringLiteral("Forêt œuvre € ?"));
        QCOMPARE(grid.cell(2, 0), QStringLiteral("07/03/05"));
        QCOMPARE(grid.cell(3, 0), QStringLiteral("08:30"));
        QCOMPARE(grid.cell(4, 0), QString());
    }

    void badCatalogueCellWritesNothing()
    {
        newProject("Alpes");
        StringGrid grid(5, 50);
        load_catalogue(m_state, grid);
        const QByteArray before = readBytes(m_state.programDirectory + "Alpes/Quord.qud");
        grid.setCell(0, 0, "A");
        grid.setCell(2, 4, QStringLiteral("31/02/05"));
        QCOMPARE(TestUtil::messageOf([&] { save_catalogue(m_state, grid); }),
                 QStringLiteral("'31/02/05' n'est pas une date correcte"));
        grid.setCell(2, 4, QString());
        grid.setCell(3, 9, QStringLiteral("  :  "));
        QCOMPARE(TestUtil::messageOf([&] { save_catalogue(m_state, grid); }),
                 QStringLiteral("'  :  ' n'est pas une heure correcte"));
        QCOMPARE(readBytes(m_state.programDirectory + "Alpes/Quord.qud"), before);
    }

    void catalogueLongerFileKeepsItsTailAndShortFileKeepsTheGrid()
    {
        newProject("Alpes");
        const QString file = m_state.programDirectory + "Alpes/Quord.qud";
        writeBytes(file, QByteArray(4400, '\0') + "EXTRA");
        StringGrid grid(5, 50);
        load_catalogue(m_state, grid);
        grid.setCell(1, 0, "Titre");
        save_catalogue(m_state, grid);
        QCOMPARE(readBytes(file).mid(4400), QByteArray("EXTRA"));

        writeBytes(file, QByteArray(100, '\0'));
        QCOMPARE(TestUtil::messageOf([&] { load_catalogue(m_state, grid); }),
                 QStringLiteral("Lecture au-delà de la fin de fichier"));
        QCOMPARE(grid.cell(1, 0), QStringLiteral("Titre"));

        QFile::remove(file);
        QCOMPARE(TestUtil::messageOf([&] { save_catalogue(m_state, grid); }),
                 QStringLiteral("Fichier introuvable"));
        QVERIFY(!QFile::exists(file));
    }

    void newItineraryFile()
    {
        newProject("Alpes");
        StringGrid grid(7, 51);
        grid.setCell(0, 5, "old");
        load_itinerary(m_state, grid, 12);
        QCOMPARE(readBytes(m_state.programDirectory + "Alpes/quor12.qud"), QByteArray(4800, '\0'));
        const QStringList headers = {"LIEU",     "Moyen",    "Orientation", "Position",
                                     "Altitude", "Distance", "Heure"};
        for (int c = 0; c < 7; ++c) {
            QCOMPARE(grid.cell(c, 0), headers.at(c));
            for (int r = 1; r <= 50; ++r)
                QVERIFY(grid.cell(c, r).isEmpty());
        }
    }

    void itineraryFieldsRoundTripAndReservedBytesSurvive()
    {
        newProject("Alpes");
        const QString file = m_state.programDirectory + "Alpes/quor3.qud";
        QByteArray initial(4800, '\0');
        initial.replace(96 * 4 + 80, 8, QByteArray("RESERVED"));
        writeBytes(file, initial);

        StringGrid grid(7, 51);
        load_itinerary(m_state, grid, 3);
        grid.setCell(0, 1, QString(50, QLatin1Char('p')));
        grid.setCell(1, 1, QStringLiteral("MPX"));
        grid.setCell(2, 1, QStringLiteral("270"));
        grid.setCell(3, 1, QStringLiteral("31T 512345 4845678 extra"));
        grid.setCell(4, 1, QStringLiteral("1200"));
        grid.setCell(5, 1, QStringLiteral("-40"));
        grid.setCell(6, 1, QStringLiteral("08:30"));
        grid.setCell(4, 2, QStringLiteral("0"));
        grid.setCell(6, 2, QStringLiteral("00:00"));
        save_itinerary(m_state, grid, 3);

        const QByteArray bytes = readBytes(file);
        QCOMPARE(bytes.size(), 4800);
        QCOMPARE(bytes.at(0), char(40));
        QCOMPARE(bytes.mid(41, 3), QByteArray("\x02MP"));
        QCOMPARE(LittleEndian::readInt32(bytes, 44), 270);
        QCOMPARE(bytes.mid(48, 21), QByteArray("\x14"
                                               "31T 512345 4845678 e"));
        QCOMPARE(LittleEndian::readInt32(bytes, 72), 1200);
        QCOMPARE(LittleEndian::readInt32(bytes, 76), -40);
        QCOMPARE(LittleEndian::readDouble(bytes, 88), 8.5 / 24);
        QCOMPARE(bytes.mid(96 * 4 + 80, 8), QByteArray("RESERVED"));

        load_itinerary(m_state, grid, 3);
        QCOMPARE(grid.cell(0, 1), QString(40, QLatin1Char('p')));
        QCOMPARE(grid.cell(1, 1), QStringLiteral("MP"));
        QCOMPARE(grid.cell(5, 1), QStringLiteral("-40"));
        QCOMPARE(grid.cell(6, 1), QStringLiteral("08:30"));
        QCOMPARE(grid.cell(4, 2), QString());
        QCOMPARE(grid.cell(6, 2), QString());
    }

    void badItineraryCellWritesNothing()
    {
        newProject("Alpes");
        StringGrid grid(7, 51);
        load_itinerary(m_state, grid, 0);
        const QString file = m_state.programDirectory + "Alpes/quor0.qud";
        grid.setCell(5, 7, QStringLiteral("12 3"));
        QCOMPARE(TestUtil::messageOf([&] { save_itinerary(m_state, grid, 0); }),
                 QStringLiteral("'12 3' n'est pas une valeur entière correcte"));
        grid.setCell(5, 7, QString());
        grid.setCell(6, 9, QStringLiteral("8h"));
        QCOMPARE(TestUtil::messageOf([&] { save_itinerary(m_state, grid, 0); }),
                 QStringLiteral("'8h' n'est pas une heure correcte"));
        QCOMPARE(readBytes(file), QByteArray(4800, '\0'));
    }

    void projectPaths()
    {
        m_state.programDirectory = "/prog/";
        m_state.projectName = "Alpes/Ete";
        QCOMPARE(m_state.project_file("Quord.qud"), QStringLiteral("/prog/Alpes/Ete/Quord.qud"));
        QCOMPARE(project_name_from_folder("/Prog/", "/prog/Alpes"), QStringLiteral("Alpes"));
        QCOMPARE(project_name_from_folder("/Prog/", "/prog/Alpes/Ete"),
                 QStringLiteral("Alpes/Ete"));
        QCOMPARE(project_name_from_folder("/Prog/", "/prog"), QString());
        QCOMPARE(project_name_from_folder("/Prog/", "/Progé/x"), QStringLiteral("é/x"));
    }
};
QUOR_TEST(DataFilesTest)

#include "tst_files.moc"
