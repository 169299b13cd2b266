#pragma once

#include <QList>
#include <QString>

#include <optional>

// Profiles of the ground read from an elevation model, and what they tell a
// walker's timetable: climbs and descents that the altitudes of two
// consecutive waypoints do not show.
namespace Terrain {

// A profile is sampled at the model's own resolution, but never at more
// than this many steps: a 100 km route over a 1 m model is sampled every 5 m.
constexpr int kMaxSamples = 20000;

// A leg whose ground climbs or descends more than this many metres beyond
// what its two ends say is worth a stage of its own.
constexpr double kHiddenClimbThreshold = 50;

struct Sample
{
    double distance = 0;            // metres along the route, on the map's grid
    std::optional<double> altitude; // metres; none off the model or where it has no value
};

struct Climb
{
    double climb = 0;   // metres, never negative
    double descent = 0; // metres, never negative
};

struct Profile
{
    QList<Sample> samples; // from the route's first point to its last, each vertex included
    double step = 0;       // the largest distance between two samples
    Climb total;           // the sum of the rises and of the falls between samples
};

// The rises and the falls between consecutive samples that have an
// altitude; a stretch without altitudes is bridged from the last altitude
// before it to the first after it.
Climb climbOf(const QList<Sample> &samples);

// The first and last altitudes of a profile, none when it has none.
std::optional<double> firstAltitude(const QList<Sample> &samples);
std::optional<double> lastAltitude(const QList<Sample> &samples);

// What the ground of one leg climbs and descends beyond the difference of
// its ends, which the timetable counts already: `start` and `end` are the
// waypoints' altitudes as the itinerary gives them, the profile's own ends
// when absent. Ends at 1000 m and 1100 m over ground going 1000, 1250, 1100
// give 150 m of hidden climb and 150 m of hidden descent.
Climb hiddenClimb(const Profile &leg, std::optional<double> start = std::nullopt,
                  std::optional<double> end = std::nullopt);

// Whether the hidden climb or descent, in whole metres, exceeds `threshold`:
// 50 m is not listed, 51 m is.
bool deservesAStage(const Climb &hidden, double threshold = kHiddenClimbThreshold);

// "Entre %1 et %2 le terrain monte de %3 m et redescend de %4 m : ajoutez une
// étape pour que l'horaire en tienne compte", with the hidden climb and
// descent in whole metres.
QString hiddenClimbText(const QString &from, const QString &to, const Climb &hidden);

} // namespace Terrain
