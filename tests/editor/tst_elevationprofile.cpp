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
        const QList<ProfilePoint> expected = {{0, 1000, "Le Village", "08:00", 1},
                                              {2000, 1000, "La Chapelle", "08:30", 2},
                                              {3000, 1300, "Le Refuge", "09:30", 3}};
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
        QList<qint64> distances, altitudes;
        for (const ProfilePoint &p : elevationProfile(grid)) {
            distances << p.distance;
            altitudes << p.altitude;
        }
        QCOMPARE(distances, (QList<qint64>{0, 12000, 15000, 15800, 16300, 16300, 18300}));
        QCOMPARE(altitudes, (QList<qint64>{200, 500, 700, 700, 900, 950, 300}));
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
                     "1300 m",      "0 m",         "500 m",
                     "1000 m",      "1500 m",      "2000 m",
                     "2500 m",      "3000 m",      "Le Village",
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
        // Neighbouring labels alternate between two rows.
        const QList<Op> labels = ofKind(ops, Op::Kind::Text, kBlack);
        const QList<Op> marks = ofKind(ops, Op::Kind::Rule, QColor(255, 0, 0));
        QCOMPARE(marks.size(), 3);
        const qsizetype parking = labels.size() - 3;
        QCOMPARE(labels[parking].text, QStringLiteral("Parking"));
        const int lineHeight = 2 * 8;
        const int firstAbove = marks[0].from.y() - labels[parking].from.y();
        const int secondAbove = marks[1].from.y() - labels[parking + 1].from.y();
        QCOMPARE(secondAbove - firstAbove, lineHeight);
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
