#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The project's list of routes as the routes panel edits it: names in list
// order, each stored in the routes file with its two-letter code.
namespace RouteList {

// A name typed for a new route must be longer than this.
constexpr int kShortestRefusedLength = 2;
constexpr char16_t kFirstCodeLetter = u'A';
constexpr char16_t kLastCodeLetter = u'Z';

// Shown when "Nouvelle" finds every code from AA to ZZ in use.
QString noFreeCodeMessage();

// The first code in alphabetical order (AA, AB, ... ZZ) equal to no line of
// the routes file without regard to case, or nothing when all 676 are taken.
std::optional<QString> freeRouteCode(const QStringList &routeLines);

// Whether a typed name may become a new route: longer than two characters and
// equal to no listed name without regard to case. The text counts as typed.
bool acceptsNewName(const QString &name, const QStringList &listedNames);

// The routes file for the listed names, in list order: a name found in the
// current lines keeps its stored name and code, any other gets the first free
// code of the current lines. Throws noFreeCodeMessage() when there is none.
QStringList rebuildRouteLines(const QStringList &listedNames, const QStringList &routeLines);

} // namespace RouteList
