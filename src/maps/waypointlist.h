#pragma once

#include "data/routefiles.h"

#include <QString>
#include <QStringList>

#include <optional>

// A route's waypoints as the waypoint panel edits them: the labels in list
// order, each stored in the waypoint file as a record of ten lines.
namespace WaypointList {

// Labels are the route's code followed by 000 to 999.
constexpr int kLabelsPerRoute = 1000;
constexpr int kLabelDigits = 3;
// "Haut", "Bas", "Gauch" and "Droit" move a label by this many pixels.
constexpr int kLabelStep = 10;

// Shown when a click finds every label of the route in use.
QString noFreeLabelMessage(const QString &routeCode);

// The free label with the smallest number: the route's code and three digits,
// equal to no line of the waypoint file without regard to case; nothing when
// all 1000 are taken.
std::optional<QString> freeWaypointLabel(const QString &routeCode,
                                         const QStringList &waypointLines);

// The labels of the complete records, in file order.
QStringList labels(const QStringList &waypointLines);

// What the panel shows, written into a new waypoint's record.
using PanelTexts = RouteFiles::WaypointFields;

// The waypoint file for the listed labels, in list order: a label found in
// the current lines keeps its ten stored lines, any other becomes a new record
// from the panel with both label offsets "0". Records whose label is no longer
// listed, and a trailing part record, are dropped.
QStringList rebuildWaypointLines(const QStringList &listedLabels, const QStringList &waypointLines,
                                 const PanelTexts &panel);

// Adds `delta` to one label offset of the record starting at line `record`.
// Throws "'%s' n'est pas une valeur entière correcte" for a damaged offset.
void moveLabel(QStringList &waypointLines, qsizetype record, RouteFiles::WaypointLine offset,
               int delta);

} // namespace WaypointList
