#include "common/testmain.h"
#include "maps/gridlabels.h"

#include <QImage>
#include <QPainter>
#include <QTest>

namespace {

// Records every text drawn, measuring each character as 10 pixels wide and
// each text as 12 high.
class RecordingCanvas : public LabelCanvas
{
public:
    struct Text
    {
        int left;
        int top;
        QString text;
    };
    static constexpr int kCharWidth = 10;
    static constexpr int kHeight = 12;

    int textWidth(const QString &text) const override { return int(text.size()) * kCharWidth; }
    int textHeight(const QString &) const override { return kHeight; }
    void textOut(int left, int top, const QString &text) override
    {
        texts.append({left, top, text});
    }

    QList<Text> texts;
};

MapTransform labelledTransform()
{
    MapTransform t;
    t.c = {500000, 2, 0};
    t.d = {5000000, 0, -2};
    return t;
}

} // namespace

class GridLabelsTest : public QObject
{
    Q_OBJECT

private slots:
    void title()
    {
        QCOMPARE(gridTitle(QStringLiteral("31"), QStringLiteral("U"), QStringLiteral("ED50")),
                 QStringLiteral(" 31U ED50 "));
    }

    void labelsOfTheSampleMap()
    {
        RecordingCanvas canvas;
        drawGridLabels(canvas, labelledTransform(), 1000, 1000, QStringLiteral(" 31U ED50 "));
        QCOMPARE(canvas.texts.size(), 5);
        // The title, centred, at y = 20.
        QCOMPARE(canvas.texts[0].text, QStringLiteral(" 31U ED50 "));
        QCOMPARE(canvas.texts[0].left, (1000 - 100) / 2);
        QCOMPARE(canvas.texts[0].top, 20);
        // Eastings: none at x = 0, then centred on x = 500 and x = 1000.
        QCOMPARE(canvas.texts[1].text, QStringLiteral(" 501000 "));
        QCOMPARE(canvas.texts[1].left, 500 - 80 / 2);
        QCOMPARE(canvas.texts[1].top, 40);
        QCOMPARE(canvas.texts[2].text, QStringLiteral(" 502000 "));
        QCOMPARE(canvas.texts[2].left, 1000 - 40);
        QCOMPARE(canvas.texts[2].top, 40);
        // Northings at the left edge, centred on rows 1 and 501, naming the
        // kilometre line just crossed going down.
        QCOMPARE(canvas.texts[3].text, QStringLiteral(" 5000000 "));
        QCOMPARE(canvas.texts[3].left, 0);
        QCOMPARE(canvas.texts[3].top, 1 - 12 / 2);
        QCOMPARE(canvas.texts[4].text, QStringLiteral(" 4999000 "));
        QCOMPARE(canvas.texts[4].left, 0);
        QCOMPARE(canvas.texts[4].top, 501 - 6);
    }

    void lastColumnAndRowAreIncluded()
    {
        RecordingCanvas canvas;
        drawGridLabels(canvas, labelledTransform(), 999, 500, QStringLiteral("T"));
        // x runs to 999 only: no label at 1000; y runs to 500: no label at 501.
        QCOMPARE(canvas.texts.size(), 3);
        QCOMPARE(canvas.texts[0].left, (999 - 10) / 2);
        QCOMPARE(canvas.texts[1].text, QStringLiteral(" 501000 "));
        QCOMPARE(canvas.texts[2].text, QStringLiteral(" 5000000 "));
    }

    void eastingsTruncateAndNorthingsRoundTheStart()
    {
        // The easting at x = 0 is 499999.6: its start rounds to 500000 (km
        // 500) while the first column truncates to 499999 (km 499).
        MapTransform t;
        t.c = {499999.6, 1, 0};
        t.d = {0, 0, 0};
        RecordingCanvas canvas;
        drawGridLabels(canvas, t, 10, 0, QString());
        QCOMPARE(canvas.texts.size(), 3);
        QCOMPARE(canvas.texts[1].text, QStringLiteral(" 499000 "));
        QCOMPARE(canvas.texts[1].left, 0 - 40);
        QCOMPARE(canvas.texts[2].text, QStringLiteral(" 500000 "));
        QCOMPARE(canvas.texts[2].left, 1 - 40);
    }

    void titleLeftEdgeTruncatesTowardZero()
    {
        RecordingCanvas canvas;
        // (5 - 20) / 2 = -7 in integer division toward zero.
        drawGridLabels(canvas, MapTransform(), 5, 0, QStringLiteral("AB"));
        QCOMPARE(canvas.texts[0].left, -7);
    }

    void fontSizeFollowsTheDensity()
    {
        QCOMPARE(gridLabelFont(300).pointSize(), 30);
        QCOMPARE(gridLabelFont(72).pointSize(), 7);
        QCOMPARE(gridLabelFont(300).family(), QStringLiteral("Arial"));
    }

    void painterDrawsBlueOnWhite()
    {
        QImage picture(200, 100, QImage::Format_RGB888);
        picture.fill(QColor(0, 128, 0));
        QPainter painter(&picture);
        painter.setFont(gridLabelFont(120));
        painter.setPen(GridLabels::kColour);
        PainterLabelCanvas canvas(painter);
        canvas.textOut(10, 10, QStringLiteral(" 8 "));
        const int w = canvas.textWidth(QStringLiteral(" 8 "));
        const int h = canvas.textHeight(QStringLiteral(" 8 "));
        painter.end();
        QVERIFY(w > 0 && h > 0);
        // The box behind the text is white, with blue strokes inside it.
        QCOMPARE(picture.pixelColor(11, 11), QColor(Qt::white));
        bool blue = false;
        for (int y = 10; y < 10 + h; ++y) {
            for (int x = 10; x < 10 + w; ++x)
                blue = blue || picture.pixelColor(x, y) == QColor(0, 0, 255);
        }
        QVERIFY(blue);
        QCOMPARE(picture.pixelColor(10 + w + 2, 10), QColor(0, 128, 0));
    }
};

QUOR_TEST(GridLabelsTest)
#include "tst_gridlabels.moc"
