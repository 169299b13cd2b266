#include "common/testmain.h"
#include "common/testutil.h"
#include "data/catalogue.h"
#include "data/itinerary.h"
#include "data/quorerror.h"
#include "data/speedtable.h"
#include "data/stringgrid.h"
#include "editor/stagetimes.h"
#include "gps/routeinsertion.h"
#include "gpstestutil.h"

#include <QTest>

using namespace GpsTest;
using Itinerary::Column;

namespace {

using Move = QPair<int, int>;

// Three points going north 1000 m, then east 8000 m.
QList<Waypoint> threePoints()
{
    return {{"AA000", "500000", "4000000", "100"},
            {"AA001", "500000", "4001000", "600"},
            {"AA002", "508000", "4001000", "550"}};
}

} // namespace

// Route insertion on a stage grid without any window.
class RouteInsertionTest : public QObject
{
    Q_OBJECT
    StringGrid m_stages{Itinerary::kColumns, Itinerary::kGridRows};
    MoveLog m_log;
    QList<bool> m_enables;
    RouteInsertion::GridEnabler enabler()
    {
        return [this](bool enabled) { m_enables.append(enabled); };
    }

private slots:
    void init()
    {
        m_stages = StringGrid(Itinerary::kColumns, Itinerary::kGridRows);
        fillStages(m_stages);
        m_log = MoveLog();
        m_enables.clear();
    }

    void oneWaypointAtRow3()
    {
        m_stages.moveTo(Column::Place, 3);
        m_log.install(m_stages);
        const auto result = RouteInsertion::insert_route(
            m_stages, waypointLines({{"AA000", "512345", "4845678", "1200"}}), enabler());

        QCOMPARE(result.stagesWritten, 1);
        QCOMPARE(result.waypointsLeftOut, 0);
        // The time column keeps the pushed-down stage's time until it is recomputed.
        QCOMPARE(rowTexts(m_stages, 3),
                 QStringList({"AA000", "", "", "31T 512345 4845678", "1200", "", "c6r3"}));
        QCOMPARE(rowTexts(m_stages, 2), tracedRow(2));
        for (int r = 4; r <= 50; ++r)
            QCOMPARE(rowTexts(m_stages, r), tracedRow(r - 1));
        QCOMPARE(m_stages.row(), 4);
        QCOMPARE(m_stages.col(), int(Column::Distance));
        QCOMPARE(m_enables, QList<bool>({false, true}));
    }

    // Each cell is written only after the cursor has moved onto it, so the
    // select handler sees the cell before it is written.
    void everyWriteFollowsAMove()
    {
        m_stages.moveTo(Column::Time, 3);
        m_log.install(m_stages);
        RouteInsertion::insert_route(m_stages,
                                     waypointLines({{"AA000", "512345", "4845678", "1200"}}));
        QCOMPARE(m_log.moves,
                 QList<Move>({{0, 3}, {1, 3}, {2, 3}, {3, 3}, {4, 3}, {5, 3}, {5, 4}}));
        QCOMPARE(m_log.targetTexts,
                 QStringList({"c0r3", "c1r3", "c2r3", "c3r3", "c4r3", "c5r3", "c5r3"}));
    }

    void threeWaypoints()
    {
        m_stages.moveTo(Column::Place, 10);
        m_log.install(m_stages);
        const auto result =
            RouteInsertion::insert_route(m_stages, waypointLines(threePoints()), enabler());
        QCOMPARE(result.stagesWritten, 3);
        QCOMPARE(rowTexts(m_stages, 10),
                 QStringList({"AA000", "M ", "360", "31T 500000 4000000", "100", "1000", "c6r10"}));
        QCOMPARE(rowTexts(m_stages, 11),
                 QStringList({"AA001", "M ", "90", "31T 500000 4001000", "600", "8000", "c6r10"}));
        QCOMPARE(rowTexts(m_stages, 12),
                 QStringList({"AA002", "", "", "31T 508000 4001000", "550", "", "c6r10"}));
        QCOMPARE(rowTexts(m_stages, 9), tracedRow(9));
        QCOMPARE(rowTexts(m_stages, 13), tracedRow(10));
        QCOMPARE(rowTexts(m_stages, 50), tracedRow(47));
        QCOMPARE(m_stages.row(), 13);
        QCOMPARE(m_log.moves.size(), 20);
        QCOMPARE(m_log.moves.last(), Move(5, 13));
        QCOMPARE(m_enables, QList<bool>({false, true}));
    }

    void identicalConsecutivePoints()
    {
        m_stages.moveTo(Column::Place, 1);
        RouteInsertion::insert_route(m_stages,
                                     waypointLines({{"AA000", "512345", "4845678", "900"},
                                                    {"AA001", "512345", "4845678", "900"}}));
        QCOMPARE(m_stages.cell(Column::Orientation, 1), QStringLiteral("360"));
        QCOMPARE(m_stages.cell(Column::Distance, 1), QStringLiteral("0"));
        QCOMPARE(m_stages.cell(Column::Means, 1), QStringLiteral("M "));
    }

    void altitudeIsCopiedAsStored()
    {
        m_stages.moveTo(Column::Place, 1);
        RouteInsertion::insert_route(m_stages,
                                     waypointLines({{"AA000", "512345", "4845678", "env. 900"},
                                                    {"AA001", "512345", "4845700", ""}}));
        QCOMPARE(m_stages.cell(Column::Altitude, 1), QStringLiteral("env. 900"));
        QCOMPARE(m_stages.cell(Column::Altitude, 2), QString());
    }

    void threeWaypointsAtRow48FillTheGrid()
    {
        m_stages.moveTo(Column::Place, 48);
        const auto result =
            RouteInsertion::insert_route(m_stages, waypointLines(threePoints()), enabler());
        QCOMPARE(result.stagesWritten, 3);
        QCOMPARE(result.waypointsLeftOut, 0);
        QCOMPARE(m_stages.cell(Column::Place, 48), QStringLiteral("AA000"));
        QCOMPARE(m_stages.cell(Column::Place, 49), QStringLiteral("AA001"));
        QCOMPARE(rowTexts(m_stages, 50),
                 QStringList({"AA002", "", "", "31T 508000 4001000", "550", "", "c6r48"}));
        QCOMPARE(rowTexts(m_stages, 47), tracedRow(47));
        QCOMPARE(m_stages.row(), 50);
        QCOMPARE(m_enables, QList<bool>({false, true}));
    }

    void fiveWaypointsAtRow49StopAtRow50()
    {
        m_stages.moveTo(Column::Place, 49);
        m_log.install(m_stages);
        const auto result =
            RouteInsertion::insert_route(m_stages, waypointLines(manyPoints(5)), enabler());
        QCOMPARE(result.stagesWritten, 2);
        QCOMPARE(result.waypointsLeftOut, 3);
        QCOMPARE(rowTexts(m_stages, 49),
                 QStringList({"AB000", "M ", "90", "31T 500000 4000000", "200", "100", "c6r49"}));
        QCOMPARE(rowTexts(m_stages, 50),
                 QStringList({"AB001", "M ", "90", "31T 500100 4000000", "201", "100", "c6r49"}));
        QCOMPARE(rowTexts(m_stages, 48), tracedRow(48));
        QCOMPARE(m_stages.row(), 50);
        QCOMPARE(m_stages.col(), int(Column::Distance));
        QCOMPARE(m_log.moves.last(), Move(5, 50));
        QCOMPARE(m_enables, QList<bool>({false, true}));
        QCOMPARE(RouteInsertion::waypointsLeftOutText(result.waypointsLeftOut),
                 QStringLiteral("L'itinéraire est plein à la ligne 50 : 3 points de la route "
                                "n'ont pas été insérés."));
    }

    void insertionAtRow50OverwritesItAndLeavesOneOut()
    {
        m_stages.moveTo(Column::Place, 50);
        const auto result = RouteInsertion::insert_route(m_stages, waypointLines(manyPoints(2)));
        QCOMPARE(result.stagesWritten, 1);
        QCOMPARE(result.waypointsLeftOut, 1);
        QCOMPARE(m_stages.cell(Column::Place, 50), QStringLiteral("AB000"));
        QCOMPARE(rowTexts(m_stages, 49), tracedRow(49));
        QCOMPARE(m_stages.row(), 50);
        QCOMPARE(RouteInsertion::waypointsLeftOutText(1),
                 QStringLiteral("L'itinéraire est plein à la ligne 50 : 1 point de la route "
                                "n'a pas été inséré."));
    }

    // A bad number stops the insertion before the stage that needs it: the
    // stages before stay, no row is half written, the grid is usable again.
    void nonIntegerEastingStopsTheInsertion()
    {
        QList<Waypoint> points = manyPoints(4);
        points[2].easting = QStringLiteral("51x2");
        m_stages.moveTo(Column::Place, 5);
        const QString message = TestUtil::messageOf(
            [&] { RouteInsertion::insert_route(m_stages, waypointLines(points), enabler()); });
        QCOMPARE(message, QStringLiteral("'51x2' n'est pas une valeur entière correcte"));
        QCOMPARE(rowTexts(m_stages, 5),
                 QStringList({"AB000", "M ", "90", "31T 500000 4000000", "200", "100", "c6r5"}));
        QCOMPARE(m_stages.row(), 6);
        QCOMPARE(rowTexts(m_stages, 6), tracedRow(5));
        QCOMPARE(rowTexts(m_stages, 7), tracedRow(6));
        QCOMPARE(rowTexts(m_stages, 50), tracedRow(49));
        QCOMPARE(m_enables, QList<bool>({false, true}));
    }

    void nonIntegerNorthingOfTheFirstWaypointChangesNothing()
    {
        QList<Waypoint> points = manyPoints(2);
        points[0].northing = QStringLiteral("4 000 000");
        m_stages.moveTo(Column::Place, 5);
        const QList<QStringList> before = allRows(m_stages);
        QCOMPARE(TestUtil::messageOf([&] {
                     RouteInsertion::insert_route(m_stages, waypointLines(points), enabler());
                 }),
                 QStringLiteral("'4 000 000' n'est pas une valeur entière correcte"));
        QCOMPARE(allRows(m_stages), before);
        QCOMPARE(m_enables, QList<bool>({false, true}));
    }

    // A failing time computation ends the insertion too; the grid comes back.
    void failingSelectHandlerStillEnablesTheGrid()
    {
        m_stages.moveTo(Column::Place, 5);
        m_stages.setSelectHandler(
            [](int, int) { throw QuorError(QStringLiteral("'x' n'est pas une heure correcte")); });
        QCOMPARE(TestUtil::messageOf([&] {
                     RouteInsertion::insert_route(m_stages, waypointLines(threePoints()),
                                                  enabler());
                 }),
                 QStringLiteral("'x' n'est pas une heure correcte"));
        QCOMPARE(m_enables, QList<bool>({false, true}));
    }

    void trailingPartRecordIsNotInserted()
    {
        QStringList lines = waypointLines({{"AA000", "512345", "4845678", "1200"}});
        lines << "AA001"
              << "bad"
              << "bad";
        m_stages.moveTo(Column::Place, 3);
        const auto result = RouteInsertion::insert_route(m_stages, lines);
        QCOMPARE(result.stagesWritten, 1);
        QCOMPARE(m_stages.cell(Column::Means, 3), QString());
        QCOMPARE(m_stages.row(), 4);
    }

    void cursorOnTheHeaderInsertsAtTheFirstStage()
    {
        m_stages.moveTo(Column::Place, 0);
        RouteInsertion::insert_route(m_stages, waypointLines(manyPoints(1)));
        QCOMPARE(rowTexts(m_stages, 0), tracedHeader());
        QCOMPARE(m_stages.cell(Column::Place, 1), QStringLiteral("AB000"));
        QCOMPARE(rowTexts(m_stages, 2), tracedRow(1));
    }

    // With the program's time computation as select handler, the moves of the
    // insertion choose the walking codes and the times.
    void timesAreRecomputedByTheMoves()
    {
        StringGrid catalogue(Catalogue::kColumns, Catalogue::kRows);
        catalogue.setCell(Catalogue::Departure, 0, QStringLiteral("08:00"));
        SpeedTable speeds;
        speeds.setValue(9, 300);   // walking uphill, metres per hour
        speeds.setValue(10, 4000); // walking on the flat
        speeds.setValue(11, 500);  // walking downhill
        StringGrid stages(Itinerary::kColumns, Itinerary::kGridRows);
        for (int c = 0; c < Itinerary::kColumns; ++c)
            stages.setCell(c, 0, Itinerary::headerText(c));
        stages.moveTo(Column::Place, 1);
        stages.setSelectHandler(
            [&](int, int) { compute_stage_times(stages, catalogue, 0, speeds); });

        RouteInsertion::insert_route(stages, waypointLines(threePoints()));

        // 500 m up over 1000 m: the climb takes longer; 50 m down over 8000 m:
        // the flat does.
        QCOMPARE(stages.cell(Column::Means, 1), QStringLiteral("MM"));
        QCOMPARE(stages.cell(Column::Means, 2), QStringLiteral("MP"));
        QCOMPARE(stages.cell(Column::Means, 3), QString());
        QCOMPARE(stages.cell(Column::Time, 1), QStringLiteral("08:00"));
        QCOMPARE(stages.cell(Column::Time, 2), QStringLiteral("09:40"));
        QCOMPARE(stages.cell(Column::Time, 3), QStringLiteral("11:40"));
        QCOMPARE(catalogue.cell(Catalogue::Arrival, 0), QStringLiteral("11:40"));
    }

private:
    static QStringList tracedHeader()
    {
        QStringList texts;
        for (int c = 0; c < Itinerary::kColumns; ++c)
            texts << Itinerary::headerText(c);
        return texts;
    }
};
QUOR_TEST(RouteInsertionTest)

#include "tst_routeinsertion.moc"
