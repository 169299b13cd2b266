#include "common/testmain.h"
#include "data/quorerror.h"
#include "data/speedtable.h"
#include "data/stringgrid.h"
#include "editor/stagetimes.h"

#include <QTest>

namespace {

enum { Place = 0, Means, Orientation, Position, Altitude, Distance, Time };

struct Sheet
{
    StringGrid stages{7, 51};
    StringGrid catalogue{5, 50};
    SpeedTable speeds;
    int k = 0;

    explicit Sheet(const QString &departure = QStringLiteral("08:00"))
    {
        catalogue.setCell(3, k, departure);
        stages.setCell(Place, 1, QStringLiteral("Départ"));
    }
    // A stage row: means, distance, altitude.
    void row(int r, const QString &means, const QString &distance = {},
             const QString &altitude = {})
    {
        stages.setCell(Means, r, means);
        stages.setCell(Distance, r, distance);
        stages.setCell(Altitude, r, altitude);
    }
    void run() { compute_stage_times(stages, catalogue, k, speeds); }
    QString time(int r) const { return stages.cell(Time, r); }
    QString means(int r) const { return stages.cell(Means, r); }
    QString arrival() const { return catalogue.cell(4, k); }
};

QString failure(Sheet &s)
{
    try {
        s.run();
    } catch (const QuorError &e) {
        return e.text();
    }
    return QString();
}

} // namespace

// The time of day at every stage.
class StageTimesTest : public QObject
{
    Q_OBJECT
private slots:
    void workedExample()
    {
        Sheet s;
        s.row(1, "MP", "2000", "1000");
        s.row(2, "M ", "1000", "1000");
        s.row(3, "PR", "", "1300");
        s.row(4, "VA", "100");
        s.stages.setCell(Time, 9, "12:00");
        s.run();
        QCOMPARE(s.time(1), QStringLiteral("08:00"));
        QCOMPARE(s.time(2), QStringLiteral("08:30"));
        QCOMPARE(s.means(2), QStringLiteral("MM"));
        QCOMPARE(s.time(3), QStringLiteral("09:30"));
        QCOMPARE(s.time(4), QStringLiteral("10:30"));
        QCOMPARE(s.time(5), QStringLiteral("11:30"));
        for (int r = 6; r <= 50; ++r)
            QCOMPARE(s.time(r), QString());
        QCOMPARE(s.arrival(), QStringLiteral("11:30"));
    }

    void walkingCodeIsTheLongerTime_data()
    {
        QTest::addColumn<QString>("distance");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("time");
        QTest::newRow("climb wins") << "1000"
                                    << "1000"
                                    << "1300"
                                    << "MM"
                                    << "09:00";
        QTest::newRow("tie goes flat") << "4000"
                                       << "1000"
                                       << "1300"
                                       << "MP"
                                       << "09:00";
        QTest::newRow("flat wins descent") << "2000"
                                           << "1000"
                                           << "900"
                                           << "MP"
                                           << "08:30";
        QTest::newRow("descent wins") << "2000"
                                      << "1000"
                                      << "400"
                                      << "MD"
                                      << "09:12";
        QTest::newRow("no arrival altitude") << "2000"
                                             << "1200"
                                             << ""
                                             << "MD"
                                             << "10:24";
        QTest::newRow("level") << ""
                               << "500"
                               << "500"
                               << "MP"
                               << "08:00";
        QTest::newRow("100 m climb is 08:20") << ""
                                              << "0"
                                              << "100"
                                              << "MM"
                                              << "08:20";
    }
    void walkingCodeIsTheLongerTime()
    {
        QFETCH(QString, distance);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, code);
        QFETCH(QString, time);
        Sheet s;
        s.row(1, "MX", distance, from);
        s.stages.setCell(Altitude, 2, to);
        s.run();
        QCOMPARE(s.means(1), code);
        QCOMPARE(s.time(2), time);
    }

    void runningTimeStaysUnrounded()
    {
        // 3 km at 70 km/h is 2 min 34 s: shown 08:02, carried unrounded.
        Sheet s;
        s.row(1, "VN", "3");
        s.row(2, "VN", "3");
        s.row(3, "VN", "3");
        s.run();
        QCOMPARE(s.time(2), QStringLiteral("08:02"));
        QCOMPARE(s.time(3), QStringLiteral("08:05"));
        QCOMPARE(s.time(4), QStringLiteral("08:07"));
    }

    void pastMidnightWraps()
    {
        Sheet s(QStringLiteral("23:30"));
        s.row(1, "PR");
        s.run();
        QCOMPARE(s.time(2), QStringLiteral("00:30"));
        QCOMPARE(s.arrival(), QStringLiteral("00:30"));
    }

    void everyCodeOfTheTable()
    {
        const QStringList codes = {"VA", "VN", "VD", "TN", "TD", "TF", "OM", "OP", "OD"};
        const int speeds[] = {100, 70, 50, 70, 50, 30, 15, 20, 25};
        for (int i = 0; i < codes.size(); ++i) {
            Sheet s(QStringLiteral("06:00"));
            s.row(1, codes.at(i), QString::number(speeds[i] * 2));
            s.run();
            QCOMPARE(s.time(2), QStringLiteral("08:00"));
        }
        const QStringList stops = {"PA", "PC", "PR"};
        const QStringList after = {"06:15", "06:30", "07:00"};
        for (int i = 0; i < 3; ++i) {
            Sheet s(QStringLiteral("06:00"));
            s.row(1, stops.at(i), "999", "5000");
            s.run();
            QCOMPARE(s.time(2), after.at(i));
        }
    }

    void oddCodes()
    {
        Sheet s;
        s.row(1, "VA", "50");  // 08:30 at row 2
        s.row(2, "M");         // one character: row 3 repeats row 2
        s.row(3, "VX", "100"); // unknown: row 4 repeats row 3
        s.row(4, "");          // empty: row 5 has no time
        s.row(5, "PA");        // goes on from 08:30, as if 4 -> 5 took no time
        s.row(6, "ZZ");
        s.run();
        QCOMPARE(s.time(3), QStringLiteral("08:30"));
        QCOMPARE(s.means(2), QStringLiteral("M"));
        QCOMPARE(s.time(4), QStringLiteral("08:30"));
        QCOMPARE(s.time(5), QString());
        QCOMPARE(s.time(6), QStringLiteral("08:45"));
        QCOMPARE(s.time(7), QStringLiteral("08:45"));
        QCOMPARE(s.time(8), QString());
        QCOMPARE(s.arrival(), QStringLiteral("08:45"));
    }

    void startTime()
    {
        // No first place: the typed time stays and counts.
        Sheet s;
        s.stages.setCell(Place, 1, QString());
        s.stages.setCell(Time, 1, "10:00");
        s.row(1, "PR");
        s.run();
        QCOMPARE(s.time(1), QStringLiteral("10:00"));
        QCOMPARE(s.time(2), QStringLiteral("11:00"));

        // Neither place nor time: midnight.
        Sheet m;
        m.stages.setCell(Place, 1, QString());
        m.row(1, "PR");
        m.run();
        QCOMPARE(m.time(1), QString());
        QCOMPARE(m.time(2), QStringLiteral("01:00"));

        // A first place takes the catalogue's departure over a typed time.
        Sheet c;
        c.stages.setCell(Time, 1, "10:00");
        c.row(1, "PR");
        c.run();
        QCOMPARE(c.time(1), QStringLiteral("08:00"));

        // No leg at all: the arrival keeps its previous text.
        Sheet n;
        n.catalogue.setCell(4, 0, "17:00");
        n.run();
        QCOMPARE(n.arrival(), QStringLiteral("17:00"));
    }

    void failures()
    {
        Sheet bad;
        bad.stages.setCell(Place, 1, QString());
        bad.stages.setCell(Time, 1, "8h00");
        QCOMPARE(failure(bad), QStringLiteral("'8h00' n'est pas une heure correcte"));

        Sheet gap;
        gap.row(1, "PR");
        gap.row(2, "VA", "1 0");
        QCOMPARE(failure(gap), QStringLiteral("'1 0' n'est pas une valeur entière correcte"));
        QCOMPARE(gap.time(2), QStringLiteral("09:00")); // rows above keep their new times
        QCOMPARE(gap.arrival(), QStringLiteral("09:00"));

        Sheet zero;
        zero.speeds.setValue(10, 0);
        zero.row(1, "M ", "1000", "100");
        zero.stages.setCell(Altitude, 2, "200");
        QCOMPARE(failure(zero), QStringLiteral("Division par zéro en virgule flottante"));
        QCOMPARE(zero.means(1), QStringLiteral("M "));

        Sheet zeroZero;
        zeroZero.speeds.setValue(10, 0);
        zeroZero.row(1, "M ", "", "100");
        zeroZero.stages.setCell(Altitude, 2, "200");
        QCOMPARE(failure(zeroZero), QStringLiteral("Opération en virgule flottante incorrecte"));

        Sheet car;
        car.speeds.setValue(0, 0);
        car.row(1, "VA", "10");
        QCOMPARE(failure(car), QStringLiteral("Division par zéro en virgule flottante"));

        Sheet pause;
        pause.speeds.setValue(12, 0);
        pause.row(1, "PA");
        pause.run();
        QCOMPARE(pause.time(2), QStringLiteral("08:00"));
    }

    void codesOfTheTable()
    {
        QCOMPARE(speedEntryOfCode(QLatin1Char('V'), QLatin1Char('A')), 0);
        QCOMPARE(speedEntryOfCode(QLatin1Char('T'), QLatin1Char('F')), 5);
        QCOMPARE(speedEntryOfCode(QLatin1Char('O'), QLatin1Char('D')), 8);
        QCOMPARE(speedEntryOfCode(QLatin1Char('P'), QLatin1Char('R')), 14);
        QCOMPARE(speedEntryOfCode(QLatin1Char('V'), QLatin1Char('F')), -1);
        QCOMPARE(speedEntryOfCode(QLatin1Char('v'), QLatin1Char('a')), -1);
    }
};
QUOR_TEST(StageTimesTest)

#include "tst_stagetimes.moc"
