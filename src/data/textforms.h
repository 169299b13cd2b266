#pragma once

#include <QDate>
#include <QString>

// The text forms of numbers, dates and times in the grids.

constexpr qint64 kMillisecondsPerDay = 86'400'000;

// HH:MM of a time of day in days: rounded to the millisecond (halves to even),
// wrapped past midnight, seconds dropped. A value that is not a number fails
// with "Opération en virgule flottante incorrecte".
QString time_of_day_text(double days);

// H:MM or HH:MM, optionally :SS, blanks before the hour skipped. Throws
// "'%s' n'est pas une heure correcte".
double parse_time_of_day(const QString &text);

// Days since 30 December 1899.
double dateToDays(const QDate &date);
// The date of the whole days; one outside the years 1 to 9999 (or not a
// number) fails with "Opération en virgule flottante incorrecte".
QDate daysToDate(double days);

// Day/month/year. A year inside the two-digit window is shown with two digits,
// any other with four, so every shown date reads back as the same date.
QString date_text(double days);
QString date_text(double days, int currentYear);
// Throws "'%s' n'est pas une date correcte".
double parse_date(const QString &text);
double parse_date(const QString &text, int currentYear);

QString integer_text(qint32 value);
// Decimal, leading blanks allowed, optional sign. Throws
// "'%s' n'est pas une valeur entière correcte".
qint32 parse_integer(const QString &text);
bool tryParseInteger(const QString &text, qint32 &value);
