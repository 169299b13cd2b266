#include "terrainprofile.h"

#include <algorithm>
#include <cmath>

namespace Terrain {

Climb climbOf(const QList<Sample> &samples)
{
    Climb c;
    std::optional<double> previous;
    for (const Sample &s : samples) {
        if (!s.altitude)
            continue;
        if (previous) {
            const double rise = *s.altitude - *previous;
            (rise > 0 ? c.climb : c.descent) += std::abs(rise);
        }
        previous = s.altitude;
    }
    return c;
}

std::optional<double> firstAltitude(const QList<Sample> &samples)
{
    for (const Sample &s : samples) {
        if (s.altitude)
            return s.altitude;
    }
    return std::nullopt;
}

std::optional<double> lastAltitude(const QList<Sample> &samples)
{
    for (auto s = samples.crbegin(); s != samples.crend(); ++s) {
        if (s->altitude)
            return s->altitude;
    }
    return std::nullopt;
}

Climb hiddenClimb(const Profile &leg, std::optional<double> start, std::optional<double> end)
{
    if (!start)
        start = firstAltitude(leg.samples);
    if (!end)
        end = lastAltitude(leg.samples);
    if (!start || !end)
        return {};
    const double rise = *end - *start;
    return {std::max(leg.total.climb - std::max(rise, 0.0), 0.0),
            std::max(leg.total.descent - std::max(-rise, 0.0), 0.0)};
}

bool deservesAStage(const Climb &hidden, double threshold)
{
    return std::round(hidden.climb) > threshold || std::round(hidden.descent) > threshold;
}

QString hiddenClimbText(const QString &from, const QString &to, const Climb &hidden)
{
    return QStringLiteral("Entre %1 et %2 le terrain monte de %3 m et redescend de %4 m : ajoutez "
                          "une étape pour que l'horaire en tienne compte")
        .arg(from, to, QString::number(std::llround(hidden.climb)),
             QString::number(std::llround(hidden.descent)));
}

} // namespace Terrain
