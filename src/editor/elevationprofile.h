#pragma once

#include "routesheet.h"

#include <QList>
#include <QString>

class StringGrid;

// The shape of a walk: the stage altitudes against the horizontal distance
// covered from the first stage, computed from the stage grid.

// One stage that has an altitude.
struct ProfilePoint
{
    qint64 distance = 0; // metres from the first stage
    qint64 altitude = 0; // metres
    QString place;
    QString time; // the stage's time of day as the grid shows it
    int row = 0;

    bool operator==(const ProfilePoint &other) const = default;
};

// Round graduations of an axis: every `step` from `first` to `last`.
struct Graduations
{
    qint64 first = 0;
    qint64 last = 0;
    qint64 step = 1;

    QList<qint64> values() const;
    bool operator==(const Graduations &other) const = default;
};

namespace ElevationProfile {
// A profile needs two altitudes to be a line.
constexpr int kMinimumPoints = 2;
// Shown when the itinerary has fewer.
inline const QString kTooFewAltitudes =
    QStringLiteral("Le profil demande au moins deux étapes avec une altitude.");
// An axis is divided into about this many round steps at most.
constexpr int kMaximumSteps = 8;
// A flat range is widened by this many metres each way, so the line sits
// inside the chart rather than on its edge.
constexpr qint64 kFlatMargin = 50;
// The distance axis of a profile whose stages all stand at one place.
constexpr qint64 kShortestDistanceAxis = 1000;
} // namespace ElevationProfile

// The stages 1..last named stage that have an altitude, each at the distance
// of the legs before it: walking legs in metres, car, transfer and bicycle
// legs in kilometres; stops and unknown codes cover no ground. Throws
// "'%s' n'est pas une valeur entière correcte" for an altitude or distance it
// needs that is not a whole number.
QList<ProfilePoint> elevationProfile(const StringGrid &stages);

// The smallest round step (1, 2 or 5 times a power of ten, at least 1) that
// divides [low, high] into at most `maxSteps` steps, and the multiples of it
// that enclose the range. An empty range is widened by
// kFlatMargin each way.
Graduations roundGraduations(qint64 low, qint64 high,
                             int maxSteps = ElevationProfile::kMaximumSteps);

// What the profile page shows besides the line.
struct ProfileHeader
{
    QString title;
    QString date;
    RouteSheetTotals totals; // the climb and descent, as on the route sheet
};

// The header of the open itinerary: catalogue title and date, and the route
// sheet's totals over the same stages.
ProfileHeader profileHeader(const StringGrid &stages, const QString &title, const QString &date);

// The profile page of `size` device pixels as drawing operations: title and
// date, climb and descent, the axes in metres with their graduations, the
// line through the points with the place names above and the times of day
// below the distance axis. With fewer than two points the page says so.
QList<SheetOperation> profileLayout(const QList<ProfilePoint> &points, const ProfileHeader &header,
                                    const QSize &size, const TextMetrics &metrics);
