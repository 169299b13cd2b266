#include "elevationprofile.h"

#include "data/itinerary.h"
#include "data/stringgrid.h"
#include "data/textforms.h"
#include "profilechart.h"

#include <utility>

using ElevationProfile::Chart::ceilDiv;
using ElevationProfile::Chart::floorDiv;
using ElevationProfile::Chart::kMetresPerKilometre;

QList<qint64> Graduations::values() const
{
    QList<qint64> list;
    for (qint64 v = first; v <= last; v += step)
        list.append(v);
    return list;
}

QList<ProfilePoint> elevationProfile(const StringGrid &stages)
{
    using namespace Itinerary;
    QList<ProfilePoint> points;
    const int last = lastRouteSheetStage(stages);
    qint64 distance = 0;
    qint64 driven = 0;
    qint64 longestDrive = 0;
    QChar vehicle;
    for (int row = 1; row <= last; ++row) {
        if (row > 1) {
            // The leg that leads here leaves the row above.
            const QString &means = stages.cell(Means, row - 1);
            const QString &cell = stages.cell(Distance, row - 1);
            const QChar mode = means.isEmpty() ? QChar() : means.at(0);
            if (!cell.isEmpty()) {
                if (mode == QLatin1Char('M')) {
                    distance += parse_integer(cell);
                } else if (mode == QLatin1Char('V') || mode == QLatin1Char('T') ||
                           mode == QLatin1Char('O')) {
                    const qint64 leg = qint64(parse_integer(cell)) * kMetresPerKilometre;
                    distance += leg;
                    // Every means other than the feet may be shortened behind
                    // a break, so that the walk fills the page.
                    driven += leg;
                    if (leg > longestDrive) {
                        longestDrive = leg;
                        vehicle = mode;
                    }
                }
            }
        }
        const QString &altitude = stages.cell(Altitude, row);
        if (altitude.isEmpty())
            continue;
        points.append({distance, parse_integer(altitude), stages.cell(Place, row),
                       stages.cell(Time, row), row, driven, vehicle});
        driven = 0;
        longestDrive = 0;
        vehicle = QChar();
    }
    return points;
}

Graduations roundGraduations(qint64 low, qint64 high, int maxSteps)
{
    using ElevationProfile::kFlatMargin;
    if (high < low)
        std::swap(low, high);
    if (high == low) {
        low -= kFlatMargin;
        high += kFlatMargin;
    }
    const qint64 range = high - low;
    static constexpr int kMantissas[] = {1, 2, 5};
    qint64 step = 1;
    for (qint64 power = 1;; power *= 10) {
        bool found = false;
        for (int m : kMantissas) {
            step = m * power;
            if (ceilDiv(range, step) <= maxSteps) {
                found = true;
                break;
            }
        }
        if (found)
            break;
    }
    return {floorDiv(low, step) * step, ceilDiv(high, step) * step, step};
}

ProfileHeader profileHeader(const StringGrid &stages, const QString &title, const QString &date)
{
    return {.title = title,
            .date = date,
            .totals = routeSheetTotals(stages, lastRouteSheetStage(stages)),
            .ground = {}};
}
