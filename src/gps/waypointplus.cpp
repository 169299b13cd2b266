#include "waypointplus.h"

#include "data/cp1252.h"
#include "data/filelayer.h"
#include "data/linelist.h"
#include "data/quorerror.h"
#include "data/routefiles.h"

#include <algorithm>

namespace WaypointPlus {

namespace {

constexpr int kRouteNumberWidth = 2;
const QString kRouteNamePrefix = QStringLiteral("RouteName,");
const QString kRoutePointPrefix = QStringLiteral("RoutePoint,UTM,");
// The receiver wants a date, a time and a comment; they carry nothing here.
const QString kRoutePointSuffix = QStringLiteral(",01/01/2001,00:00:00,QUOR");

// Capitals as the receiver's code page has them: a letter whose capital
// Windows-1252 cannot hold (µ, ß) stays as it is, instead of turning into
// "?" or into two letters.
QString upperInCodePage(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const QString upper = QString(c).toUpper();
        const bool fits = upper.size() == 1 &&
                          (toCp1252Char(upper.at(0)) != '?' || upper.at(0) == QLatin1Char('?'));
        out.append(fits ? upper.at(0) : c);
    }
    return out;
}

} // namespace

int routeNumberForCatalogueRow(int catalogueRow)
{
    return std::clamp(catalogueRow + 1, kFirstRouteNumber, kLastRouteNumber);
}

QStringList lines(int routeNumber, const QString &routeName, const QStringList &waypointLines)
{
    using namespace RouteFiles;
    QStringList out;
    const int count = waypointCount(waypointLines);
    if (count > 0) {
        const QString &datum = waypointField(waypointLines, 0, Datum);
        if (datum == QLatin1String(kDatumEd50Label))
            out.append(QLatin1String(kDatumEd50Line));
        else if (datum == QLatin1String(kDatumWgs84Label))
            out.append(QLatin1String(kDatumWgs84Line));
    }
    out.append(kRouteNamePrefix + QStringLiteral("%1").arg(routeNumber, kRouteNumberWidth) +
               QLatin1Char(',') + upperInCodePage(routeName));
    for (int i = 0; i < count; ++i) {
        out.append(kRoutePointPrefix + waypointField(waypointLines, i, Label) +
                   QStringLiteral(" ,") + waypointField(waypointLines, i, Zone) +
                   waypointField(waypointLines, i, Letter) + QLatin1Char(',') +
                   waypointField(waypointLines, i, Easting) + QLatin1Char(',') +
                   waypointField(waypointLines, i, Northing) + kRoutePointSuffix);
    }
    return out;
}

void write(const QString &path, const QStringList &lines)
{
    LineList::write(path, lines);
}

} // namespace WaypointPlus
