#include "common/testmain.h"
#include "gps/coordinates.h"

#include <QTest>

#include <cmath>

using namespace Coordinates;

// Maps of Fiji, Kamchatka or the Aleutians cross the 180th meridian: their
// area is the few degrees they cover, and a point on either side converts.
class AntimeridianTest : public QObject
{
    Q_OBJECT
private slots:
    void mapAcrossTheMeridian()
    {
        const Grid grid{60, QLatin1Char('K'), QStringLiteral("WGS84")};
        // Corners at 179.63 E and 179.62 W (cs2cs, WGS84 / UTM 60 south).
        const Area area = areaOfExtent(grid, {780000, 8100000}, {860000, 8150000});
        QVERIFY2(area.west > 179.5 && area.west < 179.64, qPrintable(QString::number(area.west)));
        QVERIFY2(area.east > 180.37 && area.east < 180.5, qPrintable(QString::number(area.east)));
        // cs2cs +proj=utm +zone=60 +south +datum=WGS84 +to +proj=longlat:
        // E 850000, N 8120000 is 179.713759926 W, 16.977507927 S.
        const Transformation t(grid, area);
        const LatLon p = t.toWgs84({850000, 8120000});
        QCOMPARE(std::round(std::remainder(p.longitude, 360) * 1e6) / 1e6, -179.71376);
        QCOMPARE(std::round(p.latitude * 1e6) / 1e6, -16.977508);
        const GridPoint back = t.fromWgs84({-16.977507927, -179.713759926});
        QCOMPARE(std::round(back.easting), 850000.0);
        QCOMPARE(std::round(back.northing), 8120000.0);
    }
};

QUOR_TEST(AntimeridianTest)
#include "tst_antimeridian.moc"
