#include "common/testmain.h"
#include "common/testutil.h"
#include "data/itinerary.h"
#include "data/quorerror.h"
#include "data/stringgrid.h"
#include "editor/elevationprofile.h"
#include "editor/profilewindow.h"
#include "platform/fakeplatform.h"

#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTime>

namespace {

using Op = SheetOperation;

// Every text is as wide as its characters and one line high, so that anchors
// can be worked out by hand.
class FixedMetrics : public TextMetrics
{
public:
    QSize textSize(const QString &text, int pointSize) const override
    {
        return QSize(int(text.size()) * pointSize, 2 * pointSize);
    }
};

// Stage rows: place, means, altitude, distance, time.
StringGrid stages(const QList<QStringList> &rows)
{
    StringGrid grid(Itinerary::kColumns, Itinerary::kGridRows);
    int row = 1;
    for (const QStringList &r : rows) {
        grid.setCell(Itinerary::Place, row, r.value(0));
        grid.setCell(Itinerary::Means, row, r.value(1));
        grid.setCell(Itinerary::Altitude, row, r.value(2));
        grid.setCell(Itinerary::Distance, row, r.value(3));
        grid.setCell(Itinerary::Time, row, r.value(4));
        ++row;
    }
    return grid;
}

// The worked itinerary as the time computation leaves it.
StringGrid workedItinerary()
{
    return stages({{"Le Village", "MP", "1000", "2000", "08:00"},
                   {"La Chapelle", "MM", "1000", "1000", "08:30"},
                   {"Le Refuge", "PR", "1300", "", "09:30"},
                   {"Le Parking", "VA", "", "100", "10:30"},
                   {"La Gare", "", "", "", "11:30"}});
}

QList<Op> ofKind(const QList<Op> &ops, Op::Kind kind, const QColor &colour = QColor())
{
    QList<Op> out;
    for (const Op &op : ops) {
        if (op.kind == kind && (!colour.isValid() || op.colour == colour))
            out.append(op);
    }
    return out;
}

QStringList texts(const QList<Op> &ops)
{
    QStringList out;
    for (const Op &op : ofKind(ops, Op::Kind::Text))
        out.append(op.text);
    return out;
}

const QColor kGreen(0, 128, 0);
const QColor kBlack(0, 0, 0);

QRect rectOf(const Op &text)
{
    return QRect(text.from, FixedMetrics().textSize(text.text, text.pointSize));
}

// Whether a rule passes over a rectangle, stepping along it by quarter pixels.
bool passesOver(const Op &rule, const QRect &r)
{
    const QLineF line(rule.from, rule.to);
    if (!QRectF(rule.from, rule.to).normalized().adjusted(-1, -1, 1, 1).intersects(r))
        return false;
    const int steps = std::max(1, int(std::ceil(line.length() * 4)));
    for (int k = 0; k <= steps; ++k) {
        if (QRectF(r).contains(line.pointAt(double(k) / steps)))
            return true;
    }
    return false;
}

// The first text off the page, over another text or under the line; empty
// when there is none.
QString clash(const QList<Op> &ops, const QSize &size)
{
    const QList<Op> all = ofKind(ops, Op::Kind::Text);
    for (qsizetype i = 0; i < all.size(); ++i) {
        const QRect a = rectOf(all[i]);
        if (!QRect(QPoint(0, 0), size).contains(a))
            return all[i].text + " off the page";
        for (qsizetype j = i + 1; j < all.size(); ++j) {
            if (a.intersects(rectOf(all[j])))
                return all[i].text + " over " + all[j].text;
        }
        for (const Op &rule : ofKind(ops, Op::Kind::Rule, kGreen)) {
            if (passesOver(rule, a))
                return all[i].text + " under the line";
        }
    }
    return {};
}

// The distance graduations: the texts in kilometres at their size.
QStringList distanceGraduations(const QList<Op> &ops)
{
    QStringList out;
    for (const Op &op : ofKind(ops, Op::Kind::Text)) {
        if (op.pointSize == 9 && op.text.endsWith(" km"))
            out << op.text;
    }
    return out;
}

// A day that starts with 38 km by car, then 29 stages on foot: 27 legs of
// 400 m, the summit at row 20 and a stop at the refuge, rows 12 and 13.
StringGrid drivenDay()
{
    QList<QStringList> rows{{"Maison", "VA", "200", "38", "07:00"}};
    for (int r = 2; r <= 30; ++r) {
        const QString place = r == 2               ? QStringLiteral("Parking")
                              : r == 12 || r == 13 ? QStringLiteral("Refuge")
                              : r == 20            ? QStringLiteral("Sommet")
                              : r == 30            ? QStringLiteral("Arrivée")
                                                   : QStringLiteral("Borne %1").arg(r);
        const QString means = r == 30 ? "" : r == 12 ? "PR" : "MP";
        const int altitude = r == 20 ? 1500 : 900 + 30 * ((r == 13 ? 12 : r) % 4);
        const int minutes = 10 * (r - 2) + (r >= 13 ? 35 : 0);
        rows.append({place, means, QString::number(altitude), means == "MP" ? "400" : "",
                     QTime(8, 0).addSecs(60 * minutes).toString("hh:mm")});
    }
    return stages(rows);
}

} // namespace

// The elevation profile: its points, its graduations and its page.
class ElevationProfileTest : public QObject
{
    Q_OBJECT
private slots:
    void workedItineraryPoints()
    {
        // The parking and the station have no altitude; the stop covers no
        // ground.
        const QList<ProfilePoint> expected = {{0, 1000, "Le Village", "08:00", 1, 0, QChar()},
                                              {2000, 1000, "La Chapelle", "08:30", 2, 0, QChar()},
                                              {3000, 1300, "Le Refuge", "09:30", 3, 0, QChar()}};
        QCOMPARE(elevationProfile(workedItinerary()), expected);
    }

    void kilometresOfWheelsAndMetresOfFeet()
    {
        const StringGrid grid = stages({{"Gare", "VA", "200", "12"},
                                        {"Col", "OM", "500", "3"},
                                        {"Forêt", "MP", "700", "800"},
                                        {"Lac", "PR", "700", "25"},
                                        {"Pont", "MD", "", "500"},
                                        {"Refuge", "ZZ", "900", "40"},
                                        {"Sommet", "TF", "950", "2"},
                                        {"", "", "", ""},
                                        {"Vallée", "", "300", ""}});
        QList<qint64> distances, altitudes, driven;
        QString vehicles;
        for (const ProfilePoint &p : elevationProfile(grid)) {
            distances << p.distance;
            altitudes << p.altitude;
            driven << p.driven;
            vehicles += p.vehicle.isNull() ? QLatin1Char('-') : p.vehicle;
        }
        QCOMPARE(distances, (QList<qint64>{0, 12000, 15000, 15800, 16300, 16300, 18300}));
        QCOMPARE(altitudes, (QList<qint64>{200, 500, 700, 700, 900, 950, 300}));
        // The car, the bicycle and the transfer may go behind a break.
        QCOMPARE(driven, (QList<qint64>{0, 12000, 3000, 0, 0, 0, 2000}));
        QCOMPARE(vehicles, QStringLiteral("-VO---T"));
    }

    void unreadableCellStopsIt()
    {
        try {
            elevationProfile(stages({{"A", "MP", "1000", "2 0"}, {"B", "", "900"}}));
            QFAIL("no error");
        } catch (const QuorError &e) {
            QCOMPARE(e.text(), QStringLiteral("'2 0' n'est pas une valeur entière correcte"));
        }
    }

    void roundGraduationsOfAxes()
    {
        QCOMPARE(roundGraduations(1000, 1300), (Graduations{1000, 1300, 50}));
        QCOMPARE(roundGraduations(0, 3000), (Graduations{0, 3000, 500}));
        QCOMPARE(roundGraduations(1000, 1300).values(),
                 (QList<qint64>{1000, 1050, 1100, 1150, 1200, 1250, 1300}));
        QCOMPARE(roundGraduations(-120, 35), (Graduations{-120, 40, 20}));
        QCOMPARE(roundGraduations(1007, 1007), (Graduations{940, 1060, 20}));
        QCOMPARE(roundGraduations(0, 7), (Graduations{0, 7, 1}));
        // Altitudes in the thousands of kilometres stay a handful of steps.
        QCOMPARE(roundGraduations(120, 2000000000), (Graduations{0, 2000000000, 500000000}));
    }

    void workedItineraryPage()
    {
        const StringGrid grid = workedItinerary();
        const ProfileHeader header =
            profileHeader(grid, QStringLiteral("Tour du lac"), QStringLiteral("14/07/2024"));
        QCOMPARE(header.totals.climb, 300);
        QCOMPARE(header.totals.descent, 0);
        const QList<Op> ops =
            profileLayout(elevationProfile(grid), header, QSize(3000, 2000), FixedMetrics());
        QCOMPARE(ofKind(ops, Op::Kind::NewPage).size(), 0);
        QCOMPARE(texts(ops),
                 (QStringList{
                     "Tour du lac", "14/07/2024",  "Dénivelée cumulée : 300 m    Descente : 0 m",
                     "1000 m",      "1050 m",      "1100 m",
                     "1150 m",      "1200 m",      "1250 m",
                     "1300 m",      "0 km",        "0,5 km",
                     "1 km",        "1,5 km",      "2 km",
                     "2,5 km",      "3 km",        "Le Village",
                     "08:00",       "La Chapelle", "08:30",
                     "Le Refuge",   "09:30"}));
        // The axes: the altitude axis up the left, the distance axis along the
        // bottom; the line starts at their corner (0 m, 1000 m), stays level
        // for 2000 m and ends at the top right (3000 m, 1300 m).
        const QList<Op> axes = ofKind(ops, Op::Kind::Rule, kBlack);
        QCOMPARE(axes.size(), 2);
        const QPoint corner = axes[0].from;
        const QPoint top = axes[0].to;
        const QPoint right = axes[1].to;
        QCOMPARE(axes[1].from, corner);
        QCOMPARE(top.x(), corner.x());
        QCOMPARE(right.y(), corner.y());
        const QList<Op> line = ofKind(ops, Op::Kind::Rule, kGreen);
        QCOMPARE(line.size(), 2);
        QCOMPARE(line[0].from, corner);
        const int level = corner.x() + qRound((right.x() - corner.x()) * 2000.0 / 3000.0);
        QCOMPARE(line[0].to, QPoint(level, corner.y()));
        QCOMPARE(line[1].from, line[0].to);
        QCOMPARE(line[1].to, QPoint(right.x(), top.y()));
        // Every graduation has its grid line, and every text stays on the page.
        QCOMPARE(ofKind(ops, Op::Kind::Rule, QColor(200, 200, 200)).size(), 7 + 7);
        for (const Op &op : ofKind(ops, Op::Kind::Text))
            QVERIFY(QRect(0, 0, 3000, 2000).contains(op.from));
        // No text covers another or lies under the line, on this page or in
        // a small window, where the three stages keep their labels.
        QCOMPARE(clash(ops, QSize(3000, 2000)), QString());
        const QList<Op> small =
            profileLayout(elevationProfile(grid), header, QSize(600, 400), FixedMetrics());
        QCOMPARE(clash(small, QSize(600, 400)), QString());
        QCOMPARE(
            texts(small).mid(texts(small).size() - 6),
            (QStringList{"Le Village", "08:00", "La Chapelle", "08:30", "Le Refuge", "09:30"}));
    }

    void aStopIsOneMarkWithBothTimes()
    {
        const StringGrid grid = stages({{"Parking", "MP", "800", "1500", "08:30"},
                                        {"Lac", "PA", "950", "", "09:16"},
                                        {"Lac", "MP", "950", "900", "09:31"},
                                        {"Col", "", "1290", "", "10:38"}});
        const QList<Op> ops = profileLayout(elevationProfile(grid), profileHeader(grid, "T", "D"),
                                            QSize(3000, 2000), FixedMetrics());
        const QStringList all = texts(ops);
        QCOMPARE(all.mid(all.size() - 6),
                 (QStringList{"Parking", "08:30", "Lac", "09:16 - 09:31", "Col", "10:38"}));
        // With room to spare, each name stands centred over its mark, but for
        // the first, which starts right of it, clear of the altitude axis.
        const QList<Op> labels = ofKind(ops, Op::Kind::Text, kBlack);
        const QList<Op> marks = ofKind(ops, Op::Kind::Rule, QColor(255, 0, 0));
        QCOMPARE(marks.size(), 3);
        const qsizetype parking = labels.size() - 3;
        QCOMPARE(labels[parking].text, QStringLiteral("Parking"));
        const int lineHeight = 2 * 8;
        for (int k = 0; k < 3; ++k) {
            const Op &name = labels[parking + k];
            if (k == 0)
                QVERIFY(name.from.x() > marks[k].from.x() + 1);
            else
                QCOMPARE(name.from.x() + int(name.text.size()) * 8 / 2, marks[k].from.x() + 1);
            QVERIFY(name.from.y() + lineHeight < marks[k].from.y());
        }
        QCOMPARE(clash(ops, QSize(3000, 2000)), QString());
    }

    void aDriveIsShortenedBehindABreak()
    {
        const StringGrid grid = drivenDay();
        const QList<ProfilePoint> points = elevationProfile(grid);
        QCOMPARE(points.size(), 30);
        // 38 km driven and 27 x 400 m walked: 48.8 km, of which the drive is
        // more than a quarter. The walk from 38 to 48.8 km in steps of 1 km
        // would take 11 > 8 steps; in steps of 2 km it takes 6, to 50 km.
        const QStringList distances{"0 km",  "38 km", "40 km", "42 km",
                                    "44 km", "46 km", "48 km", "50 km"};
        for (const QSize size : {QSize(3300, 2300), QSize(600, 400)}) {
            const QList<Op> ops =
                profileLayout(points, profileHeader(grid, "Tour", "D"), size, FixedMetrics());
            QCOMPARE(clash(ops, size), QString());
            QCOMPARE(distanceGraduations(ops), distances);
            const QStringList all = texts(ops);
            QCOMPARE(all.count(QStringLiteral("38 km en voiture")), 1);
            for (const char *kept :
                 {"Maison", "07:00", "Arrivée", "13:15", "Sommet", "Refuge", "09:40 - 10:25"})
                QVERIFY2(all.contains(QString::fromUtf8(kept)), kept);
            // Two slanted strokes on the axis, two on the line.
            // They stand between the graduations "0 km" and "38 km", and
            // the label by them.
            int slanted = 0;
            const auto middleOf = [&](const QString &text) {
                for (const Op &op : ofKind(ops, Op::Kind::Text)) {
                    if (op.text == text)
                        return rectOf(op).center().x();
                }
                return -1;
            };
            const int zero = middleOf(QStringLiteral("0 km"));
            const int parking = middleOf(QStringLiteral("38 km"));
            const int label = middleOf(QStringLiteral("38 km en voiture"));
            for (const Op &rule : ofKind(ops, Op::Kind::Rule, kBlack)) {
                if (rule.from.x() == rule.to.x() || rule.from.y() == rule.to.y())
                    continue;
                ++slanted;
                QVERIFY(zero < rule.from.x() && rule.to.x() < parking);
                QVERIFY(std::abs(label - rule.from.x()) < 16 * 8);
            }
            QCOMPARE(slanted, 4);
            // One dot a stage, the refuge's two rows one stop; the walk fills
            // the page: the parking stands in the chart's first fifth.
            const QList<Op> dots = ofKind(ops, Op::Kind::Rule, QColor(255, 0, 0));
            QCOMPARE(dots.size(), 29);
            const int chart = dots.last().from.x() - dots[0].from.x();
            QVERIFY(dots[1].from.x() - dots[0].from.x() < chart / 5);
            // The numbers by the dots are those of the legend, 1 to n.
            QStringList marks, legend;
            for (const Op &op : ofKind(ops, Op::Kind::Text)) {
                bool number = false;
                op.text.toInt(&number);
                if (number)
                    (op.pointSize == 7 ? marks : legend) << op.text;
            }
            QCOMPARE(legend, marks);
            for (qsizetype k = 0; k < marks.size(); ++k)
                QCOMPARE(marks[k], QString::number(k + 1));
            if (size.width() == 600)
                QVERIFY(!marks.isEmpty());
        }
    }

    // A day there and back by car, transfer and bicycle around a short walk
    // to a lake: the summit's stages crowd one another, yet every stage is
    // named once, by its label or by a number in the legend.
    void everyStageIsNamedOnceAroundASummit()
    {
        const StringGrid grid = stages({{"Saint-Martin", "VA", "180", "64", "07:45"},
                                        {"Sortie 7", "VD", "350", "18", "08:23"},
                                        {"Pont", "TD", "640", "11", "08:45"},
                                        {"Parking", "OM", "780", "4", "08:58"},
                                        {"Bois", "MP", "921", "490", "09:14"},
                                        {"Lac", "PR", "953", "", "09:21"},
                                        {"Lac", "MP", "953", "490", "10:21"},
                                        {"Bois", "OD", "921", "4", "10:28"},
                                        {"Parking", "TD", "780", "11", "10:38"},
                                        {"Pont", "VD", "640", "18", "10:51"},
                                        {"Sortie 7", "VA", "350", "64", "11:13"},
                                        {"Saint-Martin", "", "180", "", "11:51"}});
        const QSize size(900, 600);
        const QList<Op> ops =
            profileLayout(elevationProfile(grid), profileHeader(grid, "T", "D"), size, FixedMetrics());
        QCOMPARE(clash(ops, size), QString());
        const QStringList all = texts(ops);
        for (const char *place : {"Saint-Martin", "Sortie 7", "Pont", "Parking", "Bois"})
            QCOMPARE(all.count(QString::fromUtf8(place)), 2);
        QCOMPARE(all.count(QStringLiteral("Lac")), 1);
        QCOMPARE(all.count(QStringLiteral("09:21 - 10:21")), 1);
        // Both 64 km drives are more than a quarter of the 194.98 km.
        QCOMPARE(all.count(QStringLiteral("64 km en voiture")), 2);
    }

    void fiftyStagesCloseTogether()
    {
        QList<QStringList> rows;
        for (int r = 1; r <= 50; ++r)
            rows.append({QStringLiteral("Point %1").arg(r), r < 50 ? "MP" : "",
                         QString::number(1000 + 10 * (r % 5)), "100",
                         QTime(8, 0).addSecs(120 * r).toString("hh:mm")});
        const StringGrid grid = stages(rows);
        // 4.9 km: steps of 500 m would take 10 > 8, steps of 1 km take 5. The
        // highest is point 4 (1040 m), the lowest point 5 (1000 m).
        const QStringList distances{"0 km", "1 km", "2 km", "3 km", "4 km", "5 km"};
        for (const QSize size : {QSize(3300, 2300), QSize(600, 400)}) {
            const QList<Op> ops = profileLayout(
                elevationProfile(grid), profileHeader(grid, "T", "D"), size, FixedMetrics());
            QCOMPARE(clash(ops, size), QString());
            QCOMPARE(distanceGraduations(ops), distances);
            for (const QString kept : {"Point 1", "Point 50", "Point 4", "Point 5"})
                QVERIFY2(texts(ops).contains(kept), qPrintable(kept));
        }
    }

    void tooFewAltitudesAndHugeOnes()
    {
        const StringGrid one = stages({{"Seul", "MP", "1000", "500"}, {"Fin", "", "", ""}});
        const QList<ProfilePoint> single = elevationProfile(one);
        QCOMPARE(single.size(), 1);
        const QList<Op> ops =
            profileLayout(single, profileHeader(one, "T", "D"), QSize(800, 600), FixedMetrics());
        QCOMPARE(texts(ops).last(), ElevationProfile::kTooFewAltitudes);
        QCOMPARE(ofKind(ops, Op::Kind::Rule).size(), 0);

        const StringGrid huge = stages({{"Bas", "MP", "-5", "900000"},
                                        {"Haut", "MP", "1500000000", "999999"},
                                        {"Loin", "", "999999", ""}});
        const QList<Op> hugeOps =
            profileLayout(elevationProfile(huge), profileHeader(huge, "T", "D"), QSize(3000, 2000),
                          FixedMetrics());
        QVERIFY(texts(hugeOps).contains(QStringLiteral("-200000000 m")));
        QVERIFY(texts(hugeOps).contains(QStringLiteral("1600000000 m")));
        QVERIFY(texts(hugeOps).contains(QStringLiteral("Dénivelée cumulée : 1500000005 m    "
                                                       "Descente : 1499000001 m")));
        for (const Op &op : ofKind(hugeOps, Op::Kind::Rule, kGreen)) {
            QVERIFY(QRect(0, 0, 3000, 2000).contains(op.from));
            QVERIFY(QRect(0, 0, 3000, 2000).contains(op.to));
        }
        // A window too small for a chart keeps its header.
        QCOMPARE(profileLayout(elevationProfile(huge), profileHeader(huge, "T", "D"), QSize(60, 40),
                               FixedMetrics())
                     .size(),
                 3);
    }
};

// The profile window prints its page through the printer dialog.
class ProfileWindowTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void printsOnePage()
    {
        FakePlatform platform;
        const QString pdf = m_dir.filePath(QStringLiteral("profil.pdf"));
        QList<QPageLayout::Orientation> proposed;
        platform.printAnswers = {true};
        platform.preparePrinter = [&](QPrinter &printer) {
            proposed << printer.pageLayout().orientation();
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
        };
        ProfileWindow window(platform);
        const StringGrid grid = workedItinerary();
        window.setProfile(elevationProfile(grid), profileHeader(grid, "Tour du lac", "14/07/2024"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Profil - Tour du lac"));
        window.Imprimer->click();
        QVERIFY(platform.errors.isEmpty());
        QCOMPARE(proposed, QList<QPageLayout::Orientation>{QPageLayout::Landscape});
        const QByteArray bytes = TestUtil::readBytes(pdf);
        QVERIFY(bytes.startsWith("%PDF"));
        static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![s\\w])"));
        QCOMPARE(QString::fromLatin1(bytes).count(page), 1);
        QByteArray title("\xfe\xff", 2);
        for (QChar c : QStringLiteral("Profil de Tour du lac"))
            title.append(char(0)).append(char(c.unicode()));
        QVERIFY(bytes.contains(title));

        // A printer that refuses to begin gives its message; cancelling prints
        // nothing.
        const QString bad = m_dir.filePath(QStringLiteral("absent/profil.pdf"));
        platform.printAnswers = {true, false};
        platform.preparePrinter = [&](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(bad);
        };
        window.Imprimer->click();
        QCOMPARE(platform.errors,
                 QStringList{QStringLiteral("Impossible de créer le fichier ") + bad});
        window.Imprimer->click();
        QCOMPARE(platform.printDialogs, 3);
        QCOMPARE(platform.errors.size(), 1);
    }
};

QUOR_TEST(ElevationProfileTest)
QUOR_TEST(ProfileWindowTest)
#include "tst_elevationprofile.moc"
