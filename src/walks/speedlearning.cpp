#include "speedlearning.h"

#include "data/quorerror.h"
#include "data/speedtable.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kSecondsPerHour = 3600;
constexpr double kMinutesPerHour = 60;
// The walking entries of the speed table.
constexpr int kClimbEntry = 9;
constexpr int kFlatEntry = 10;
constexpr int kDescentEntry = 11;
// Assigning each leg to the side of the rule that decides it, then fitting
// each rate to its legs, settles in a handful of rounds.
constexpr int kMaxRounds = 100;
// The speed table's own defaults.
constexpr double kUsualClimb = 300;
constexpr double kUsualFlat = 4000;
constexpr double kUsualDescent = 500;

enum class Side { Flat, Climb, Descent };

Side sideOf(const WalkLeg &leg, const WalkingRates &rates)
{
    const double flat = leg.metres / rates.flat;
    if (leg.height > 0)
        return leg.height / rates.climb > flat ? Side::Climb : Side::Flat;
    return -leg.height / rates.descent > flat ? Side::Descent : Side::Flat;
}

// The hours per metre that fit t = k x over the legs of one side, or none.
struct Sums
{
    double xt = 0;
    double xx = 0;
    std::optional<double> rate() const
    {
        if (xx <= 0 || xt <= 0)
            return std::nullopt;
        return xx / xt * kSecondsPerHour; // metres per hour
    }
};

} // namespace

WalkingRates WalkingRates::of(const SpeedTable &table)
{
    return {double(table.value(kClimbEntry)), double(table.value(kFlatEntry)),
            double(table.value(kDescentEntry))};
}

namespace SpeedLearning {

double predictedSeconds(const WalkLeg &leg, const WalkingRates &rates)
{
    const double flat = leg.metres / rates.flat;
    const double vertical = leg.height > 0 ? leg.height / rates.climb : -leg.height / rates.descent;
    return std::max(flat, vertical) * kSecondsPerHour;
}

Fit fit(const std::vector<WalkLeg> &legs, const WalkingRates &start)
{
    Fit out{start};
    std::vector<Side> sides(legs.size(), Side::Flat);
    for (int round = 0; round < kMaxRounds; ++round) {
        bool changed = round == 0;
        for (std::size_t i = 0; i < legs.size(); ++i) {
            const Side side = sideOf(legs[i], out.rates);
            changed = changed || side != sides[i];
            sides[i] = side;
        }
        if (!changed)
            break;
        Sums flat;
        Sums climb;
        Sums descent;
        for (std::size_t i = 0; i < legs.size(); ++i) {
            const WalkLeg &leg = legs[i];
            switch (sides[i]) {
            case Side::Flat:
                flat.xt += leg.metres * leg.seconds;
                flat.xx += leg.metres * leg.metres;
                break;
            case Side::Climb:
                climb.xt += leg.height * leg.seconds;
                climb.xx += leg.height * leg.height;
                break;
            case Side::Descent:
                descent.xt += -leg.height * leg.seconds;
                descent.xx += leg.height * leg.height;
                break;
            }
        }
        out.flat = flat.rate().has_value();
        out.climb = climb.rate().has_value();
        out.descent = descent.rate().has_value();
        out.rates.flat = flat.rate().value_or(start.flat);
        out.rates.climb = climb.rate().value_or(start.climb);
        out.rates.descent = descent.rate().value_or(start.descent);
    }
    return out;
}

double errorPerHour(const std::vector<WalkLeg> &legs, const WalkingRates &rates)
{
    double error = 0;
    double walked = 0;
    for (const WalkLeg &leg : legs) {
        error += std::abs(predictedSeconds(leg, rates) - leg.seconds);
        walked += leg.seconds;
    }
    return walked > 0 ? error / walked * kMinutesPerHour : 0;
}

qint32 tableValue(double rate, double largest)
{
    if (!std::isfinite(rate))
        return qint32(kSmallestRate);
    return qint32(std::clamp(std::nearbyint(rate), kSmallestRate, largest));
}

LearningReport learn(const QList<RecordedWalk> &walks, const WalkingRates &current)
{
    LearningReport report;
    report.current = current;
    // A rate of 0 in the table (the dialog accepts it) cannot start the fit
    // and predicts nothing: the fit starts from the usual walker instead.
    const bool usable = current.climb > 0 && current.flat > 0 && current.descent > 0;
    const WalkingRates start =
        usable ? current : WalkingRates{kUsualClimb, kUsualFlat, kUsualDescent};
    std::vector<std::vector<WalkLeg>> perWalk;
    std::vector<WalkLeg> all;
    std::vector<double> stops;
    for (const RecordedWalk &walk : walks) {
        std::vector<WalkLeg> kept;
        for (const WalkLeg &leg : RecordedWalks::legs(walk)) {
            if (leg.tooFast)
                ++report.tooFastLegs;
            else
                kept.push_back(leg);
        }
        all.insert(all.end(), kept.begin(), kept.end());
        perWalk.push_back(std::move(kept));
        for (const WalkStop &stop : walk.stops)
            stops.push_back(stop.seconds());
        report.notices << walk.notices();
    }
    if (all.empty())
        throw QuorError(QStringLiteral("Aucun tronçon de marche n'a été trouvé dans ces traces : "
                                       "il n'y a rien à apprendre."));
    if (report.tooFastLegs > 0)
        report.notices << QStringLiteral("%1 tronçons plus rapides que la marche (voiture, "
                                         "course ?) ont été laissés de côté.")
                              .arg(report.tooFastLegs);
    Fit learned = fit(all, start);
    // A rate no leg decides keeps the table's value, whatever the fit
    // started from.
    if (!learned.climb)
        learned.rates.climb = current.climb;
    if (!learned.flat)
        learned.rates.flat = current.flat;
    if (!learned.descent)
        learned.rates.descent = current.descent;
    report.learned = learned.rates;
    report.climbLearned = learned.climb;
    report.flatLearned = learned.flat;
    report.descentLearned = learned.descent;
    report.legs = int(all.size());
    for (const WalkLeg &leg : all) {
        report.metres += leg.metres;
        report.hours += leg.seconds / kSecondsPerHour;
    }
    report.currentError = usable ? errorPerHour(all, current) : qQNaN();
    report.learnedError = errorPerHour(all, learned.rates);
    for (qsizetype w = 0; w < walks.size(); ++w) {
        const std::vector<WalkLeg> &legs = perWalk[std::size_t(w)];
        LearningReport::Walk line;
        line.name = walks.at(w).name;
        line.legs = int(legs.size());
        for (const WalkLeg &leg : legs)
            line.hours += leg.seconds / kSecondsPerHour;
        line.currentError = usable ? errorPerHour(legs, current) : qQNaN();
        line.learnedError = errorPerHour(legs, learned.rates);
        if (walks.size() > 1 && !legs.empty()) {
            std::vector<WalkLeg> others;
            for (qsizetype o = 0; o < walks.size(); ++o) {
                if (o != w)
                    others.insert(others.end(), perWalk[std::size_t(o)].begin(),
                                  perWalk[std::size_t(o)].end());
            }
            if (!others.empty())
                line.leftOutError = errorPerHour(legs, fit(others, start).rates);
        }
        report.walks.append(line);
    }
    report.stops = int(stops.size());
    if (!stops.empty()) {
        std::sort(stops.begin(), stops.end());
        const std::size_t n = stops.size();
        report.medianStopSeconds = n % 2 ? stops[n / 2] : (stops[n / 2 - 1] + stops[n / 2]) / 2;
        report.longestStopSeconds = stops.back();
    }
    return report;
}

} // namespace SpeedLearning
