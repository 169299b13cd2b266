#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// The one door through which texts and numbers written by another program
// (a GPX file today) reach the project's files. Those files were made for
// what the user types in the program's own controls: one value a line,
// Windows-1252, fixed widths, labels that later become itinerary places and
// Waypoint+ fields. Nothing the user types goes through here.
namespace ImportGate {

// A label becomes the place of a stage, which holds this many characters.
constexpr qsizetype kLabelWidth = 40;
// What the altitude lines and the itinerary's 32-bit field can hold.
constexpr double kLowestAltitude = -2147483648.0;
constexpr double kHighestAltitude = 2147483647.0;

// An outside text as the files will store it, or why it cannot be used.
struct Text
{
    QString value;  // as stored: one line, Windows-1252, within the width
    QString reason; // empty when the text is usable
    bool usable() const { return reason.isEmpty(); }
};

// Every run of control characters (line breaks and tabs included) becomes a
// single space, then the text is trimmed.
QString oneLine(const QString &text);

// A route name: one line, every character held by Windows-1252 (a name that
// would be stored as "?" could become equal to another and lose it).
Text routeName(const QString &text);

// A waypoint label: as a route name, cut to kLabelWidth characters, and
// without the comma that separates Waypoint+ fields.
Text label(const QString &text);

// Whole metres, halves to even, when the files can hold them; nothing for a
// number that is not finite or beyond kLowestAltitude..kHighestAltitude.
std::optional<qint32> altitude(double metres);

} // namespace ImportGate
