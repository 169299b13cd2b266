#include "common/testmain.h"
#include "data/countedstring.h"
#include "data/quorerror.h"
#include "data/settings.h"
#include "data/textforms.h"
#include "faultfixture.h"
#include "gps/waypointplus.h"
#include "maps/gridlabels.h"
#include "maps/jpegdecoder.h"

#include <QTest>

#include <limits>

#include <jerror.h>

using namespace Faults;
using TestUtil::readBytes;

namespace {

const QString kInvalidOperation = QStringLiteral("Opération en virgule flottante incorrecte");

QString refusalOf(const std::function<void()> &body)
{
    try {
        body();
    } catch (const QuorError &error) {
        return error.text();
    }
    return QString();
}

QByteArray catalogueWithDate(int row, double date)
{
    QByteArray block(Catalogue::kBlockSize, '\0');
    CountedString::write(block, 0, Catalogue::kCodeCapacity, QStringLiteral("COL"));
    LittleEndian::writeDouble(block, row * Catalogue::kRecordSize + Catalogue::kDateOffset, date);
    return block;
}

QByteArray itineraryWithTime(int stage, double time)
{
    QByteArray block(Itinerary::kBlockSize, '\0');
    CountedString::write(block, 0, Itinerary::kPlaceCapacity, QStringLiteral("Parking"));
    LittleEndian::writeDouble(block, (stage - 1) * Itinerary::kRecordSize + Itinerary::kTimeOffset,
                              time);
    return block;
}

} // namespace

// What the fuzz targets of tests/fuzz found, kept as regressions: damaged
// record values, dates that did not read back, capitals the export's code
// page cannot hold.
class FindingsTest : public QObject
{
    Q_OBJECT
private slots:
    // A date of 3.8e117 days, or any eight bytes that are no date, was
    // converted to an integer beyond its range (undefined behaviour); it is
    // now the runtime's refusal of the conversion.
    void damagedDatesAreRefused_data()
    {
        QTest::addColumn<double>("days");
        QTest::newRow("beyond 64 bits") << 3.83698e+117;
        QTest::newRow("lowest double") << std::numeric_limits<double>::lowest();
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity();
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("year 10000") << dateToDays(QDate(10000, 1, 1));
        QTest::newRow("before year 1") << dateToDays(QDate(1, 1, 1)) - 1;
    }

    void damagedDatesAreRefused()
    {
        QFETCH(double, days);
        QCOMPARE(refusalOf([&] { date_text(days, 2026); }), kInvalidOperation);
    }

    void damagedTimesAreRefused()
    {
        QCOMPARE(refusalOf([] { time_of_day_text(std::numeric_limits<double>::quiet_NaN()); }),
                 kInvalidOperation);
        QCOMPARE(refusalOf([] { time_of_day_text(-std::numeric_limits<double>::infinity()); }),
                 kInvalidOperation);
        // Huge but finite values are still a time of day.
        QCOMPARE(time_of_day_text(1e300).size(), 5);
    }

    // Years outside the two-digit window were shown with as many digits as
    // they have: the year 5 showed as "5" and read back as 2005.
    void everyShownDateReadsBack()
    {
        for (const QDate date :
             {QDate(1, 1, 1), QDate(5, 6, 7), QDate(99, 12, 31), QDate(100, 1, 1), QDate(999, 3, 4),
              QDate(1899, 12, 31), QDate(1945, 1, 1), QDate(2046, 1, 1), QDate(9999, 12, 31)}) {
            const QString text = date_text(dateToDays(date), 2026);
            QCOMPARE(daysToDate(parse_date(text, 2026)), date);
        }
        QCOMPARE(date_text(dateToDays(QDate(5, 6, 7)), 2026), QStringLiteral("07/06/0005"));
    }

    // A damaged catalogue or itinerary leaves the grid as it was: the whole
    // block is converted before the first cell changes.
    void damagedBlocksLeaveTheGrid()
    {
        StringGrid catalogue(Catalogue::kColumns, Catalogue::kRows);
        catalogue.setCell(Catalogue::Title, 0, QStringLiteral("Avant"));
        QCOMPARE(refusalOf([&] {
                     Catalogue::blockToGrid(catalogueWithDate(30, 3.83698e+117), catalogue);
                 }),
                 kInvalidOperation);
        QCOMPARE(catalogue.cell(Catalogue::Title, 0), QStringLiteral("Avant"));
        QCOMPARE(catalogue.cell(Catalogue::Code, 0), QString());

        StringGrid stages(Itinerary::kColumns, Itinerary::kGridRows);
        stages.setCell(Itinerary::Place, 1, QStringLiteral("Avant"));
        QCOMPARE(refusalOf([&] {
                     Itinerary::blockToGrid(
                         itineraryWithTime(40, std::numeric_limits<double>::quiet_NaN()), stages);
                 }),
                 kInvalidOperation);
        QCOMPARE(stages.cell(Itinerary::Place, 1), QStringLiteral("Avant"));
        QCOMPARE(stages.cell(Itinerary::Place, 0), QString());
    }

    // Through the window: a damaged itinerary is not opened, its file and
    // the reserved bytes a later save writes back are untouched.
    void damagedItineraryIsNotOpened()
    {
        Program p;
        QByteArray damaged = itineraryWithTime(3, std::numeric_limits<double>::infinity());
        damaged[Itinerary::kReservedOffset] = 'D';
        TestUtil::writeBytes(p.projectFile(QStringLiteral("quor2.qud")), damaged);
        p.start();
        p.openItinerary(1);
        p.platform.confirmAnswers = {false};
        p.main().Itinraire1->trigger();
        const auto before = p.files();
        p.openItinerary(2);
        QCOMPARE(p.platform.errors, QStringList{kInvalidOperation});
        QCOMPARE(p.app->state.viewMode, ViewMode::Catalogue);
        QCOMPARE(differences(before, p.files()), QString());
        // The block of the last itinerary shown is still the one kept.
        QCOMPARE(p.app->state.itineraryBlock.at(Itinerary::kReservedOffset), char(0x5A + 1));
    }

    // The route name was upper-cased by Unicode rules: "ƒ" became "Ƒ", which
    // Windows-1252 cannot hold, written as "?"; "ß" became "SS".
    void exportCapitalsStayInTheCodePage()
    {
        const QStringList lines =
            WaypointPlus::lines(3, QString::fromUtf8("Somƒ µ ß é ÿ œ"), waypointLines());
        QCOMPARE(lines.at(1), QString::fromUtf8("RouteName, 3,SOMƒ µ ß É Ÿ Œ"));
        QCOMPARE(TestUtil::cp1252(lines.at(1)),
                 QByteArray("RouteName, 3,SOM\x83 \xB5 \xDF \xC9 \x9F \x8C"));
    }

    // The settings file was replaced by the atomic rename even when it was
    // read-only.
    void readOnlySettingsStayAsTheyAre()
    {
        Program p;
        p.start();
        const QByteArray settings = readBytes(p.programFile(QStringLiteral("Quori.qud")));
        {
            Fault fault(readOnlyFile(p.programFile(QStringLiteral("Quori.qud"))));
            QCOMPARE(refusalOf([&] { write_settings(p.root() + QLatin1Char('/'), QString()); }),
                     QStringLiteral("Accès au fichier refusé"));
        }
        QCOMPARE(readBytes(p.programFile(QStringLiteral("Quori.qud"))), settings);
    }

    // Open finding in the map code: a calibration with points at the ends of
    // the 32-bit range puts the kilometres beyond 64 bits, which the labels
    // convert to an integer unchecked (undefined behaviour, reported by the
    // asan preset).
    void kilometreLabelsOfAnExtremeCalibration()
    {
        const QString low = QString::number(std::numeric_limits<qint32>::min());
        const QString high = QString::number(std::numeric_limits<qint32>::max());
        const QString next = QString::number(std::numeric_limits<qint32>::min() + 1);
        const CalibrationTexts texts = {PointTexts{low, low, low, QStringLiteral("1")},
                                        PointTexts{next, high, low, QStringLiteral("1")},
                                        PointTexts{low, high, next, QStringLiteral("1")}};
        MapTransform t;
        QVERIFY(computeTransformFromTexts(t, texts));
        struct Canvas : LabelCanvas
        {
            int textWidth(const QString &text) const override { return int(text.size()) * 7; }
            int textHeight(const QString &) const override { return 12; }
            void textOut(int, int, const QString &) override { ++count; }
            int count = 0;
        } canvas;
        drawGridLabels(canvas, t, 300, 300, QStringLiteral(" 31T ED50 "));
        QVERIFY(canvas.count >= 1);
    }

    // Open finding in the map code: a header declaring a huge picture, then
    // a few bytes of data ended by a marker, is decoded to its full size with
    // the missing rows painted grey: 600 bytes fill gigabytes. The decoder
    // already refuses a file that ends early; data that ends early at a marker
    // is as incomplete.
    void hugeHeaderWithoutDataIsRefused()
    {
        MapFixtures::JpegParams params;
        params.width = 24;
        params.height = 16;
        QByteArray bytes = MapFixtures::makeJpeg(params);
        const qsizetype frame = bytes.indexOf("\xFF\xC0");
        QVERIFY(frame > 0);
        constexpr int kDeclared = 20000;
        for (const int at : {5, 7}) {
            bytes[frame + at] = char(kDeclared >> 8);
            bytes[frame + at + 1] = char(kDeclared & 0xFF);
        }
        QCOMPARE(refusalOf([&] { decodeJpegData(bytes); }),
                 QStringLiteral("Erreur JPEG #%1").arg(JWRN_HIT_MARKER));
    }

    // Open finding in the main window: a remembered project whose catalogue
    // cannot be loaded at start-up stays the open project with an empty grid,
    // and "&Enregistrer" then writes 50 empty rows over the file that could
    // not be read.
    void damagedCatalogueAtStartUpIsNotOverwritten()
    {
        Program p;
        TestUtil::writeBytes(p.projectFile(QStringLiteral("Quord.qud")),
                             catalogueWithDate(12, std::numeric_limits<double>::quiet_NaN()));
        const auto before = p.files();
        p.start();
        QCOMPARE(p.platform.errors, QStringList{kInvalidOperation});
        p.platform.confirmAnswers = {true};
        p.main().Enregistrer1->trigger();
        QCOMPARE(differences(before, p.files()), QString());
    }
};

QUOR_TEST(FindingsTest)
#include "tst_findings.moc"
