#include "common/testmain.h"
#include "common/testutil.h"
#include "data/quorerror.h"
#include "maps/mapconversion.h"

#include <QTest>

class MapConversionTest : public QObject
{
    Q_OBJECT

private:
    static MapTransform sample()
    {
        MapTransform t;
        const bool accepted = ComputeTransform(
            t, {0, 0, 500000, 5000000}, {1000, 1000, 502000, 4998000}, {0, 1000, 500000, 4998000});
        if (!accepted)
            qFatal("sample calibration rejected");
        return t;
    }

private slots:
    void determinantIsExactInIntegers()
    {
        const Matrix3 m{{{1, 500000, 5000000}, {1, 502000, 4998000}, {1, 500000, 4998000}}};
        // (502000*4998000 - 500000*4998000) - (500000*4998000 - 500000*5000000)
        // + (500000*4998000 - 502000*5000000)
        QCOMPARE(Determinant3(m), qint64(-4000000));
        const Matrix3 big{{{2, 3000000, 7000000}, {5, 1, 9999999}, {7, 4000000, 1}}};
        const qint64 expected = 2 * (1LL * 1 - 4000000LL * 9999999) -
                                5 * (3000000LL * 1 - 4000000LL * 7000000) +
                                7 * (3000000LL * 9999999 - 1LL * 7000000);
        QCOMPARE(Determinant3(big), expected);
    }

    void singularSystemGivesZeros()
    {
        const AffineRows rows{{{500000, 0, 0}, {501000, 10, 0}, {502000, 20, 0}}};
        const Coefficients k = SolveAffine3(rows);
        QCOMPARE(k[0], 0.0);
        QCOMPARE(k[1], 0.0);
        QCOMPARE(k[2], 0.0);
    }

    void quotientIsRoundedOnceToDouble()
    {
        // 1/3 formed in extended precision, then rounded to the nearest double.
        const AffineRows rows{{{0, 0, 0}, {1, 3, 0}, {0, 0, 1}}};
        const Coefficients k = SolveAffine3(rows);
        QCOMPARE(k[1], static_cast<double>(1.0L / 3.0L));
        QCOMPARE(k[0], 0.0);
        QCOMPARE(k[2], 0.0);
    }

    void absurdValuesStayFinite()
    {
        // A damaged calibration file can hold any 32-bit values.
        const AffineRows rows{{{2147483647, -2147483647, 2147483647},
                               {-2147483647, 2147483647, 2147483647},
                               {2147483647, 2147483647, -2147483647}}};
        const Coefficients k = SolveAffine3(rows);
        for (double v : k)
            QVERIFY(std::isfinite(v));
        // r = k0 + k1 a + k2 b holds for the first row within rounding.
        const long double r = k[0] + k[1] * -2147483647.0L + k[2] * 2147483647.0L;
        QVERIFY(std::fabs(r - 2147483647.0L) < 1.0L);
    }

    void sampleCoefficients()
    {
        const MapTransform t = sample();
        QCOMPARE(t.c, (Coefficients{500000, 2, 0}));
        QCOMPARE(t.d, (Coefficients{5000000, 0, -2}));
        QCOMPARE(t.e, (Coefficients{-250000, 0.5, 0}));
        QCOMPARE(t.f, (Coefficients{2500000, 0, -0.5}));
    }

    void pixelAndBack()
    {
        const MapTransform t = sample();
        const UtmReal utm = PixelToUtm(t, 10, 20);
        QCOMPARE(roundHalfEven(utm.easting), qint64(500020));
        QCOMPARE(roundHalfEven(utm.northing), qint64(4999960));
        QCOMPARE(UtmToPixel(t, 500020, 4999960), QPoint(10, 20));
    }

    void scales()
    {
        const MapTransform t = sample();
        QCOMPARE(MapScale(t.c[1], t.d[2], 300, 300, 1), qint64(23622));
        QCOMPARE(MapScale(t.c[1], t.d[2], 300, 300, 2), qint64(60000));
        QCOMPARE(MapScale(t.c[1], t.d[2], 300, 300, 0), qint64(60000));
        QCOMPARE(MapScale(t.c[1], t.d[2], 300, 300, 7), qint64(60000));
    }

    void scanAt300DotsPerInchOfA25000Map()
    {
        // 2.1167 metres per pixel: 12 700 metres over 6000 pixels.
        MapTransform t;
        QVERIFY(ComputeTransform(t, {0, 0, 500000, 5000000}, {6000, 6000, 512700, 4987300},
                                 {0, 6000, 500000, 4987300}));
        QVERIFY(std::fabs(t.c[1] - 2.1167) < 1e-4);
        QVERIFY(std::fabs(t.d[2] + 2.1167) < 1e-4);
        QCOMPARE(MapScale(t.c[1], t.d[2], 300, 300, 1), qint64(25000));
    }

    void zeroDensityIsADivisionByZero()
    {
        const QString expected = QStringLiteral("Division par zéro en virgule flottante");
        QCOMPARE(TestUtil::messageOf([] { MapScale(2, -2, 0, 300, 1); }), expected);
        QCOMPARE(TestUtil::messageOf([] { MapScale(2, -2, 300, 0, 2); }), expected);
    }

    void collinearPointsAreRejectedKeepingPixelTriples()
    {
        MapTransform t = sample();
        // Three points on one image row.
        QVERIFY(!ComputeTransform(t, {0, 100, 500000, 5000000}, {500, 100, 501000, 4999000},
                                  {1000, 100, 502000, 4998000}));
        QCOMPARE(t.c, (Coefficients{0, 0, 0}));
        QCOMPARE(t.d, (Coefficients{0, 0, 0}));
        QCOMPARE(t.e, (Coefficients{-250000, 0.5, 0}));
        QCOMPARE(t.f, (Coefficients{2500000, 0, -0.5}));

        // Any straight line, and two equal points.
        QVERIFY(!ComputeTransform(t, {0, 0, 1, 1}, {10, 20, 2, 2}, {20, 40, 3, 3}));
        QVERIFY(!ComputeTransform(t, {5, 5, 500000, 5000000}, {5, 5, 500000, 5000000},
                                  {0, 1000, 500000, 4998000}));
        QCOMPARE(t.e, (Coefficients{-250000, 0.5, 0}));
    }

    void zeroEastingAtTheOriginIsRejected()
    {
        MapTransform t;
        QVERIFY(!ComputeTransform(t, {0, 0, 0, 5000000}, {1000, 1000, 2000, 4998000},
                                  {0, 1000, 0, 4998000}));
        QCOMPARE(t.c, (Coefficients{0, 2, 0}));
        QCOMPARE(t.d, (Coefficients{5000000, 0, -2}));
        QCOMPARE(t.e, (Coefficients{0, 0, 0}));
    }

    void roundingIsHalfToEven()
    {
        QCOMPARE(roundHalfEven(0.5L), qint64(0));
        QCOMPARE(roundHalfEven(1.5L), qint64(2));
        QCOMPARE(roundHalfEven(2.5L), qint64(2));
        QCOMPARE(roundHalfEven(-2.5L), qint64(-2));
        MapTransform t;
        t.c = {500000.5, 0, 0};
        QCOMPARE(roundHalfEven(PixelToUtm(t, 0, 0).easting), qint64(500000));
        t.c = {500001.5, 0, 0};
        QCOMPARE(roundHalfEven(PixelToUtm(t, 0, 0).easting), qint64(500002));
        t.e = {0.5, 0, 0};
        t.f = {2.5, 0, 0};
        QCOMPARE(UtmToPixel(t, 0, 0), QPoint(0, 2));
        t.e = {1.5, 0, 0};
        t.f = {-1.5, 0, 0};
        QCOMPARE(UtmToPixel(t, 0, 0), QPoint(2, -2));
    }
};

QUOR_TEST(MapConversionTest)
#include "tst_conversion.moc"
