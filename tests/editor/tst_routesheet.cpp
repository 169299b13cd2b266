#include "common/testmain.h"
#include "data/itinerary.h"
#include "data/quorerror.h"
#include "data/stringgrid.h"
#include "editor/routesheet.h"

#include <QTest>

namespace {

using Op = SheetOperation;

// Sizes that make every conversion easy to follow by hand: a text is as wide
// as its length times its size in points and twice its size high.
class SheetMetrics : public TextMetrics
{
public:
    QSize textSize(const QString &text, int pointSize) const override
    {
        return QSize(int(text.size()) * pointSize, 2 * pointSize);
    }
};

// Half the virtual page: every anchor ending in .5 shows the rounding of
// halves to even.
const QSize kHalfPage(1000, 1400);

// Conversions on kHalfPage, worked out by hand.
constexpr int kStep = 25;         // page_y(50)
constexpr int kHeaderBottom = 84; // page_y(167) = 83.5
constexpr int kRuleAbove = 6;     // page_y(12)
constexpr int kTotalsTop = 50;    // page_y(100)
constexpr int kRuleLeft = 42;     // page_x(83) = 41.5
constexpr int kRuleRight = 918;   // page_x(1835) = 917.5
constexpr int kLeftMargin = 25;   // page_x(50)
constexpr int kCentre = 458;      // page_x(917) = 458.5
constexpr int kAltitudeX = 792;   // page_x(1585) = 792.5
constexpr int kRightX = 959;      // page_x(1918)
constexpr int kMeansX = 292;      // page_x(584)
constexpr int kDistanceX = 667;   // page_x(1334)

const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);
const QColor kSheetGreen(0, 128, 0);
const QColor kSheetBlack(0, 0, 0);

struct Stage
{
    QString place, means, orientation, position, altitude, distance, time;
};

StringGrid stageGrid(const QList<Stage> &stages)
{
    StringGrid grid(Itinerary::kColumns, Itinerary::kGridRows);
    for (int c = 0; c < Itinerary::kColumns; ++c)
        grid.setCell(c, 0, Itinerary::headerText(c));
    int row = 1;
    for (const Stage &s : stages) {
        grid.setCell(Itinerary::Place, row, s.place);
        grid.setCell(Itinerary::Means, row, s.means);
        grid.setCell(Itinerary::Orientation, row, s.orientation);
        grid.setCell(Itinerary::Position, row, s.position);
        grid.setCell(Itinerary::Altitude, row, s.altitude);
        grid.setCell(Itinerary::Distance, row, s.distance);
        grid.setCell(Itinerary::Time, row, s.time);
        ++row;
    }
    return grid;
}

// Stages named "Lieu 1" to "Lieu count", with nothing else in their rows.
QList<Stage> namedStages(int count)
{
    QList<Stage> stages;
    for (int a = 1; a <= count; ++a)
        stages.append({QStringLiteral("Lieu %1").arg(a), {}, {}, {}, {}, {}, {}});
    return stages;
}

QList<Op> layout(const QList<Stage> &stages, const QString &title = QStringLiteral("Tour"),
                 const QString &date = QStringLiteral("12/05/2024"))
{
    return routeSheetLayout(stageGrid(stages), title, date, kHalfPage, SheetMetrics());
}

Op text(const QString &t, int size, const QColor &colour, int left, int top)
{
    Op op;
    op.kind = Op::Kind::Text;
    op.text = t;
    op.pointSize = size;
    op.colour = colour;
    op.from = QPoint(left, top);
    return op;
}

Op rule(int y)
{
    Op op;
    op.kind = Op::Kind::Rule;
    op.colour = kBlue;
    op.penWidth = 2;
    op.from = QPoint(kRuleLeft, y);
    op.to = QPoint(kRuleRight, y);
    return op;
}

Op newPage()
{
    Op op;
    op.kind = Op::Kind::NewPage;
    return op;
}

int indexOfText(const QList<Op> &ops, const QString &t)
{
    for (int i = 0; i < ops.size(); ++i) {
        if (ops.at(i).kind == Op::Kind::Text && ops.at(i).text == t)
            return i;
    }
    return -1;
}

// The page (0 first) on which operation i is drawn.
int pageOf(const QList<Op> &ops, int i)
{
    int page = 0;
    for (int k = 0; k < i; ++k)
        page += ops.at(k).kind == Op::Kind::NewPage ? 1 : 0;
    return page;
}

int countOf(const QList<Op> &ops, Op::Kind kind)
{
    return int(
        std::count_if(ops.begin(), ops.end(), [kind](const Op &op) { return op.kind == kind; }));
}

QStringList totalsOf(const QList<Op> &ops)
{
    QStringList lines;
    for (const Op &op : ops) {
        if (op.kind == Op::Kind::Text && op.pointSize == 14 && op.from.x() == kLeftMargin)
            lines.append(op.text);
    }
    return lines;
}

// The header as drawn with the title "Tour" and the date "12/05/2024".
QList<Op> header()
{
    return {text(QStringLiteral("Tour"), 24, kBlue, kCentre - 4 * 24 / 2, kHeaderBottom - 48),
            text(QStringLiteral("12/05/2024"), 18, kSheetBlack, kRightX - 10 * 18, kHeaderBottom - 36)};
}

// The bottom of the first line of stage a on its page: two steps per stage
// under the header's bottom and one more step on the first page.
int firstLine(int a)
{
    if (a < 26)
        return kHeaderBottom + kStep + (2 * a - 1) * kStep;
    return kHeaderBottom + (2 * (a - 25) - 1) * kStep;
}

} // namespace

// The route sheet's layout, drawn with fixed text sizes on half a page.
class RouteSheetLayoutTest : public QObject
{
    Q_OBJECT
private slots:
    void pageUnitsRoundHalvesToEven()
    {
        const RouteSheetPage half(kHalfPage);
        QCOMPARE(half.page_x(83), 42);   // 41.5
        QCOMPARE(half.page_x(85), 42);   // 42.5
        QCOMPARE(half.page_x(917), 458); // 458.5
        QCOMPARE(half.page_x(1835), 918);
        QCOMPARE(half.page_y(167), 84); // 83.5
        QCOMPARE(half.page_y(1), 0);    // 0.5
        QCOMPARE(half.page_y(3), 2);    // 1.5
        QCOMPARE(half.page_y(50), 25);
        // An A4 page at 1200 dpi: sx = 4.7915, sy = 4.8925 (13699 / 2800).
        const RouteSheetPage a4(QSize(9583, 13699));
        QCOMPARE(a4.page_x(917), 4394); // 4393.8055
        QCOMPARE(a4.page_x(1918), 9190);
        QCOMPARE(a4.page_y(50), 245); // 244.625
        QCOMPARE(a4.page_y(167), 817);
        QCOMPARE(a4.page_x(2000), 9583);
        QCOMPARE(a4.page_y(2800), 13699);
    }

    void emptyItineraryPrintsTheHeaderAlone()
    {
        QCOMPARE(layout({}), header());
        // Places that are all empty leave nothing to print, whatever else the
        // rows hold.
        QList<Stage> unnamed = {{{},
                                 QStringLiteral("MP"),
                                 {},
                                 {},
                                 QStringLiteral("1000"),
                                 QStringLiteral("2000"),
                                 QStringLiteral("08:00")}};
        QCOMPARE(layout(unnamed), header());
    }

    void oneStageDrawsTwoLines()
    {
        const QList<Op> ops =
            layout({{QStringLiteral("Refuge"), QStringLiteral("MP"), QStringLiteral("270"),
                     QStringLiteral("A4"), QStringLiteral("1850"), QStringLiteral("2000"),
                     QStringLiteral("08:00")}});
        const int y1 = kHeaderBottom + 2 * kStep;
        QCOMPARE(y1, firstLine(1));
        const int y2 = y1 + kStep;
        QList<Op> expected = header();
        expected << rule(y1 - kRuleAbove)
                 << text(QStringLiteral("Refuge"), 16, kSheetBlack, kLeftMargin, y1 - 32)
                 << text(QStringLiteral("A4"), 10, kRed, kCentre - 20 / 2, y1 - 20)
                 << text(QStringLiteral("1850 m"), 12, kRed, kAltitudeX - 6 * 12, y1 - 24)
                 << text(QStringLiteral("08:00 H"), 16, kSheetBlack, kRightX - 7 * 16, y1 - 32)
                 << text(QStringLiteral("P 270"), 14, kSheetGreen, kMeansX, y2 - 28)
                 << text(QStringLiteral("2000 m"), 14, kSheetGreen, kDistanceX - 6 * 14, y2 - 28);
        // The leg leaving the last stage counts in no total.
        QCOMPARE(ops, expected);
    }

    void centredTextsRoundTheHalfWidthTowardZero()
    {
        const QList<Op> ops = routeSheetLayout(
            stageGrid({{QStringLiteral("A"), {}, {}, QStringLiteral("Pic"), {}, {}, {}}}),
            QStringLiteral("Col"), QString(), kHalfPage, SheetMetrics());
        // "Col" at 24 points is 72 wide: its left edge is 36 before the centre.
        QCOMPARE(ops.at(0), text(QStringLiteral("Col"), 24, kBlue, kCentre - 36, 36));
        // An empty date draws nothing.
        QCOMPARE(ops.at(1).kind, Op::Kind::Rule);
        const int i = indexOfText(ops, QStringLiteral("Pic"));
        QVERIFY(i > 0);
        QCOMPARE(ops.at(i).from, QPoint(kCentre - 15, firstLine(1) - 20));

        // One pixel per character: "Sommets" is 7 wide and its half is 3.
        class OddMetrics : public TextMetrics
        {
        public:
            QSize textSize(const QString &t, int) const override { return QSize(int(t.size()), 4); }
        };
        const QList<Op> odd = routeSheetLayout(stageGrid({}), QStringLiteral("Sommets"), QString(),
                                               kHalfPage, OddMetrics());
        QCOMPARE(odd.size(), 1);
        QCOMPARE(odd.at(0).from, QPoint(kCentre - 3, kHeaderBottom - 4));
    }

    void thirtyStagesOverTwoPages()
    {
        const QList<Op> ops = layout(namedStages(30));
        QCOMPARE(countOf(ops, Op::Kind::NewPage), 1);
        QCOMPARE(countOf(ops, Op::Kind::Rule), 30);
        for (int a = 1; a <= 30; ++a) {
            const int i = indexOfText(ops, QStringLiteral("Lieu %1").arg(a));
            QVERIFY(i >= 0);
            QCOMPARE(pageOf(ops, i), a <= 25 ? 0 : 1);
            QCOMPARE(ops.at(i).from, QPoint(kLeftMargin, firstLine(a) - 32));
            QCOMPARE(ops.at(i - 1), rule(firstLine(a) - kRuleAbove));
        }
        // Stage 25's second line is the lowest of page 1; stage 26 starts one
        // step under the header's bottom on page 2, which has no header.
        QCOMPARE(firstLine(25) + kStep, kHeaderBottom + kStep + 50 * kStep);
        QCOMPARE(firstLine(26), kHeaderBottom + kStep);
        const int page2 = indexOfText(ops, QStringLiteral("Lieu 26")) - 2;
        QCOMPARE(ops.at(page2), newPage());
        QCOMPARE(indexOfText(ops, QStringLiteral("Tour")), 0);
    }

    void totalsFollowTheLastStageOnItsPage()
    {
        QList<Stage> stages = namedStages(30);
        stages[28].means = QStringLiteral("VA");
        stages[28].distance = QStringLiteral("42");
        const QList<Op> ops = layout(stages);
        QCOMPARE(totalsOf(ops), QStringList{QStringLiteral("Kilomètrage en Voiture : 42 Km")});
        const int i = indexOfText(ops, QStringLiteral("Kilomètrage en Voiture : 42 Km"));
        QCOMPARE(pageOf(ops, i), 1);
        QCOMPARE(ops.at(i).from, QPoint(kLeftMargin, firstLine(30) + 2 * kStep - 28));
        QCOMPARE(countOf(ops, Op::Kind::NewPage), 1);
    }

    void twentyFiveStagesPutTheTotalsOnANewPage()
    {
        QList<Stage> stages = namedStages(25);
        for (int a = 0; a < 24; ++a) {
            stages[a].means = QStringLiteral("MP");
            stages[a].distance = QStringLiteral("1000");
            stages[a].altitude = QString::number(1000 + 10 * a);
        }
        stages[24].altitude = QStringLiteral("1240");
        const QList<Op> ops = layout(stages);
        QCOMPARE(totalsOf(ops), (QStringList{QStringLiteral("Distance à pied parcourue : 24000 m"),
                                             QStringLiteral("Dénivelée cumulée : 240 m")}));
        const int walked = indexOfText(ops, QStringLiteral("Distance à pied parcourue : 24000 m"));
        const int climb = indexOfText(ops, QStringLiteral("Dénivelée cumulée : 240 m"));
        QCOMPARE(countOf(ops, Op::Kind::NewPage), 1);
        QCOMPARE(ops.at(walked - 1), newPage());
        QCOMPARE(pageOf(ops, indexOfText(ops, QStringLiteral("Lieu 25"))), 0);
        QCOMPARE(ops.at(walked).from, QPoint(kLeftMargin, kTotalsTop + kStep - 28));
        QCOMPARE(ops.at(climb).from, QPoint(kLeftMargin, kTotalsTop + 2 * kStep - 28));
        QCOMPARE(ops.at(climb).colour, kSheetBlack);
        QCOMPARE(ops.at(climb).pointSize, 14);
    }

    void fiftyStagesBreakTheTotalsAtTheSecondMultiple()
    {
        QList<Stage> stages = namedStages(50);
        const QStringList codes = {"VA", "OP", "MP", "MP"};
        const QStringList altitudes = {"", "", "500", "900", "300"};
        for (int k = 0; k < codes.size(); ++k) {
            stages[45 + k].means = codes.at(k);
            stages[45 + k].distance = QStringLiteral("10");
            stages[45 + k].altitude = altitudes.at(k);
        }
        stages[49].altitude = altitudes.at(4);
        const QList<Op> ops = layout(stages);
        // The counter goes from 50: 51 driven, 52 cycled (new page), 53
        // walked, 54 climb, 55 descent.
        QCOMPARE(totalsOf(ops), (QStringList{QStringLiteral("Kilomètrage en Voiture : 10 Km"),
                                             QStringLiteral("Kilomètrage en Vélo : 10 Km"),
                                             QStringLiteral("Distance à pied parcourue : 20 m"),
                                             QStringLiteral("Dénivelée cumulée : 400 m"),
                                             QStringLiteral("Descente : 600 m")}));
        QCOMPARE(countOf(ops, Op::Kind::NewPage), 2);
        const int driven = indexOfText(ops, QStringLiteral("Kilomètrage en Voiture : 10 Km"));
        const int cycled = indexOfText(ops, QStringLiteral("Kilomètrage en Vélo : 10 Km"));
        QCOMPARE(pageOf(ops, driven), 1);
        QCOMPARE(ops.at(driven).from.y(), firstLine(50) + 2 * kStep - 28);
        QCOMPARE(ops.at(cycled - 1), newPage());
        QCOMPARE(ops.at(cycled).from.y(), kTotalsTop + kStep - 28);
        QCOMPARE(ops.last().from.y(), kTotalsTop + 4 * kStep - 28);
    }

    void carWithoutBearingPrintsTheLetterAndABlank()
    {
        const QList<Op> ops = layout(
            {{QStringLiteral("Gare"), QStringLiteral("VA"), {}, {}, {}, QStringLiteral("120"), {}},
             {QStringLiteral("Péage"), {}, {}, {}, {}, {}, {}}});
        const int y2 = firstLine(1) + kStep;
        const int means = indexOfText(ops, QStringLiteral("A "));
        QVERIFY(means > 0);
        QCOMPARE(ops.at(means), text(QStringLiteral("A "), 14, kBlue, kMeansX, y2 - 28));
        QCOMPARE(ops.at(means + 1),
                 text(QStringLiteral("120 Km"), 14, kBlue, kDistanceX - 6 * 14, y2 - 28));
        QCOMPARE(totalsOf(ops), QStringList{QStringLiteral("Kilomètrage en Voiture : 120 Km")});
    }

    void distanceWithoutMeansIsBlueKilometres()
    {
        const QList<Op> ops = layout(
            {{QStringLiteral("Gare"), {}, QStringLiteral("90"), {}, {}, QStringLiteral("15"), {}},
             {QStringLiteral("Col"), {}, {}, {}, {}, {}, {}}});
        const int y2 = firstLine(1) + kStep;
        const int distance = indexOfText(ops, QStringLiteral("15 Km"));
        QVERIFY(distance > 0);
        QCOMPARE(ops.at(distance),
                 text(QStringLiteral("15 Km"), 14, kBlue, kDistanceX - 5 * 14, y2 - 28));
        // No means: no text, the bearing alone is not printed.
        QCOMPARE(indexOfText(ops, QStringLiteral("90")), -1);
        QCOMPARE(ops.at(distance - 1).text, QStringLiteral("Gare"));
        QVERIFY(totalsOf(ops).isEmpty());
    }

    void meansColoursAndTexts_data()
    {
        QTest::addColumn<QString>("means");
        QTest::addColumn<QString>("orientation");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<QString>("distance");
        QTest::newRow("walking") << "MP"
                                 << "270"
                                 << "P 270" << kSheetGreen << "5 m";
        QTest::newRow("one letter") << "M"
                                    << "270"
                                    << " 270" << kSheetGreen << "5 m";
        QTest::newRow("bicycle") << "OD"
                                 << ""
                                 << "D " << kSheetGreen << "5 Km";
        QTest::newRow("stop") << "PR"
                              << "45"
                              << "R 45" << kRed << "5 Km";
        QTest::newRow("transfer") << "TF"
                                  << "180"
                                  << "F 180" << kBlue << "5 Km";
        QTest::newRow("unknown") << "ZZ"
                                 << "1"
                                 << "Z 1" << kBlue << "5 Km";
        QTest::newRow("cut to 20") << "VN"
                                   << "1234567890123456789012"
                                   << "N 123456789012345678" << kBlue << "5 Km";
    }
    void meansColoursAndTexts()
    {
        QFETCH(QString, means);
        QFETCH(QString, orientation);
        QFETCH(QString, text);
        QFETCH(QColor, colour);
        QFETCH(QString, distance);
        const QList<Op> ops =
            layout({{QStringLiteral("Gare"), means, orientation, {}, {}, QStringLiteral("5"), {}}});
        const int at = indexOfText(ops, text);
        QVERIFY(at > 0);
        QCOMPARE(ops.at(at).colour, colour);
        QCOMPARE(ops.at(at).from.x(), kMeansX);
        QCOMPARE(ops.at(at + 1).text, distance);
        QCOMPARE(ops.at(at + 1).colour, colour);
    }

    void stopIsRedAndCountsInNoTotal()
    {
        const QList<Op> ops = layout({{QStringLiteral("Refuge"),
                                       QStringLiteral("PR"),
                                       QStringLiteral("45"),
                                       {},
                                       QStringLiteral("1200"),
                                       QStringLiteral("30"),
                                       QStringLiteral("12:00")},
                                      {QStringLiteral("Refuge"),
                                       {},
                                       {},
                                       {},
                                       QStringLiteral("1500"),
                                       {},
                                       QStringLiteral("13:00")}});
        const int stop = indexOfText(ops, QStringLiteral("R 45"));
        QVERIFY(stop > 0);
        QCOMPARE(ops.at(stop).colour, kRed);
        QCOMPARE(ops.at(stop + 1).text, QStringLiteral("30 Km"));
        QCOMPARE(ops.at(stop + 1).colour, kRed);
        QVERIFY(totalsOf(ops).isEmpty());
        QCOMPARE(ops.last().text, QStringLiteral("13:00 H"));
    }

    void walkingDownAddsToTheDescent()
    {
        const QList<Op> ops =
            layout({{QStringLiteral("Col"),
                     QStringLiteral("MD"),
                     {},
                     {},
                     QStringLiteral("1200"),
                     QStringLiteral("1500"),
                     {}},
                    {QStringLiteral("Lac"),
                     QStringLiteral("MP"),
                     {},
                     {},
                     QStringLiteral("900"),
                     QStringLiteral("800"),
                     {}},
                    {QStringLiteral("Pont"), {}, {}, {}, QStringLiteral("900"), {}, {}}});
        // The second leg is level: it adds to neither height total.
        QCOMPARE(totalsOf(ops), (QStringList{QStringLiteral("Distance à pied parcourue : 2300 m"),
                                             QStringLiteral("Descente : 300 m")}));
    }

    void walkingToAnUnknownAltitudeAddsOnlyItsDistance()
    {
        const QList<Op> ops = layout({{QStringLiteral("Col"),
                                       QStringLiteral("MP"),
                                       {},
                                       {},
                                       QStringLiteral("1200"),
                                       QStringLiteral("2500"),
                                       {}},
                                      {QStringLiteral("Lac"), {}, {}, {}, {}, {}, {}}});
        QCOMPARE(totalsOf(ops), QStringList{QStringLiteral("Distance à pied parcourue : 2500 m")});
        // Nor from an unknown altitude.
        const QList<Op> fromUnknown = layout(
            {{QStringLiteral("Col"), QStringLiteral("MM"), {}, {}, {}, QStringLiteral("700"), {}},
             {QStringLiteral("Lac"), {}, {}, {}, QStringLiteral("1500"), {}, {}}});
        QCOMPARE(totalsOf(fromUnknown),
                 QStringList{QStringLiteral("Distance à pied parcourue : 700 m")});
    }

    void unnamedRowsArePrintedWithoutRule()
    {
        const QList<Op> ops =
            layout({{QStringLiteral("Col"),
                     QStringLiteral("MP"),
                     {},
                     {},
                     QStringLiteral("1000"),
                     QStringLiteral("400"),
                     {}},
                    {{},
                     QStringLiteral("MP"),
                     QStringLiteral("10"),
                     QStringLiteral("B7"),
                     QStringLiteral("1100"),
                     QStringLiteral("600"),
                     QStringLiteral("09:00")},
                    {QStringLiteral("Lac"), {}, {}, {}, QStringLiteral("1050"), {}, {}}});
        QCOMPARE(countOf(ops, Op::Kind::Rule), 2);
        const int y1 = firstLine(2);
        const int position = indexOfText(ops, QStringLiteral("B7"));
        QVERIFY(position > 0);
        // The row goes straight from the previous stage's leg to its cells.
        QCOMPARE(ops.at(position - 1).text, QStringLiteral("400 m"));
        QCOMPARE(ops.at(position), text(QStringLiteral("B7"), 10, kRed, kCentre - 10, y1 - 20));
        QCOMPARE(ops.at(position + 1).text, QStringLiteral("1100 m"));
        QCOMPARE(ops.at(position + 2).text, QStringLiteral("09:00 H"));
        QCOMPARE(ops.at(position + 3).text, QStringLiteral("P 10"));
        QCOMPARE(ops.at(position + 4).text, QStringLiteral("600 m"));
        QCOMPARE(ops.at(position + 5), rule(firstLine(3) - kRuleAbove));
        // Its legs count like any other.
        QCOMPARE(totalsOf(ops), (QStringList{QStringLiteral("Distance à pied parcourue : 1000 m"),
                                             QStringLiteral("Dénivelée cumulée : 100 m"),
                                             QStringLiteral("Descente : 50 m")}));
    }

    void totalsTextsInTheirOrder()
    {
        const QList<Op> ops = layout(
            {{QStringLiteral("A"), QStringLiteral("VA"), {}, {}, {}, QStringLiteral("100"), {}},
             {QStringLiteral("B"), QStringLiteral("TF"), {}, {}, {}, QStringLiteral("50"), {}},
             {QStringLiteral("C"), QStringLiteral("OP"), {}, {}, {}, QStringLiteral("40"), {}},
             {QStringLiteral("D"),
              QStringLiteral("MM"),
              {},
              {},
              QStringLiteral("1000"),
              QStringLiteral("1000"),
              {}},
             {QStringLiteral("E"),
              QStringLiteral("MD"),
              {},
              {},
              QStringLiteral("1300"),
              QStringLiteral("2000"),
              {}},
             {QStringLiteral("F"),
              QStringLiteral("XY"),
              {},
              {},
              QStringLiteral("1100"),
              QStringLiteral("9"),
              {}},
             {QStringLiteral("G"),
              QStringLiteral("VA"),
              {},
              {},
              QStringLiteral("1000"),
              QStringLiteral("77"),
              {}}});
        QCOMPARE(totalsOf(ops), (QStringList{QStringLiteral("Kilomètrage en Voiture : 150 Km"),
                                             QStringLiteral("Kilomètrage en Vélo : 40 Km"),
                                             QStringLiteral("Distance à pied parcourue : 3000 m"),
                                             QStringLiteral("Dénivelée cumulée : 300 m"),
                                             QStringLiteral("Descente : 200 m")}));
        for (int k = 0; k < 5; ++k) {
            const Op &op = ops.at(ops.size() - 5 + k);
            QCOMPARE(op.colour, kSheetBlack);
            QCOMPARE(op.pointSize, 14);
            QCOMPARE(op.from.y(), firstLine(7) + (2 + k) * kStep - 28);
        }
    }

    void largeDistancesDoNotWrapAround()
    {
        const QList<Op> ops =
            layout({{QStringLiteral("A"),
                     QStringLiteral("VA"),
                     {},
                     {},
                     {},
                     QStringLiteral("2000000000"),
                     {}},
                    {QStringLiteral("B"),
                     QStringLiteral("VA"),
                     {},
                     {},
                     {},
                     QStringLiteral("2000000000"),
                     {}},
                    {QStringLiteral("C"),
                     QStringLiteral("MP"),
                     {},
                     {},
                     QStringLiteral("-2000000000"),
                     {},
                     {}},
                    {QStringLiteral("D"), {}, {}, {}, QStringLiteral("2000000000"), {}, {}}});
        QCOMPARE(totalsOf(ops),
                 (QStringList{QStringLiteral("Kilomètrage en Voiture : 4000000000 Km"),
                              QStringLiteral("Dénivelée cumulée : 4000000000 m")}));
    }

    void unreadableIntegerStopsBeforeAnyOperation_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("row");
        QTest::newRow("walked distance") << int(Itinerary::Distance) << 3;
        QTest::newRow("departure altitude") << int(Itinerary::Altitude) << 3;
        QTest::newRow("arrival altitude") << int(Itinerary::Altitude) << 4;
        QTest::newRow("driven distance") << int(Itinerary::Distance) << 1;
        QTest::newRow("cycled distance") << int(Itinerary::Distance) << 2;
    }
    void unreadableIntegerStopsBeforeAnyOperation()
    {
        QFETCH(int, column);
        QFETCH(int, row);
        StringGrid grid = stageGrid(
            {{QStringLiteral("A"), QStringLiteral("VA"), {}, {}, {}, QStringLiteral("10"), {}},
             {QStringLiteral("B"), QStringLiteral("OP"), {}, {}, {}, QStringLiteral("10"), {}},
             {QStringLiteral("C"),
              QStringLiteral("MP"),
              {},
              {},
              QStringLiteral("1000"),
              QStringLiteral("10"),
              {}},
             {QStringLiteral("D"), {}, {}, {}, QStringLiteral("1200"), {}, {}}});
        grid.setCell(column, row, QStringLiteral("12 3"));
        try {
            const QList<Op> ops = routeSheetLayout(grid, QStringLiteral("Tour"), QString(),
                                                   kHalfPage, SheetMetrics());
            QFAIL(qPrintable(QStringLiteral("printed %1 operations").arg(ops.size())));
        } catch (const QuorError &e) {
            QCOMPARE(e.text(), QStringLiteral("'12 3' n'est pas une valeur entière correcte"));
        }
    }

    void cellsNoTotalNeedsArePrintedAsTheyStand()
    {
        // A stop's distance, the last leg and the altitudes around a car leg
        // are only shown.
        const QList<Op> ops = layout({{QStringLiteral("A"),
                                       QStringLiteral("PR"),
                                       {},
                                       {},
                                       QStringLiteral("x"),
                                       QStringLiteral("1 2"),
                                       {}},
                                      {QStringLiteral("B"),
                                       QStringLiteral("VA"),
                                       {},
                                       {},
                                       QStringLiteral("y"),
                                       QStringLiteral("5"),
                                       {}},
                                      {QStringLiteral("C"),
                                       QStringLiteral("MP"),
                                       {},
                                       {},
                                       QStringLiteral("z"),
                                       QStringLiteral("?"),
                                       {}}});
        QVERIFY(indexOfText(ops, QStringLiteral("1 2 Km")) > 0);
        QVERIFY(indexOfText(ops, QStringLiteral("? m")) > 0);
        QVERIFY(indexOfText(ops, QStringLiteral("y m")) > 0);
        QCOMPARE(totalsOf(ops), QStringList{QStringLiteral("Kilomètrage en Voiture : 5 Km")});
    }

    void lastStageIsTheLastNamedRow()
    {
        QList<Stage> stages = namedStages(3);
        stages.append({{}, QStringLiteral("MP"), {}, {}, {}, QStringLiteral("100"), {}});
        QCOMPARE(lastRouteSheetStage(stageGrid(stages)), 3);
        stages[1].place.clear();
        stages[2].place.clear();
        QCOMPARE(lastRouteSheetStage(stageGrid(stages)), 1);
        StringGrid last = stageGrid({});
        last.setCell(Itinerary::Place, 50, QStringLiteral("Fin"));
        QCOMPARE(lastRouteSheetStage(last), 50);
        QCOMPARE(lastRouteSheetStage(stageGrid({})), 0);
    }
};

QUOR_TEST(RouteSheetLayoutTest)
#include "tst_routesheet.moc"
