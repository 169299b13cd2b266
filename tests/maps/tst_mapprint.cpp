#include "common/testmain.h"
#include "data/quorerror.h"
#include "maps/mapprint.h"
#include "routewindow.h"

#include <QPrinter>
#include <QRegularExpression>
#include <QTransform>

using namespace RouteWindow;

namespace {

constexpr int kPrinterDpi = 600;
constexpr double kPdfPointsPerInch = 72.0;

// What a PDF file says of its one page and the picture on it, which the
// printer receives as bands of rows one under the other.
struct PrintedPage
{
    QSizeF mediaPoints;
    QSize imagePixels{0, 0};
    // The picture's rectangle on the page in printer dots, from the page's
    // top-left corner.
    QRectF imageDots;
    QString title;
    bool ok = false;
};

QList<double> numbers(const QList<QByteArray> &tokens, qsizetype end, int count)
{
    QList<double> values;
    for (qsizetype i = end - count; i < end; ++i)
        values << tokens.at(i).toDouble();
    return values;
}

QByteArray objectBody(const QByteArray &pdf, int number)
{
    const QByteArray head = QByteArray::number(number) + " 0 obj";
    qsizetype at = pdf.indexOf("\n" + head);
    if (at < 0)
        return {};
    at += head.size() + 1;
    return pdf.mid(at, pdf.indexOf("endobj", at) - at);
}

QByteArray inflate(const QByteArray &deflated)
{
    // qUncompress wants the expected size in front; a small guess is grown.
    QByteArray framed(4, '\0');
    framed[3] = char(1);
    return qUncompress(framed + deflated);
}

// Reads back the page size, the title and where the picture was drawn: the
// content stream's transformations in force when the picture is painted.
PrintedPage readPage(const QString &path)
{
    PrintedPage page;
    const QByteArray pdf = TestUtil::readBytes(path);
    const QRegularExpression media(QStringLiteral("/MediaBox \\[0 0 ([0-9.]+) ([0-9.]+)\\]"));
    const QRegularExpressionMatch m = media.match(QString::fromLatin1(pdf));
    if (!m.hasMatch())
        return page;
    page.mediaPoints = QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble());
    const QRegularExpression image(
        QStringLiteral("/Subtype /Image\\s*/Width (\\d+)\\s*/Height (\\d+)"));
    for (const QRegularExpressionMatch &im : image.globalMatch(QString::fromLatin1(pdf))) {
        page.imagePixels.setWidth(im.captured(1).toInt());
        page.imagePixels.setHeight(page.imagePixels.height() + im.captured(2).toInt());
    }
    const qsizetype t = pdf.indexOf("/Title (\xFE\xFF");
    if (t >= 0) {
        const qsizetype start = t + 10;
        const QByteArray utf16 = pdf.mid(start, pdf.indexOf(')', start) - start);
        for (qsizetype i = 0; i + 1 < utf16.size(); i += 2)
            page.title += QChar((uchar(utf16[i]) << 8) | uchar(utf16[i + 1]));
    }
    const QRegularExpression contents(QStringLiteral("/Contents (\\d+) 0 R"));
    const QRegularExpressionMatch c = contents.match(QString::fromLatin1(pdf));
    if (!c.hasMatch())
        return page;
    const QByteArray body = objectBody(pdf, c.captured(1).toInt());
    const qsizetype s = body.indexOf("stream\n") + 7;
    const QByteArray stream = inflate(body.mid(s, body.lastIndexOf("endstream") - s));
    QList<QByteArray> tokens;
    for (const QByteArray &t : stream.simplified().split(' '))
        tokens << t;
    QList<QTransform> stack;
    QTransform ctm;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const QByteArray &op = tokens.at(i);
        if (op == "q") {
            stack << ctm;
        } else if (op == "Q" && !stack.isEmpty()) {
            ctm = stack.takeLast();
        } else if (op == "cm") {
            const QList<double> v = numbers(tokens, i, 6);
            ctm = QTransform(v[0], v[1], v[2], v[3], v[4], v[5]) * ctm;
        } else if (op == "Do") {
            // The picture is the unit square; PDF's y axis points up.
            const QRectF unit = ctm.mapRect(QRectF(0, 0, 1, 1));
            const double dots = kPrinterDpi / kPdfPointsPerInch;
            const QRectF band(unit.left() * dots,
                              (page.mediaPoints.height() - unit.bottom()) * dots,
                              unit.width() * dots, unit.height() * dots);
            page.imageDots = page.ok ? page.imageDots.united(band) : band;
            page.ok = true;
        }
    }
    return page;
}

} // namespace

// "Imprimer": the map at the size of the scanned sheet, into a PDF file.
class MapPrintTest : public QObject
{
    Q_OBJECT
    Fixture f;
    QString m_pdf;
    QList<QPageLayout::Orientation> m_orientationsInDialog;

    void preparePdf()
    {
        m_pdf = f.dir->filePath(QStringLiteral("carte.pdf"));
        f.platform->printAnswers.append(true);
        f.platform->preparePrinter = [this](QPrinter &printer) {
            m_orientationsInDialog << printer.pageLayout().orientation();
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(m_pdf);
            printer.setResolution(kPrinterDpi);
        };
    }

    // A calibrated map of the given size and densities, on its waypoint panel.
    void openMap(int width, int height, quint16 xdens, quint16 ydens)
    {
        MapFixtures::JpegParams params = Fixture::paperParams();
        params.width = width;
        params.height = height;
        params.xdens = xdens;
        params.ydens = ydens;
        f.map = f.writeMap(QStringLiteral("imprimee.jpg"), params);
        TestUtil::writeBytes(calibrationFileName(f.map), crlf(kCalibration));
        f.writeRoutes({"Forêt", "AA"});
        f.openMap();
        f.openRoute(QStringLiteral("Forêt"));
        QCOMPARE(f.shownPanel(), QStringLiteral("Waypoints"));
    }

    static void compareRect(const QRectF &actual, const QRect &expected)
    {
        QCOMPARE(qRound(actual.width()), expected.width());
        QCOMPARE(qRound(actual.height()), expected.height());
    }

private slots:
    void init()
    {
        f.setUp();
        m_orientationsInDialog.clear();
    }
    void cleanup() { f.tearDown(); }

    void scannedSheetSize()
    {
        openMap(3000, 2000, 300, 300);
        f.clickMap(100, 300);
        preparePdf();
        f.w->Waypoints->WImprimer->click();
        QVERIFY(f.platform->errors.isEmpty());
        QCOMPARE(f.platform->printDialogs, 1);
        QCOMPARE(m_orientationsInDialog, QList<QPageLayout::Orientation>{QPageLayout::Landscape});
        const PrintedPage page = readPage(m_pdf);
        QVERIFY(page.ok);
        QVERIFY(page.mediaPoints.width() > page.mediaPoints.height());
        QCOMPARE(page.title, QStringLiteral("Carte de quor"));
        QCOMPARE(page.imagePixels, QSize(3000, 2000));
        // 10 by 6 2/3 inches at 600 dots per inch, at the printable area's
        // corner.
        compareRect(page.imageDots, QRect(0, 0, 6000, 4000));
        QVERIFY(page.imageDots.left() >= 0 && page.imageDots.left() < 600);
        QVERIFY(page.imageDots.top() >= 0 && page.imageDots.top() < 600);
    }

    void squareMapPrintsLandscape()
    {
        openMap(1000, 1000, 300, 300);
        preparePdf();
        f.w->Waypoints->WImprimer->click();
        QCOMPARE(m_orientationsInDialog, QList<QPageLayout::Orientation>{QPageLayout::Landscape});
        const PrintedPage page = readPage(m_pdf);
        QVERIFY(page.ok);
        QVERIFY(page.mediaPoints.width() > page.mediaPoints.height());
        compareRect(page.imageDots, QRect(0, 0, 2000, 2000));
    }

    void eachSideAtItsOwnDensity()
    {
        openMap(600, 900, 300, 150);
        preparePdf();
        f.w->Waypoints->WImprimer->click();
        QVERIFY(f.platform->errors.isEmpty());
        QCOMPARE(m_orientationsInDialog, QList<QPageLayout::Orientation>{QPageLayout::Portrait});
        const PrintedPage page = readPage(m_pdf);
        QVERIFY(page.ok);
        QVERIFY(page.mediaPoints.width() < page.mediaPoints.height());
        compareRect(page.imageDots, QRect(0, 0, 1200, 3600));
    }

    void largerThanThePageIsNotReduced()
    {
        openMap(3000, 2000, 100, 100);
        preparePdf();
        f.w->Waypoints->WImprimer->click();
        const PrintedPage page = readPage(m_pdf);
        QVERIFY(page.ok);
        compareRect(page.imageDots, QRect(0, 0, 18000, 12000));
    }

    void cancelledDialogPrintsNothing()
    {
        openMap(1000, 600, 300, 300);
        m_pdf = f.dir->filePath(QStringLiteral("carte.pdf"));
        f.platform->printAnswers.append(false);
        f.w->Waypoints->WImprimer->click();
        QCOMPARE(f.platform->printDialogs, 1);
        QVERIFY(!QFile::exists(m_pdf));
        QVERIFY(f.platform->errors.isEmpty());
    }

    void zeroDensityIsOneDotAPixel()
    {
        // A map without a density cannot be calibrated, so this is the
        // printing alone.
        preparePdf();
        QImage picture(1200, 400, QImage::Format_RGB888);
        picture.fill(kPaper);
        QPrinter printer(QPrinter::HighResolution);
        const QRect drawn = printMap(*f.platform, nullptr, printer, picture, 0, 300);
        QCOMPARE(drawn, QRect(0, 0, 1200, 800));
        const PrintedPage page = readPage(m_pdf);
        QVERIFY(page.ok);
        compareRect(page.imageDots, QRect(0, 0, 1200, 800));
    }

    void printerRefusal()
    {
        const QString bad = f.dir->filePath(QStringLiteral("absent/carte.pdf"));
        f.platform->printAnswers.append(true);
        f.platform->preparePrinter = [bad](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(bad);
        };
        QImage picture(100, 100, QImage::Format_RGB888);
        QPrinter printer(QPrinter::HighResolution);
        try {
            printMap(*f.platform, nullptr, printer, picture, 300, 300);
            QFAIL("no error");
        } catch (const QuorError &e) {
            QCOMPARE(e.text(), QStringLiteral("Impossible de créer le fichier ") + bad);
        }
    }
};

QUOR_TEST(MapPrintTest)
#include "tst_mapprint.moc"
