#include "app/quorapp.h"
#include "app/tquor.h"
#include "common/testmain.h"
#include "common/testutil.h"
#include "data/gpxfile.h"
#include "data/itinerary.h"
#include "data/speedtable.h"
#include "platform/fakeplatform.h"
#include "routetrack.h"
#include "walker.h"
#include "walks/comparisondialog.h"
#include "walks/learnspeedsdialog.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using namespace TestUtil;

namespace {

// A program folder with the project "Alpes" open, its catalogue row 0
// titled "Lac", and the recorded walk `track` in "marche.gpx".
struct Program
{
    explicit Program(const GpxPath &track)
    {
        QDir(dir.path()).mkdir("Alpes");
        QByteArray catalogue(4400, '\0');
        catalogue.replace(16, 4, QByteArray("\x03Lac"));
        writeBytes(dir.path() + "/Alpes/Quord.qud", catalogue);
        writeBytes(dir.path() + "/Quori.qud", "[Projet]\r\nNom=Alpes\r\n");
        GpxDocument doc;
        doc.tracks = {track};
        Gpx::write(walkPath(), doc);
        app.emplace(platform, dir.path());
    }
    QString walkPath() const { return dir.path() + "/Alpes/marche.gpx"; }
    TQuor &main() { return *app->main; }

    QTemporaryDir dir;
    FakePlatform platform;
    std::optional<QuorApp> app;
};

QString cell(QTableWidget *table, int row, int column)
{
    return table->item(row, column) ? table->item(row, column)->text() : QString();
}

} // namespace

class WalkWindowsTest : public QObject
{
    Q_OBJECT

private slots:
    void learnedRatesAreAppliedAfterTheQuestionOnly()
    {
        Walker w;
        w.walk(3000, 0);
        w.stop(600);
        w.walk(2000, 400);
        w.walk(1600, -400);
        w.stop(3600);
        w.walk(2500, 30);
        Program p(w.path());
        const QString speeds = p.dir.path() + "/Quorc.qud";
        const QByteArray before = readBytes(speeds);
        QCOMPARE(p.main().ApprendreVitesses1->text(), "Apprendre mes vitesses…");

        QList<int> shown;
        QStringList texts;
        auto script = [&](QDialog &d) {
            auto &dialog = dynamic_cast<LearnSpeedsDialog &>(d);
            shown.clear();
            for (int r = 0; r < 3; ++r)
                shown << cell(dialog.rates, r, 2).toInt();
            texts = QStringList{dialog.windowTitle(), cell(dialog.rates, 1, 0),
                                cell(dialog.rates, 1, 1), dialog.stopsText->text(),
                                cell(dialog.errors, 0, 4)};
            return true;
        };
        // "Appliquer", then "&Non" to the question: nothing is written.
        p.platform.openFilesAnswers = {{p.walkPath()}};
        p.platform.dialogScripts = {script};
        p.platform.confirmAnswers = {false};
        p.main().ApprendreVitesses1->trigger();
        QVERIFY2(p.platform.errors.isEmpty(), qPrintable(p.platform.errors.join('\n')));
        QCOMPARE(p.platform.questions,
                 QStringList("Remplacer les vitesses de marche de la table (Monté, Plat, "
                             "Descente) par celles apprises ?"));
        QCOMPARE(readBytes(speeds), before);
        QCOMPARE(texts, QStringList({"Apprendre mes vitesses", "Plat", "4000",
                                     "2 arrêts ; durée médiane 35 min, le plus long 1 h 00. (vos "
                                     "poses : Arrêt 15 min, Collation 30 min, Repas 60 min)",
                                     "—"}));

        p.platform.openFilesAnswers = {{p.walkPath()}};
        p.platform.dialogScripts = {script};
        p.platform.confirmAnswers = {true};
        p.main().ApprendreVitesses1->trigger();
        QVERIFY(std::abs(shown[0] - 450) <= 9 && std::abs(shown[1] - 4800) <= 96 &&
                std::abs(shown[2] - 700) <= 14);
        // Only the values of entries 9, 10 and 11 change.
        QByteArray expected = before;
        for (int i = 0; i < 3; ++i)
            qToLittleEndian<qint32>(shown[i], expected.data() + (9 + i) * 20 + 16);
        QCOMPARE(readBytes(speeds), expected);
        QCOMPARE(p.main().state().speedTable.value(10), shown[1]);
    }

    void aFileWithoutTracksIsRefused()
    {
        Program p(GpxPath{});
        p.platform.openFilesAnswers = {{p.walkPath()}};
        p.main().ApprendreVitesses1->trigger();
        QCOMPARE(p.platform.errors,
                 QStringList("Le fichier « marche.gpx » ne contient aucune trace : il faut "
                             "l'enregistrement d'une marche, avec l'heure de ses points."));
        QCOMPARE(p.platform.dialogsRun, 0);
    }

    void theItineraryAgainstTheWalk()
    {
        using namespace RouteTrack;
        Program p(trackOf(kOutAndBack, kArrivals));
        TQuor &main = p.main();
        QVERIFY(!main.ComparerTrace1->isEnabled());
        main.Itinraire1->trigger();
        QVERIFY(main.ComparerTrace1->isEnabled());
        QCOMPARE(main.ComparerTrace1->text(), "Comparer avec une trace…");
        StringGrid &stages = main.stageGrid();
        const char *planned[] = {"08:00", "08:20", "08:45", "09:05", "09:30"};
        for (int row = 1; row <= 5; ++row) {
            const Waypoint &w = kOutAndBack.at(row - 1);
            stages.setCell(Itinerary::Place, row, w.label);
            stages.setCell(Itinerary::Position, row,
                           QStringLiteral("31T %1 %2").arg(w.easting, w.northing));
            stages.setCell(Itinerary::Time, row, QLatin1String(planned[row - 1]));
        }
        const StringGrid grid = stages;
        const QString itinerary = p.dir.path() + "/Alpes/quor0.qud";
        const QByteArray saved = readBytes(itinerary);
        const QString csv = p.dir.path() + "/Alpes/lac.csv";
        const QString pdf = p.dir.path() + "/lac.pdf";
        p.platform.openFileAnswers = {p.walkPath()};
        // No map of the project tells the positions' datum: the user says ED50.
        p.platform.itemAnswers = {0};
        p.platform.saveFileAnswers = {csv};
        p.platform.printAnswers = {true};
        p.platform.preparePrinter = [&](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
        };
        QStringList texts;
        p.platform.dialogScripts = {[&](QDialog &d) {
            auto &dialog = dynamic_cast<ComparisonDialog &>(d);
            texts = QStringList{dialog.heading->text(), cell(dialog.table, 3, 3),
                                cell(dialog.table, 3, 6), cell(dialog.table, 3, 8)};
            dialog.exporter->click();
            dialog.imprimer->click();
            return false;
        }};
        main.ComparerTrace1Click();
        QVERIFY2(p.platform.errors.isEmpty(), qPrintable(p.platform.errors.join('\n')));
        QCOMPARE(p.platform.itemChoices, QList<QStringList>({{"ED50", "WGS84"}}));
        const QString passed =
            QDateTime::fromMSecsSinceEpoch(kSixUtc + kArrivals[3] * 1000).toString("HH:mm");
        QCOMPARE(texts, QStringList({"Lac : Comparé à la trace « Lac » (étapes passées à moins "
                                     "de 100 m)",
                                     passed, "24 min", "1 (5 min)"}));
        QVERIFY(readBytes(csv).startsWith("\xEF\xBB\xBF\xC3\x89tape;Lieu;"));
        QVERIFY(readBytes(pdf).startsWith("%PDF"));
        // The itinerary is as it was, and no file of it was written.
        for (int row = 0; row <= Itinerary::kStages; ++row) {
            for (int c = 0; c < Itinerary::kColumns; ++c)
                QCOMPARE(stages.cell(c, row), grid.cell(c, row));
        }
        QCOMPARE(readBytes(itinerary), saved);
    }
};

QUOR_TEST(WalkWindowsTest)

#include "tst_walkwindows.moc"
