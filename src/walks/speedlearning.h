#pragma once

#include "recordedwalk.h"

#include <QList>
#include <QString>
#include <optional>
#include <vector>

class SpeedTable;

// The three walking rates of the speed table, in metres per hour.
struct WalkingRates
{
    double climb = 0;   // "Monté"
    double flat = 0;    // "Plat"
    double descent = 0; // "Descente"

    static WalkingRates of(const SpeedTable &table);
};

// What the walker's own recorded walks say of the speed table.
struct LearningReport
{
    struct Walk
    {
        QString name;
        int legs = 0;
        double hours = 0;                   // walking time of its legs
        double currentError = 0;            // minutes of error per hour walked; NaN for a rate of 0
        double learnedError = 0;            // the same with the learned rates
        std::optional<double> leftOutError; // learned from the other walks only
    };

    WalkingRates current;
    WalkingRates learned; // a rate no leg decides keeps its current value
    bool climbLearned = false;
    bool flatLearned = false;
    bool descentLearned = false;
    int legs = 0;
    int tooFastLegs = 0;
    double metres = 0;
    double hours = 0;
    double currentError = 0; // minutes per hour walked, all walks
    double learnedError = 0;
    QList<Walk> walks;
    int stops = 0;
    double medianStopSeconds = 0;
    double longestStopSeconds = 0;
    QStringList notices;
};

namespace SpeedLearning {

// What the speed table can hold of each rate: the speed-table dialog takes
// three digits for the climb and the descent, five for the flat.
constexpr double kLargestClimb = 999;
constexpr double kLargestFlat = 99999;
constexpr double kLargestDescent = 999;
constexpr double kSmallestRate = 1;

// The program's walking rule: the longer of the leg's time on the flat and
// its time to climb or descend its height difference, in seconds.
double predictedSeconds(const WalkLeg &leg, const WalkingRates &rates);

// The rates that make the rule predict the legs' walking times best (least
// squares on the times). A rate no leg is decided by stays as in `start`,
// and its flag is false.
struct Fit
{
    WalkingRates rates;
    bool climb = false;
    bool flat = false;
    bool descent = false;
};
Fit fit(const std::vector<WalkLeg> &legs, const WalkingRates &start);

// Minutes of error per hour walked: the sum of the legs' differences between
// predicted and walked times, taken without their sign, over their walked
// time.
double errorPerHour(const std::vector<WalkLeg> &legs, const WalkingRates &rates);

// The walking legs of each walk (too fast ones left out), the fit over all of
// them, the errors per walk and, with two walks or more, each walk's error
// with the rates learned from the others; and the stops. Throws a French
// message when no walking leg is left.
LearningReport learn(const QList<RecordedWalk> &walks, const WalkingRates &current);

// The learned rates as the speed table holds them: whole metres per hour,
// within what the speed-table dialog can show.
qint32 tableValue(double rate, double largest);

} // namespace SpeedLearning
