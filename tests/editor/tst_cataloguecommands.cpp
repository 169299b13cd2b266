#include "common/testmain.h"
#include "common/testutil.h"
#include "data/appstate.h"
#include "data/catalogue.h"
#include "data/filelayer.h"
#include "data/quorerror.h"
#include "data/stringgrid.h"
#include "editor/cataloguecommands.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>

using namespace TestUtil;

namespace {

struct Project
{
    QTemporaryDir dir;
    AppState state;
    StringGrid grid{5, 50};

    Project()
    {
        state.programDirectory = dir.path() + QLatin1Char('/');
        state.projectName = QStringLiteral("P");
        QDir(dir.path()).mkdir("P");
        load_catalogue(state, grid);
    }
    QString file(int n) const { return state.project_file(QStringLiteral("quor%1.qud").arg(n)); }
    // Rows 0..count-1 titled T0.., each with an itinerary file holding its number.
    void fill(int count, bool withFiles = true)
    {
        for (int r = 0; r < count; ++r) {
            grid.setCell(0, r, QStringLiteral("C%1").arg(r));
            grid.setCell(1, r, QStringLiteral("T%1").arg(r));
            if (withFiles)
                writeBytes(file(r), QByteArray::number(r));
        }
        save_catalogue(state, grid);
    }
    QStringList titles() const
    {
        QStringList out;
        for (int r = 0; r < 50; ++r)
            out << grid.cell(1, r);
        return out;
    }
    QStringList fileContents() const
    {
        QStringList out;
        for (int n = 0; n < 50; ++n)
            out << (QFile::exists(file(n)) ? QString::fromLatin1(readBytes(file(n)))
                                           : QString("-"));
        return out;
    }
    QStringList savedTitles()
    {
        StringGrid saved(5, 50);
        AppState copy = state;
        load_catalogue(copy, saved);
        QStringList out;
        for (int r = 0; r < 50; ++r)
            out << saved.cell(1, r);
        return out;
    }
};

QStringList padded(QStringList list, const QString &fill)
{
    while (list.size() < 50)
        list << fill;
    return list;
}

} // namespace

// Catalogue rows and their itinerary files move together.
class CatalogueCommandsTest : public QObject
{
    Q_OBJECT
private slots:
    void deleteRowThreeOfSix()
    {
        Project p;
        p.fill(6);
        deleteCatalogueRow(p.state, p.grid, 3);
        const QStringList titles = padded({"T0", "T1", "T2", "T4", "T5"}, "");
        QCOMPARE(p.titles(), titles);
        QCOMPARE(p.fileContents(), padded({"0", "1", "2", "4", "5"}, "-"));
        QCOMPARE(p.savedTitles(), titles);
        QVERIFY(QDir(p.state.projectDirectory())
                    .entryList(QDir::Hidden | QDir::Files)
                    .filter("supprime")
                    .isEmpty());
    }

    void deleteRowWithoutItsFile()
    {
        Project p;
        p.fill(4);
        QFile::remove(p.file(1));
        deleteCatalogueRow(p.state, p.grid, 1);
        QCOMPARE(p.titles(), padded({"T0", "T2", "T3"}, ""));
        QCOMPARE(p.fileContents(), padded({"0", "2", "3"}, "-"));
        // A gap in the files moves up with its row.
        QFile::remove(p.file(1));
        deleteCatalogueRow(p.state, p.grid, 0);
        QCOMPARE(p.fileContents(), padded({"-", "3"}, "-"));
    }

    void deleteLastRow()
    {
        Project p;
        p.fill(50);
        deleteCatalogueRow(p.state, p.grid, 49);
        QCOMPARE(p.grid.cell(1, 49), QString());
        QVERIFY(!QFile::exists(p.file(49)));
        QCOMPARE(readBytes(p.file(48)), QByteArray("48"));
    }

    void insertAtTopOfAFullCatalogue()
    {
        Project p;
        p.fill(50);
        insertCatalogueRow(p.state, p.grid, 0);
        QCOMPARE(p.grid.cell(1, 0), QString());
        QCOMPARE(p.grid.cell(0, 0), QString());
        QCOMPARE(p.grid.cell(1, 1), QStringLiteral("T0"));
        QCOMPARE(p.grid.cell(1, 49), QStringLiteral("T48"));
        QVERIFY(!QFile::exists(p.file(0)));
        QCOMPARE(readBytes(p.file(1)), QByteArray("0"));
        QCOMPARE(readBytes(p.file(49)), QByteArray("48"));
        QCOMPARE(p.savedTitles(), p.titles());
    }

    void insertAtRow49()
    {
        Project p;
        p.fill(50);
        insertCatalogueRow(p.state, p.grid, 49);
        QCOMPARE(p.grid.cell(1, 49), QString());
        QCOMPARE(p.grid.cell(1, 48), QStringLiteral("T48"));
        QVERIFY(!QFile::exists(p.file(49)));
        QCOMPARE(readBytes(p.file(48)), QByteArray("48"));
    }

    void badDateStopsBeforeAnyFileMoves()
    {
        Project p;
        p.fill(6);
        p.grid.setCell(2, 5, QStringLiteral("31/02/05"));
        const QByteArray catalogue = readBytes(p.state.project_file("Quord.qud"));
        try {
            deleteCatalogueRow(p.state, p.grid, 2);
            QFAIL("no error");
        } catch (const QuorError &e) {
            QCOMPARE(e.text(), QStringLiteral("'31/02/05' n'est pas une date correcte"));
        }
        QCOMPARE(p.fileContents(), padded({"0", "1", "2", "3", "4", "5"}, "-"));
        QCOMPARE(p.grid.cell(1, 2), QStringLiteral("T2"));
        QCOMPARE(readBytes(p.state.project_file("Quord.qud")), catalogue);
    }

    void aRefusedRenamePutsEveryFileBack()
    {
        Project p;
        p.fill(6);
        const QByteArray catalogue = readBytes(p.state.project_file("Quord.qud"));
        const QString locked = p.file(4);
        FileLayer::setFaultHook([locked](FileLayer::Op op, const QString &path) {
            return (op == FileLayer::Op::Rename && path == locked) ? EACCES : 0;
        });
        QString message;
        try {
            deleteCatalogueRow(p.state, p.grid, 1);
        } catch (const QuorError &e) {
            message = e.text();
        }
        FileLayer::setFaultHook({});
        QCOMPARE(message, QStringLiteral("Accès au fichier refusé"));
        QCOMPARE(p.fileContents(), padded({"0", "1", "2", "3", "4", "5"}, "-"));
        QCOMPARE(p.titles(), padded({"T0", "T1", "T2", "T3", "T4", "T5"}, ""));
        QCOMPARE(readBytes(p.state.project_file("Quord.qud")), catalogue);
    }

    void aFailedCatalogueSaveUndoesTheRenames()
    {
        Project p;
        p.fill(3);
        QFile::remove(p.state.project_file("Quord.qud"));
        try {
            insertCatalogueRow(p.state, p.grid, 0);
            QFAIL("no error");
        } catch (const QuorError &e) {
            QCOMPARE(e.text(), QStringLiteral("Fichier introuvable"));
        }
        QCOMPARE(p.fileContents(), padded({"0", "1", "2"}, "-"));
        QCOMPARE(p.grid.cell(1, 0), QStringLiteral("T0"));
    }

    void stageRows()
    {
        StringGrid g(7, 51);
        for (int r = 1; r <= 50; ++r)
            g.setCell(0, r, QStringLiteral("S%1").arg(r));
        insertStageRow(g, 4);
        QCOMPARE(g.cell(0, 4), QStringLiteral("S4"));
        QCOMPARE(g.cell(0, 5), QStringLiteral("S4"));
        QCOMPARE(g.cell(0, 50), QStringLiteral("S49"));
        deleteStageRow(g, 4);
        QCOMPARE(g.cell(0, 4), QStringLiteral("S4"));
        QCOMPARE(g.cell(0, 49), QStringLiteral("S49"));
        QCOMPARE(g.cell(0, 50), QString());
        g.setCell(0, 50, "last");
        deleteStageRow(g, 50);
        QCOMPARE(g.cell(0, 50), QString());
        QCOMPARE(g.cell(0, 49), QStringLiteral("S49"));
        insertStageRow(g, 50);
        QCOMPARE(g.cell(0, 50), QString());
    }
};
QUOR_TEST(CatalogueCommandsTest)

#include "tst_cataloguecommands.moc"
