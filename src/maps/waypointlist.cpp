#include "waypointlist.h"

#include "data/quorerror.h"
#include "data/textforms.h"
#include "linelookup.h"

namespace WaypointList {

namespace {

constexpr int kDecimalBase = 10;

QString labelText(const QString &routeCode, int number)
{
    return routeCode +
           QStringLiteral("%1").arg(number, kLabelDigits, kDecimalBase, QLatin1Char('0'));
}

} // namespace

QString noFreeLabelMessage(const QString &routeCode)
{
    return QStringLiteral("Les %1 étiquettes de la route, de %2 à %3, sont toutes utilisées : "
                          "aucun point ne peut être ajouté.")
        .arg(kLabelsPerRoute)
        .arg(labelText(routeCode, 0), labelText(routeCode, kLabelsPerRoute - 1));
}

std::optional<QString> freeWaypointLabel(const QString &routeCode, const QStringList &waypointLines)
{
    const LineLookup lookup(waypointLines);
    for (int number = 0; number < kLabelsPerRoute; ++number) {
        const QString label = labelText(routeCode, number);
        if (!lookup.contains(label))
            return label;
    }
    return std::nullopt;
}

QStringList labels(const QStringList &waypointLines)
{
    QStringList result;
    const int count = RouteFiles::waypointCount(waypointLines);
    result.reserve(count);
    for (int i = 0; i < count; ++i)
        result.append(RouteFiles::waypointField(waypointLines, i, RouteFiles::Label));
    return result;
}

QStringList rebuildWaypointLines(const QStringList &listedLabels, const QStringList &waypointLines,
                                 const PanelTexts &panel)
{
    using RouteFiles::kLinesPerWaypoint;
    const LineLookup lookup(waypointLines);
    QStringList rebuilt;
    rebuilt.reserve(listedLabels.size() * kLinesPerWaypoint);
    for (const QString &label : listedLabels) {
        const qsizetype k = lookup.find(label);
        // A listed label is found at or before its own complete record, so a
        // found record always has its ten lines.
        if (k >= 0 && k + kLinesPerWaypoint <= waypointLines.size()) {
            rebuilt.append(waypointLines.mid(k, kLinesPerWaypoint));
            continue;
        }
        RouteFiles::appendWaypoint(rebuilt, label, panel);
    }
    return rebuilt;
}

void moveLabel(QStringList &waypointLines, qsizetype record, RouteFiles::WaypointLine offset,
               int delta)
{
    const qsizetype index = record + offset;
    if (index < 0 || index >= waypointLines.size())
        throwListIndex(int(index));
    QString &line = waypointLines[index];
    line = QString::number(qint64(parse_integer(line)) + delta);
}

} // namespace WaypointList
