#include "common/testmain.h"
#include "common/testutil.h"
#include "data/itinerary.h"
#include "data/stringgrid.h"
#include "gps/coordinates.h"
#include "gps/gpxexport.h"
#include "gps/routeinsertion.h"
#include "routetrack.h"
#include "walks/comparisonsheet.h"
#include "walks/recordedwalk.h"
#include "walks/trackcomparison.h"

#include <QTest>

using namespace RouteTrack;

namespace {
// Ten pixels a character, twenty high, whatever the size.
class FixedMetrics : public TextMetrics
{
public:
    QSize textSize(const QString &text, int) const override { return {10 * int(text.size()), 20}; }
};
} // namespace

class TrackComparisonTest : public QObject
{
    Q_OBJECT
    StringGrid m_stages{Itinerary::kColumns, Itinerary::kGridRows};
    GpxExport::StageDatums m_datums;

private slots:
    void init()
    {
        // As "Insère Routes" writes the route into an empty itinerary.
        m_stages = StringGrid(Itinerary::kColumns, Itinerary::kGridRows);
        m_stages.moveTo(Itinerary::Place, 1);
        const QStringList lines = GpsTest::waypointLines(kOutAndBack);
        RouteInsertion::insert_route(m_stages, lines);
        m_datums.clear();
        for (int row = 1; row <= kOutAndBack.size(); ++row)
            m_datums.insert(GpxExport::stageDatumKey(m_stages.cell(Itinerary::Place, row),
                                                     m_stages.cell(Itinerary::Position, row)),
                            QStringLiteral("ED50"));
        const char *planned[] = {"08:00", "08:20", "08:45", "09:05", "09:30"};
        for (int row = 1; row <= 5; ++row)
            m_stages.setCell(Itinerary::Time, row, QLatin1String(planned[row - 1]));
    }

    void everyStagePassedToTheMinuteAsCsv()
    {
        const RecordedWalk walk =
            RecordedWalks::fromTrack(trackOf(kOutAndBack, kArrivals), QStringLiteral("Lac"),
                                     RecordedWalks::Altitudes::Recorded, {});
        const auto positions =
            TrackComparisons::stagePositions(m_stages, m_datums, QStringLiteral("WGS84"));
        const TrackComparison c =
            TrackComparisons::compare(m_stages, QStringLiteral("Lac"), positions, walk);
        // The turning stage is passed once, and the way back passes B again.
        QCOMPARE(c.stages.size(), 5);
        QCOMPARE(c.legs.size(), 4);
        const QByteArray expected =
            "\xEF\xBB\xBF"
            "Étape;Lieu;Heure prévue;Heure de passage;Écart au point (m);Durée prévue (min);"
            "Durée réelle (min);Différence (min);Arrêts;Durée des arrêts (min)\r\n"
            "1;AA000;08:00;08:00;0;;;;;\r\n"
            "2;AA001;08:20;08:17;0;20,0;17,3;-2,7;0;0,0\r\n"
            "3;AA002;08:45;08:40;0;25,0;23,5;-1,5;0;0,0\r\n"
            "4;AA003;09:05;09:05;0;20,0;24,3;4,3;1;5,0\r\n"
            "5;AA004;09:30;09:25;0;25,0;20,5;-4,5;0;0,0\r\n";
        QCOMPARE(TrackComparisons::csv(c, QTimeZone("Europe/Paris")), expected);
    }

    void placesReachTheSpreadsheetAsText()
    {
        // A place like a formula is shown, never run; a separator is quoted.
        m_stages.setCell(Itinerary::Place, 1, "=SOMME(A1)");
        m_stages.setCell(Itinerary::Place, 2, "Col; \"du\" Lac");
        const RecordedWalk walk = RecordedWalks::fromTrack(trackOf(kOutAndBack, kArrivals), {},
                                                           RecordedWalks::Altitudes::Recorded, {});
        const TrackComparison c = TrackComparisons::compare(
            m_stages, {}, TrackComparisons::stagePositions(m_stages, {}, "ED50"), walk);
        const QList<QByteArray> lines = TrackComparisons::csv(c, QTimeZone::utc()).split('\n');
        QVERIFY(lines.at(1).startsWith("1;'=SOMME(A1);08:00;06:00;"));
        QVERIFY(lines.at(2).startsWith("2;\"Col; \"\"du\"\" Lac\";08:20;06:17;"));
    }

    void aStageOffTheWalkIsNotPassed()
    {
        // C moved 95 m north is passed, 105 m north is not; the other stages
        // still are, in turn.
        const RecordedWalk walk = RecordedWalks::fromTrack(trackOf(kOutAndBack, kArrivals), {},
                                                           RecordedWalks::Altitudes::Recorded, {});
        for (const auto &[north, passed] : {std::pair{95, true}, std::pair{105, false}}) {
            m_stages.setCell(Itinerary::Position, 3,
                             QStringLiteral("31T 372000 %1").arg(4736500 + north));
            const auto positions =
                TrackComparisons::stagePositions(m_stages, {}, QStringLiteral("ED50"));
            const TrackComparison c = TrackComparisons::compare(m_stages, {}, positions, walk);
            QCOMPARE(c.stages.at(2).passedMs.has_value(), passed);
            QCOMPARE(c.stages.at(3).passedMs, std::optional<qint64>(kSixUtc + 3910'000));
            const QStringList row = TrackComparisons::rows(c, QTimeZone("Europe/Paris")).at(2);
            QCOMPARE(row.at(3), passed ? QStringLiteral("08:40") : QStringLiteral("non passée"));
        }
    }

    void thePrintedTableFitsThePage()
    {
        // A page of 2000 x 2800 pixels: virtual units and pixels agree.
        const QStringList titles{"Étape", "Lieu", "a", "b", "c", "d", "e", "f", "Arrêts"};
        QList<QStringList> rows;
        for (int r = 1; r <= 41; ++r)
            rows << QStringList{QString::number(r),
                                QString(300, QLatin1Char('L')),
                                "08:00",
                                "08:10",
                                "12",
                                "7 min",
                                "9 min",
                                "2 min",
                                "1 (5 min)"};
        const QList<SheetOperation> ops = ComparisonSheet::layout(
            "Lac", "Comparé", titles, rows, QSize(2000, 2800), FixedMetrics());
        int pages = 1;
        int titleRows = 0;
        int rightmost = 0;
        QString place;
        for (const SheetOperation &op : ops) {
            pages += op.kind == SheetOperation::Kind::NewPage;
            titleRows += op.text == "Étape";
            if (op.kind == SheetOperation::Kind::Text)
                rightmost = std::max(rightmost, op.from.x() + 10 * int(op.text.size()));
            if (op.text.startsWith('L') && op.from.x() == 50 + 50 + 30)
                place = op.text;
        }
        QCOMPARE(pages, 2);
        QCOMPARE(titleRows, 2);
        // The places give way: the nine columns end at the right margin.
        QCOMPARE(rightmost, 1950);
        QVERIFY(!place.isEmpty() && place.size() < 300);
    }

    void theProjectsDatum()
    {
        QCOMPARE(TrackComparisons::projectDatum({{"a", "ED50"}, {"b", "ed50"}}),
                 std::optional<QString>(QStringLiteral("ED50")));
        QCOMPARE(TrackComparisons::projectDatum({{"a", "ED50"}, {"b", "WGS84"}}), std::nullopt);
        QCOMPARE(TrackComparisons::projectDatum({}), std::nullopt);
    }

    void anItineraryWithoutPositionsIsRefused()
    {
        const RecordedWalk walk = RecordedWalks::fromTrack(trackOf(kOutAndBack, kArrivals), {},
                                                           RecordedWalks::Altitudes::Recorded, {});
        QCOMPARE(TestUtil::messageOf([&] { TrackComparisons::compare(m_stages, {}, {}, walk); }),
                 QStringLiteral("Aucune étape de l'itinéraire n'a de position : il n'y a rien à "
                                "comparer."));
    }
};

QUOR_TEST(TrackComparisonTest)

#include "tst_comparison.moc"
