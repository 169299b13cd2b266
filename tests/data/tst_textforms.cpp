#include "common/testmain.h"
#include "data/countedstring.h"
#include "data/cp1252.h"
#include "data/quorerror.h"
#include "data/textforms.h"

#include <QTest>

// Texts of times, dates and integers, the code page and counted strings.
class TextFormsTest : public QObject
{
    Q_OBJECT
private slots:
    void timeTextRoundsToMillisecondThenDropsSeconds_data()
    {
        QTest::addColumn<double>("days");
        QTest::addColumn<QString>("text");
        QTest::newRow("08:30") << 8.5 / 24 << "08:30";
        QTest::newRow("08:05") << (8 * 60 + 5) / 1440.0 << "08:05";
        // 08:00 + 100 m at 300 m/h: the sum falls a hair short of 08:20.
        QTest::newRow("08:20 not 08:19") << double(8.0L / 24 + 100.0L / 300 / 24) << "08:20";
        QTest::newRow("seconds dropped") << (8 * 3600 + 2 * 60 + 34) / 86400.0 << "08:02";
        QTest::newRow("59.9996 s rounds up") << (59 * 60 + 59.9996) / 86400.0 << "01:00";
        QTest::newRow("past midnight wraps") << 24.5 / 24 << "00:30";
        QTest::newRow("date part ignored") << 45000.25 << "06:00";
    }
    void timeTextRoundsToMillisecondThenDropsSeconds()
    {
        QFETCH(double, days);
        QFETCH(QString, text);
        QCOMPARE(time_of_day_text(days), text);
    }

    void parseTimeForms()
    {
        QCOMPARE(parse_time_of_day(QStringLiteral("08:30")), 8.5 / 24);
        QCOMPARE(parse_time_of_day(QStringLiteral("8:30")), 8.5 / 24);
        QCOMPARE(parse_time_of_day(QStringLiteral("  8:30")), 8.5 / 24);
        QCOMPARE(parse_time_of_day(QStringLiteral("08:30:30")),
                 (8 * 3600000.0 + 30 * 60000.0 + 30000.0) / 86400000.0);
        QCOMPARE(parse_time_of_day(QStringLiteral("00:00")), 0.0);
        QCOMPARE(parse_time_of_day(QStringLiteral("23:59")), (23 * 60 + 59) * 60000.0 / 86400000.0);
    }

    void parseTimeRefusesOtherTexts_data()
    {
        QTest::addColumn<QString>("text");
        for (const char *t : {"", " ", "24:00", "12:60", "12", "12:", "ab:cd", "12:30 ", "1 2:30",
                              "12:30:60", "-1:00", "123:00"})
            QTest::newRow(t) << QString::fromLatin1(t);
    }
    void parseTimeRefusesOtherTexts()
    {
        QFETCH(QString, text);
        try {
            parse_time_of_day(text);
            QFAIL("accepted");
        } catch (const QuorError &e) {
            QCOMPARE(e.text(), QStringLiteral("'%1' n'est pas une heure correcte").arg(text));
        }
    }

    void datesReadBackAsTheSameDate()
    {
        // A 1930 outing must not come back as 2030.
        for (const QDate &d : {QDate(1930, 5, 1), QDate(1946, 1, 1), QDate(1947, 1, 1),
                               QDate(2005, 2, 28), QDate(2045, 12, 31), QDate(2046, 1, 1)}) {
            const double days = dateToDays(d);
            const QString text = date_text(days, 2026);
            QCOMPARE(parse_date(text, 2026), days);
        }
        QCOMPARE(date_text(dateToDays(QDate(2005, 3, 7)), 2026), QStringLiteral("07/03/05"));
        QCOMPARE(date_text(dateToDays(QDate(1930, 3, 7)), 2026), QStringLiteral("07/03/1930"));
        QCOMPARE(dateToDays(QDate(1899, 12, 31)), 1.0);
    }

    void twoDigitYearsFallInTheWindow()
    {
        QCOMPARE(daysToDate(parse_date(QStringLiteral("1/2/05"), 2026)), QDate(2005, 2, 1));
        QCOMPARE(daysToDate(parse_date(QStringLiteral("01/02/46"), 2026)), QDate(1946, 2, 1));
        QCOMPARE(daysToDate(parse_date(QStringLiteral("01/02/45"), 2026)), QDate(2045, 2, 1));
        QCOMPARE(daysToDate(parse_date(QStringLiteral(" 1/ 2/05"), 2026)), QDate(2005, 2, 1));
        QCOMPARE(daysToDate(parse_date(QStringLiteral("01/02/1930"), 2026)), QDate(1930, 2, 1));
    }

    void badDatesGiveTheDateMessage_data()
    {
        QTest::addColumn<QString>("text");
        for (const char *t : {"31/02/05", "  /  /  ", "", "1/2", "1/2/345", "00/01/05", "1/13/05",
                              "a/b/c", "1/2/05x"})
            QTest::newRow(t) << QString::fromLatin1(t);
    }
    void badDatesGiveTheDateMessage()
    {
        QFETCH(QString, text);
        try {
            parse_date(text, 2026);
            QFAIL("accepted");
        } catch (const QuorError &e) {
            QCOMPARE(e.text(), QStringLiteral("'%1' n'est pas une date correcte").arg(text));
        }
    }

    void integers()
    {
        QCOMPARE(parse_integer(QStringLiteral("1200")), 1200);
        QCOMPARE(parse_integer(QStringLiteral("  42")), 42);
        QCOMPARE(parse_integer(QStringLiteral("-7")), -7);
        QCOMPARE(parse_integer(QStringLiteral("2147483647")), 2147483647);
        QCOMPARE(parse_integer(QStringLiteral("-2147483648")), -2147483647 - 1);
        QCOMPARE(integer_text(-15), QStringLiteral("-15"));
        for (const char *bad : {"", "12 3", "12 ", "x", "2147483648", "1.5", "-"}) {
            try {
                parse_integer(QString::fromLatin1(bad));
                QFAIL(bad);
            } catch (const QuorError &e) {
                QCOMPARE(e.text(), QStringLiteral("'%1' n'est pas une valeur entière correcte")
                                       .arg(QString::fromLatin1(bad)));
            }
        }
    }

    void codePage()
    {
        QCOMPARE(toCp1252(QStringLiteral("é€œ")), QByteArray("\xE9\x80\x9C"));
        QCOMPARE(toCp1252(QStringLiteral("a\u4E2Db")), QByteArray("a?b"));
        QCOMPARE(toCp1252(QString::fromUtf16(u"x\U0001F600y")), QByteArray("x?y"));
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        QCOMPARE(toCp1252(fromCp1252(all)), all);
        QCOMPARE(fromCp1252(QByteArray("For\xEAt")), QStringLiteral("Forêt"));
    }

    void countedStringsCutAndStayInsideTheirField()
    {
        QByteArray block(20, '\x55');
        CountedString::write(block, 2, 15, QStringLiteral("Vingt caractères ici"));
        QCOMPARE(block.at(2), char(15));
        QCOMPARE(CountedString::read(block, 2, 15), QStringLiteral("Vingt caractère"));
        QCOMPARE(block.at(0), '\x55');
        QCOMPARE(block.at(18), '\x55');

        CountedString::write(block, 2, 15, QStringLiteral("é"));
        QCOMPARE(block.mid(2, 4), QByteArray("\x01\xE9\0\0", 4));

        // A damaged length byte reads the whole storage, nothing beyond.
        block[2] = char(200);
        QCOMPARE(CountedString::read(block, 2, 15).size(), 15);
    }
};
QUOR_TEST(TextFormsTest)

#include "tst_textforms.moc"
