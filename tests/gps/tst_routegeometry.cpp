#include "common/testmain.h"
#include "gps/routegeometry.h"

#include <QTest>

using namespace RouteGeometry;

// Distance and bearing of a leg between two waypoints.
class RouteGeometryTest : public QObject
{
    Q_OBJECT

private slots:
    void bearingsOfTheFourDirections()
    {
        QCOMPARE(legBearing(500000, 4000000, 500100, 4000000), 90);
        QCOMPARE(legBearing(500000, 4000000, 500000, 3999900), 180);
        QCOMPARE(legBearing(500000, 4000000, 499900, 4000000), 270);
        QCOMPARE(legBearing(500000, 4000000, 500000, 4000100), 360);
    }

    void bearingOfTheDiagonal()
    {
        QCOMPARE(legBearing(500000, 4000000, 500100, 4000100), 45);
        QCOMPARE(legBearing(500000, 4000000, 499900, 3999900), 225);
    }

    void bearingJustEastOfNorthRoundsToZero()
    {
        const double b = legBearingDegrees(500000, 4000000, 500001, 4000100);
        QVERIFY(b > 0.57 && b < 0.58);
        QCOMPARE(legBearing(500000, 4000000, 500001, 4000100), 0);
    }

    void bearingJustWestOfNorthRoundsTo360()
    {
        const double b = legBearingDegrees(500000, 4000000, 499999, 4000100);
        QVERIFY(b > 359.42 && b < 359.43);
        QCOMPARE(legBearing(500000, 4000000, 499999, 4000100), 360);
    }

    void identicalPointsGiveZeroDistanceAndBearing360()
    {
        QCOMPARE(legDistance(512345, 4845678, 512345, 4845678), qint64(0));
        QCOMPARE(legBearingDegrees(512345, 4845678, 512345, 4845678), 360.0);
        QCOMPARE(legBearing(512345, 4845678, 512345, 4845678), 360);
    }

    void bearingRoundsHalfStepsToTheEvenMultipleOfFive()
    {
        QCOMPARE(roundBearing(2.5), 0);
        QCOMPARE(roundBearing(7.5), 10);
        QCOMPARE(roundBearing(12.5), 10);
        QCOMPARE(roundBearing(17.5), 20);
        QCOMPARE(roundBearing(352.5), 350);
        QCOMPARE(roundBearing(357.5), 360);
        QCOMPARE(roundBearing(2.4999), 0);
        QCOMPARE(roundBearing(2.5001), 5);
        QCOMPARE(roundBearing(0.0001), 0);
        QCOMPARE(roundBearing(360.0), 360);
    }

    void distanceOfWholeAndIrrationalLegs()
    {
        QCOMPARE(legDistance(500000, 4000000, 500300, 4000400), qint64(500));
        QCOMPARE(legDistance(500000, 4000000, 500001, 4000001), qint64(1));
        QCOMPARE(legDistance(500000, 4000000, 500002, 4000002), qint64(3));   // 2.83
        QCOMPARE(legDistance(512345, 4845678, 512960, 4846012), qint64(700)); // 699.84
    }

    // The square root is stored as a double before rounding: far enough out,
    // a length just under a half lands on the half, which goes to the even
    // neighbour.
    void distanceRoundsTheStoredHalfToEven()
    {
        // sqrt(67125249^2 + 8193^2) = 67125249.4999999981...
        QCOMPARE(legLength(100000000, 0, 167125249, 8193), 67125249.5);
        QCOMPARE(legDistance(100000000, 0, 167125249, 8193), qint64(67125250));
        // sqrt(67108864^2 + 8192^2) = 67108864.4999999981...
        QCOMPARE(legLength(100000000, 0, 167108864, 8192), 67108864.5);
        QCOMPARE(legDistance(100000000, 0, 167108864, 8192), qint64(67108864));
    }

    void farApartPointsDoNotOverflow()
    {
        QCOMPARE(legDistance(-2000000000, 0, 2000000000, 0), qint64(4000000000));
        QCOMPARE(legBearing(-2000000000, 0, 2000000000, 0), 90);
    }

    // Zones are not looked at: the raw numbers make the leg.
    void pointsOfDifferentZonesUseTheRawNumbers()
    {
        QCOMPARE(legDistance(699000, 4800000, 301000, 4800000), qint64(398000));
        QCOMPARE(legBearing(699000, 4800000, 301000, 4800000), 270);
    }
};
QUOR_TEST(RouteGeometryTest)

#include "tst_routegeometry.moc"
