// The text forms of the grids, as typed or as stored: integers, times of day
// and dates, read from any text and shown from any stored value.

#include "data/cp1252.h"
#include "data/textforms.h"
#include "fuzzcheck.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstring>

namespace {

// Years around which the two-digit window is placed.
constexpr int kFirstYear = 1900;
constexpr int kLastYear = 2200;

void integers(const QString &text)
{
    qint32 value = 0;
    QString refusal;
    if (Fuzz::refuses([&] { value = parse_integer(text); }, &refusal)) {
        FUZZ_CHECK(refusal ==
                   QStringLiteral("'%1' n'est pas une valeur entière correcte").arg(text));
        return;
    }
    FUZZ_CHECK(parse_integer(integer_text(value)) == value);
}

void times(const QString &text)
{
    double days = 0;
    QString refusal;
    if (Fuzz::refuses([&] { days = parse_time_of_day(text); }, &refusal)) {
        FUZZ_CHECK(refusal == QStringLiteral("'%1' n'est pas une heure correcte").arg(text));
        return;
    }
    FUZZ_CHECK(days >= 0.0 && days < 1.0);
    // Shown and read again, a time keeps its hours and minutes.
    const QString shown = time_of_day_text(days);
    FUZZ_CHECK(time_of_day_text(parse_time_of_day(shown)) == shown);
}

void dates(const QString &text, int year)
{
    double days = 0;
    QString refusal;
    if (Fuzz::refuses([&] { days = parse_date(text, year); }, &refusal)) {
        FUZZ_CHECK(refusal == QStringLiteral("'%1' n'est pas une date correcte").arg(text));
        return;
    }
    FUZZ_CHECK(days == std::trunc(days));
    const QString shown = date_text(days, year);
    FUZZ_CHECK(parse_date(shown, year) == days);
}

// A value as a record holds it: any eight bytes.
void storedValue(double value, int year)
{
    QString time;
    if (!Fuzz::refuses([&] { time = time_of_day_text(value); })) {
        FUZZ_CHECK(time.size() == 5);
        FUZZ_CHECK(time_of_day_text(parse_time_of_day(time)) == time);
    }
    QString date;
    if (!Fuzz::refuses([&] { date = date_text(value, year); })) {
        // A shown date reads back as the same date.
        const double back = parse_date(date, year);
        FUZZ_CHECK(date_text(back, year) == date);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::quietQtWarnings();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const int year = input.ConsumeIntegralInRange(kFirstYear, kLastYear);
    const double value = input.ConsumeFloatingPoint<double>();
    std::string rawBytes = input.ConsumeRemainingBytesAsString();
    double raw = 0;
    if (rawBytes.size() >= sizeof raw)
        std::memcpy(&raw, rawBytes.data(), sizeof raw);
    const QString text = fromCp1252(rawBytes.data(), qsizetype(rawBytes.size()));

    integers(text);
    times(text);
    dates(text, year);
    storedValue(value, year);
    storedValue(raw, year);
    return 0;
}
