#include "common/testmain.h"
#include "common/testutil.h"
#include "data/quorerror.h"
#include "maps/calibration.h"

#include <QTest>

class CalibrationTest : public QObject
{
    Q_OBJECT

private:
    static CalibrationTexts sampleTexts()
    {
        CalibrationTexts t;
        t[0] = {QStringLiteral("0"), QStringLiteral("500000"), QStringLiteral("0"),
                QStringLiteral("5000000")};
        t[1] = {QStringLiteral("1000"), QStringLiteral("502000"), QStringLiteral("1000"),
                QStringLiteral("4998000")};
        t[2] = {QStringLiteral("0"), QStringLiteral("500000"), QStringLiteral("1000"),
                QStringLiteral("4998000")};
        return t;
    }

private slots:
    void fileNames()
    {
        QCOMPARE(calibrationFileName(QStringLiteral("/home/d/cartes/massif.jpg")),
                 QStringLiteral("/home/d/cartes/massif.Cal"));
        QCOMPARE(calibrationFileName(QStringLiteral("/home/d/cartes/massif.JPG")),
                 QStringLiteral("/home/d/cartes/massif.Cal"));
        // The last four characters go, whatever they are.
        QCOMPARE(calibrationFileName(QStringLiteral("/home/d/cartes/massif.jpeg")),
                 QStringLiteral("/home/d/cartes/massif..Cal"));
        QCOMPARE(calibrationFileName(QStringLiteral("abc")), QStringLiteral(".Cal"));
    }

    void lineLayout()
    {
        using namespace CalibrationLine;
        QCOMPARE(of(0, PixelX), 3);
        QCOMPARE(of(0, Easting), 4);
        QCOMPARE(of(0, PixelY), 5);
        QCOMPARE(of(0, Northing), 6);
        QCOMPARE(of(1, PixelX), 7);
        QCOMPARE(of(2, Northing), 14);
        QCOMPARE(Count, 15);
    }

    void missingLine()
    {
        const QStringList lines(14, QStringLiteral("1"));
        QCOMPARE(calibrationLine(lines, 13), QStringLiteral("1"));
        QCOMPARE(TestUtil::messageOf([&] { calibrationLine(lines, 14); }),
                 QStringLiteral("Indice de liste hors limites (14)"));
    }

    void texts()
    {
        MapTransform t;
        QVERIFY(computeTransformFromTexts(t, sampleTexts()));
        QCOMPARE(t.c, (Coefficients{500000, 2, 0}));
        QCOMPARE(t.f, (Coefficients{2500000, 0, -0.5}));

        // Leading blanks are read, as a masked field filled from the right.
        CalibrationTexts padded = sampleTexts();
        padded[0].easting = QStringLiteral(" 500000");
        QVERIFY(computeTransformFromTexts(t, padded));
    }

    void halfFilledField()
    {
        MapTransform t;
        CalibrationTexts texts = sampleTexts();
        texts[1].northing = QStringLiteral("49980  ");
        QCOMPARE(TestUtil::messageOf([&] { computeTransformFromTexts(t, texts); }),
                 QStringLiteral("'49980  ' n'est pas une valeur entière correcte"));
        // The easting triple was solved before the failing northing.
        QCOMPARE(t.c, (Coefficients{500000, 2, 0}));
        QCOMPARE(t.d, (Coefficients{0, 0, 0}));
    }

    void emptyPixelLabel()
    {
        MapTransform t;
        CalibrationTexts texts = sampleTexts();
        texts[2].y = QString();
        QCOMPARE(TestUtil::messageOf([&] { computeTransformFromTexts(t, texts); }),
                 QStringLiteral("'' n'est pas une valeur entière correcte"));
        QCOMPARE(t.c, (Coefficients{0, 0, 0}));
    }
};

QUOR_TEST(CalibrationTest)
#include "tst_calibration.moc"
