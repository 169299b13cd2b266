#pragma once

#include "routesheet.h"

#include <QList>
#include <QPointF>
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
    qint64 driven = 0; // metres of car, bicycle and transfer legs since the point before
    QChar vehicle;     // 'V', 'O' or 'T': the means of the longest of those legs

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
// The distance axis is graduated in kilometres, by steps of at least this
// many metres.
constexpr qint64 kShortestDistanceStep = 100;
// A drive longer than this share of the whole distance is shortened behind a
// break of the distance axis, so that the walk fills the page.
constexpr int kDriveShareDivisor = 4;
// What the break's label adds to the kilometres driven.
inline const QString kByCar = QStringLiteral(" en voiture");
inline const QString kByTransfer = QStringLiteral(" en transfert");
inline const QString kByBicycle = QStringLiteral(" à vélo");
} // namespace ElevationProfile

// The stages 1..last named stage that have an altitude, each at the distance
// of the legs before it: walking legs in metres, car, transfer and bicycle
// legs in kilometres; stops and unknown codes cover no ground. Each point
// also tells how far its car and transfer legs went. Throws
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
    // The ground between the points, as an elevation model gives it: metres
    // along the way and altitude. Empty: the line joins the points.
    QList<QPointF> ground;
};

// The header of the open itinerary: catalogue title and date, and the route
// sheet's totals over the same stages.
ProfileHeader profileHeader(const StringGrid &stages, const QString &title, const QString &date);

// The profile page of `size` device pixels as drawing operations: title and
// date, climb and descent, the altitude axis in metres and the distance axis
// in kilometres with round graduations, the line through the points with the
// place names above it and the times of day below the distance axis. A drive
// longer than a quarter of the whole is shortened behind a break, marked by
// slanted strokes on the axis and on the line and labelled with its
// kilometres. No two texts overlap and the line crosses none: the start, the
// finish, the highest and the lowest stage and every stop keep their labels,
// tied to their dots by a leader when they stand far above them; the stages
// that find no room for theirs get a number by their dot and a line in the
// legend at the bottom, as room allows. With fewer than two points the page
// says so.
QList<SheetOperation> profileLayout(const QList<ProfilePoint> &points, const ProfileHeader &header,
                                    const QSize &size, const TextMetrics &metrics);
