#include "textforms.h"

#include "quorerror.h"

#include <cmath>
#include <limits>

namespace {

// The two-digit year window: from this year - 80 to this year + 19.
constexpr int kYearWindowBefore = 80;
constexpr int kYearWindowAfter = 19;
// The years a date can have.
constexpr int kFirstYear = 1;
constexpr int kLastYear = 9999;

const QDate &epoch()
{
    static const QDate d(1899, 12, 30);
    return d;
}

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// Reads 1 to maxDigits decimal digits at pos.
bool readNumber(const QString &text, qsizetype &pos, int maxDigits, int &value,
                int *digitCount = nullptr)
{
    int digits = 0;
    value = 0;
    while (pos < text.size() && digits < maxDigits && text.at(pos) >= QLatin1Char('0') &&
           text.at(pos) <= QLatin1Char('9')) {
        value = value * 10 + (text.at(pos).unicode() - '0');
        ++pos;
        ++digits;
    }
    if (digitCount)
        *digitCount = digits;
    return digits > 0;
}

void skipBlanks(const QString &text, qsizetype &pos)
{
    while (pos < text.size() && isBlank(text.at(pos)))
        ++pos;
}

int currentYear()
{
    return QDate::currentDate().year();
}

} // namespace

QString time_of_day_text(double days)
{
    // Only a damaged record holds these; the runtime refuses to convert them.
    if (!std::isfinite(days))
        throwInvalidFloatOperation();
    const long double scaled = static_cast<long double>(days) * kMillisecondsPerDay;
    qint64 ms;
    if (std::fabs(scaled) < 9e18L) {
        ms = std::llrint(scaled) % kMillisecondsPerDay; // the FPU default: halves to even
    } else {
        ms = static_cast<qint64>(
            std::fmod(std::nearbyint(scaled), static_cast<long double>(kMillisecondsPerDay)));
    }
    if (ms < 0)
        ms += kMillisecondsPerDay;
    const int hours = static_cast<int>(ms / 3'600'000);
    const int minutes = static_cast<int>((ms / 60'000) % 60);
    // Built by hand: this runs for every stage at every move of the cursor.
    const QChar text[5] = {QChar(u'0' + hours / 10), QChar(u'0' + hours % 10), QChar(u':'),
                           QChar(u'0' + minutes / 10), QChar(u'0' + minutes % 10)};
    return QString(text, 5);
}

double parse_time_of_day(const QString &text)
{
    qsizetype pos = 0;
    skipBlanks(text, pos);
    int hours = 0, minutes = 0, seconds = 0;
    bool ok =
        readNumber(text, pos, 2, hours) && pos < text.size() && text.at(pos) == QLatin1Char(':');
    if (ok) {
        ++pos;
        ok = readNumber(text, pos, 2, minutes);
    }
    if (ok && pos < text.size() && text.at(pos) == QLatin1Char(':')) {
        ++pos;
        ok = readNumber(text, pos, 2, seconds);
    }
    ok = ok && pos == text.size() && hours <= 23 && minutes <= 59 && seconds <= 59;
    if (!ok)
        throwTimeError(text);
    const qint64 ms = hours * 3'600'000LL + minutes * 60'000LL + seconds * 1000LL;
    return static_cast<double>(ms) / static_cast<double>(kMillisecondsPerDay);
}

double dateToDays(const QDate &date)
{
    return static_cast<double>(epoch().daysTo(date));
}

QDate daysToDate(double days)
{
    // Dates run from 1 January of year 1 to 31 December 9999; a damaged record
    // may hold any eight bytes, which the runtime refuses to convert.
    static const double first = dateToDays(QDate(kFirstYear, 1, 1));
    static const double last = dateToDays(QDate(kLastYear, 12, 31));
    const double whole = std::trunc(days);
    if (!(whole >= first && whole <= last))
        throwInvalidFloatOperation();
    return epoch().addDays(static_cast<qint64>(whole));
}

QString date_text(double days)
{
    return date_text(days, currentYear());
}

QString date_text(double days, int year)
{
    const QDate date = daysToDate(days);
    const bool shortYear =
        date.year() >= year - kYearWindowBefore && date.year() <= year + kYearWindowAfter;
    const QString yearText =
        shortYear ? QStringLiteral("%1").arg(date.year() % 100, 2, 10, QLatin1Char('0'))
                  : QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0'));
    return QStringLiteral("%1/%2/%3")
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(yearText);
}

double parse_date(const QString &text)
{
    return parse_date(text, currentYear());
}

double parse_date(const QString &text, int year)
{
    qsizetype pos = 0;
    int day = 0, month = 0, y = 0, yearDigits = 0;
    skipBlanks(text, pos);
    bool ok =
        readNumber(text, pos, 2, day) && pos < text.size() && text.at(pos) == QLatin1Char('/');
    if (ok) {
        ++pos;
        skipBlanks(text, pos);
        ok = readNumber(text, pos, 2, month) && pos < text.size() &&
             text.at(pos) == QLatin1Char('/');
    }
    if (ok) {
        ++pos;
        skipBlanks(text, pos);
        ok = readNumber(text, pos, 4, y, &yearDigits) && pos == text.size() && yearDigits != 3;
    }
    if (ok && yearDigits <= 2) {
        // The year in the window that ends in these digits.
        const int first = year - kYearWindowBefore;
        int candidate = first - (first % 100) + y;
        if (candidate < first)
            candidate += 100;
        y = candidate;
    }
    const QDate date(y, month, day);
    if (!ok || !date.isValid())
        throwDateError(text);
    return dateToDays(date);
}

QString integer_text(qint32 value)
{
    return QString::number(value);
}

bool tryParseInteger(const QString &text, qint32 &value)
{
    qsizetype pos = 0;
    skipBlanks(text, pos);
    bool negative = false;
    if (pos < text.size() &&
        (text.at(pos) == QLatin1Char('-') || text.at(pos) == QLatin1Char('+'))) {
        negative = text.at(pos) == QLatin1Char('-');
        ++pos;
    }
    if (pos == text.size())
        return false;
    qint64 magnitude = 0;
    for (; pos < text.size(); ++pos) {
        const QChar c = text.at(pos);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        magnitude = magnitude * 10 + (c.unicode() - '0');
        if (magnitude > 2147483648LL)
            return false;
    }
    const qint64 signedValue = negative ? -magnitude : magnitude;
    if (signedValue > std::numeric_limits<qint32>::max())
        return false;
    value = static_cast<qint32>(signedValue);
    return true;
}

qint32 parse_integer(const QString &text)
{
    qint32 value = 0;
    if (!tryParseInteger(text, value))
        throwIntegerError(text);
    return value;
}
