#include "common/testmain.h"
#include "common/testutil.h"
#include "data/quorerror.h"
#include "gps/coordinates.h"

#include <QTest>
#include <cmath>

using namespace Coordinates;

namespace {

constexpr double kMetresPerDegree = 111'320.0;
constexpr double kDegreesToRadians = M_PI / 180.0;
constexpr double kToleranceMetres = 0.01;

// Ground distance between two nearby positions, in metres.
double metresBetween(const LatLon &a, const LatLon &b)
{
    const double north = (a.latitude - b.latitude) * kMetresPerDegree;
    const double east =
        (a.longitude - b.longitude) * kMetresPerDegree * std::cos(a.latitude * kDegreesToRadians);
    return std::hypot(north, east);
}

} // namespace

// Conversions checked against PROJ's own command-line tool.
class CoordinatesTest : public QObject
{
    Q_OBJECT

private slots:
    void againstCs2cs_data()
    {
        QTest::addColumn<int>("zone");
        QTest::addColumn<QString>("letter");
        QTest::addColumn<QString>("datum");
        QTest::addColumn<double>("easting");
        QTest::addColumn<double>("northing");
        QTest::addColumn<double>("latitude");
        QTest::addColumn<double>("longitude");
        QTest::addColumn<QString>("operation");

        // References made by PROJ 9.1's cs2cs; with PROJ_DEBUG=2 it also names
        // the operation it chose, the same as ours (PROJ keeps the first
        // candidate whose bounding box holds the point, here a Spanish one).
        // echo "375000 4830000" | PROJ_DEBUG=2 cs2cs -f %.10f EPSG:23031 EPSG:4326
        QTest::newRow("ED50 31T, Toulouse")
            << 31 << "T"
            << "ED50" << 375000.0 << 4830000.0 << 43.6106364237 << 1.4498491618
            << "Inverse of UTM zone 31N + ED50 to WGS 84 (28) + axis order change (2D)";
        // echo "715000 4750000" | PROJ_DEBUG=2 cs2cs -f %.10f EPSG:23030 EPSG:4326
        QTest::newRow("ED50 30T, Pyrénées")
            << 30 << "T"
            << "ED50" << 715000.0 << 4750000.0 << 42.8704812320 << -0.3691370641
            << "Inverse of UTM zone 30N + ED50 to WGS 84 (28) + axis order change (2D)";
        // echo "500000 5000000" | cs2cs -f %.10f EPSG:32632 EPSG:4326
        QTest::newRow("WGS84 32T") << 32 << "T"
                                   << "WGS84" << 500000.0 << 5000000.0 << 45.1534771834 << 9.0
                                   << "Inverse of UTM zone 32N + axis order change (2D)";
        // echo "261000 6243000" | cs2cs -f %.10f EPSG:32734 EPSG:4326
        QTest::newRow("WGS84 34H, southern")
            << 34 << "h"
            << "WGS84" << 261000.0 << 6243000.0 << -33.9263431748 << 18.4145219306
            << "Inverse of UTM zone 34S + axis order change (2D)";
    }

    void againstCs2cs()
    {
        QFETCH(int, zone);
        QFETCH(QString, letter);
        QFETCH(QString, datum);
        QFETCH(double, easting);
        QFETCH(double, northing);
        QFETCH(double, latitude);
        QFETCH(double, longitude);
        QFETCH(QString, operation);
        const Grid grid{zone, letter.at(0), datum};

        QString used;
        const LatLon p = toWgs84(grid, {easting, northing}, &used);
        QVERIFY2(
            metresBetween(p, {latitude, longitude}) < kToleranceMetres,
            qPrintable(
                QStringLiteral("%1 %2").arg(p.latitude, 0, 'f', 10).arg(p.longitude, 0, 'f', 10)));
        QCOMPARE(used, operation);

        // Back from the reference position, and a round trip of our own.
        const GridPoint back = fromWgs84(grid, {latitude, longitude});
        QVERIFY(std::hypot(back.easting - easting, back.northing - northing) < kToleranceMetres);
        const GridPoint trip = fromWgs84(grid, toWgs84(grid, {easting + 0.25, northing - 0.75}));
        QVERIFY(std::hypot(trip.easting - easting - 0.25, trip.northing - northing + 0.75) <
                kToleranceMetres);
    }

    void inverseIsTheWayOutReversed()
    {
        // Left alone, PROJ would take "ED50 to WGS 84 (17)" back (cs2cs
        // EPSG:4326 EPSG:23031 gives 374988.7330 4828816.7989), two metres off
        // the way out. The reference is operation (28) reversed, its pipeline
        // taken from projinfo -s EPSG:23031 -t EPSG:4326 -o PROJ --single-line:
        // echo "43.6 1.45 0 0" | cct -d 4 -I +proj=pipeline +step +inv +proj=utm
        //   +zone=31 +ellps=intl +step +proj=push +v_3 +step +proj=cart +ellps=intl
        //   +step +proj=helmert +x=-131 +y=-100.3 +z=-163.4 +rx=-1.244 +ry=-0.02
        //   +rz=-1.144 +s=9.39 +convention=position_vector +step +inv +proj=cart
        //   +ellps=WGS84 +step +proj=pop +v_3 +step +proj=unitconvert +xy_in=rad
        //   +xy_out=deg +step +proj=axisswap +order=2,1
        QString used;
        const GridPoint p = fromWgs84({31, QLatin1Char('T'), "ED50"}, {43.6, 1.45}, &used);
        QVERIFY(std::hypot(p.easting - 374990.1365, p.northing - 4828818.4705) < kToleranceMetres);
        QCOMPARE(used, "Inverse of UTM zone 31N + ED50 to WGS 84 (28) + axis order change (2D)");
    }

    void refusals()
    {
        QCOMPARE(TestUtil::messageOf([] {
                     toWgs84({0, QLatin1Char('T'), "ED50"}, {500000, 4800000});
                 }),
                 "La zone UTM 0 est incorrecte : elle doit aller de 1 à 60.");
        QCOMPARE(TestUtil::messageOf([] {
                     fromWgs84({31, QLatin1Char('Y'), "WGS84"}, {43, 1});
                 }),
                 "La lettre de bande « Y » est incorrecte : elle doit aller de C à X.");
        QCOMPARE(TestUtil::messageOf([] {
                     toWgs84({31, QLatin1Char('B'), "WGS84"}, {500000, 4800000});
                 }),
                 "La lettre de bande « B » est incorrecte : elle doit aller de C à X.");
        QCOMPARE(TestUtil::messageOf([] {
                     toWgs84({31, QLatin1Char('T'), "NTF"}, {500000, 4800000});
                 }),
                 "Le système géodésique « NTF » est inconnu : seuls ED50 et WGS84 sont reconnus.");
        QCOMPARE(TestUtil::messageOf([] {
                     fromWgs84({31, QLatin1Char('T'), "ED50"}, {95, 1});
                 }),
                 "Le point de latitude 95.000000 et de longitude 1.000000 ne peut pas être placé "
                 "dans la zone 31T.");
        QCOMPARE(TestUtil::messageOf([] {
                     fromWgs84({31, QLatin1Char('T'), "ED50"}, {NAN, 1});
                 }),
                 "Le point de latitude nan et de longitude 1.000000 ne peut pas être placé dans "
                 "la zone 31T.");
        // The hemisphere follows the band: I and O are labels a map may carry.
        QVERIFY(isSouthern(QLatin1Char('M')) && isSouthern(QLatin1Char('i')));
        QVERIFY(!isSouthern(QLatin1Char('N')) && !isSouthern(QLatin1Char('O')));
    }
};

QUOR_TEST(CoordinatesTest)
#include "tst_coordinates.moc"
