#pragma once

#include "editor/routesheet.h"

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

// The comparison of an itinerary with a recorded walk as a printed table, on
// the route sheet's virtual page (RouteSheet::kPageWidth x kPageHeight
// units scaled to the printable area): a heading, the column titles, then
// one line a stage, kLinesPerPage lines a page with the titles again on
// every page.
namespace ComparisonSheet {

constexpr int kLinesPerPage = 40;

// `titles` and each of `rows` have the same number of cells, at most
// kColumns. Each column is as wide as its widest text; the second (the
// places) gives way when they would not fit the page, its texts cut.
constexpr int kColumns = 9;
QList<SheetOperation> layout(const QString &heading, const QString &subheading,
                             const QStringList &titles, const QList<QStringList> &rows,
                             const QSize &printable, const TextMetrics &metrics);

} // namespace ComparisonSheet
