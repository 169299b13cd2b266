#include "stagetimes.h"

#include "data/catalogue.h"
#include "data/itinerary.h"
#include "data/quorerror.h"
#include "data/speedtable.h"
#include "data/stringgrid.h"
#include "data/textforms.h"

namespace {

using namespace Itinerary;

constexpr long double kHoursPerDay = 24.0L;
constexpr long double kMinutesPerHour = 60.0L;

// Speed-table entries of walking.
constexpr int kWalkClimb = 9;
constexpr int kWalkFlat = 10;
constexpr int kWalkDescent = 11;

qint32 integerOrZero(const QString &text)
{
    return text.isEmpty() ? 0 : parse_integer(text);
}

// quantity ÷ rate ÷ 24, in days, failing on a zero rate as the runtime does.
long double legDays(long double quantity, qint32 rate)
{
    return checkedDivide(checkedDivide(quantity, rate), kHoursPerDay);
}

} // namespace

int speedEntryOfCode(QChar mode, QChar entry)
{
    struct Mode
    {
        char letter;
        const char *entries; // second letters of the three entries of the group
    };
    static constexpr Mode kModes[] = {
        {'V', "AND"}, {'T', "NDF"}, {'O', "MPD"}, {'M', "MPD"}, {'P', "ACR"}};
    for (int g = 0; g < 5; ++g) {
        if (mode != QLatin1Char(kModes[g].letter))
            continue;
        for (int j = 0; j < 3; ++j) {
            if (entry == QLatin1Char(kModes[g].entries[j]))
                return 3 * g + j;
        }
        return -1;
    }
    return -1;
}

void compute_stage_times(StringGrid &g, StringGrid &catalogue, int k, const SpeedTable &speeds)
{
    if (!g.cell(Place, 1).isEmpty())
        g.setCell(Time, 1, catalogue.cell(Catalogue::Departure, k));
    double t = g.cell(Time, 1).isEmpty() ? 0.0 : parse_time_of_day(g.cell(Time, 1));

    for (int r = 2; r <= kStages; ++r) {
        const int s = r - 1;
        const QString &code = g.cell(Means, s);
        if (code.isEmpty()) {
            // No leg: this stage has no time, and the legs below go on from t.
            g.setCell(Time, r, QString());
            continue;
        }
        if (code.size() != 2) {
            g.setCell(Time, r, g.cell(Time, s));
        } else {
            const qint64 d = integerOrZero(g.cell(Distance, s));
            const qint64 a = integerOrZero(g.cell(Altitude, s));
            qint64 h = g.cell(Altitude, r).isEmpty() ? -a : parse_integer(g.cell(Altitude, r)) - a;

            if (code.at(0) == QLatin1Char('M')) {
                // A walking leg takes the longer of its flat time and its
                // climb or descent time; the flat wins a tie.
                const long double flat = legDays(d, speeds.value(kWalkFlat));
                QString walking;
                if (h > 0) {
                    walking = flat >= legDays(h, speeds.value(kWalkClimb)) ? QStringLiteral("MP")
                                                                           : QStringLiteral("MM");
                } else {
                    h = -h;
                    walking = flat >= legDays(h, speeds.value(kWalkDescent)) ? QStringLiteral("MP")
                                                                             : QStringLiteral("MD");
                }
                g.setCell(Means, s, walking);
            }

            const QString &means = g.cell(Means, s);
            const int entry = speedEntryOfCode(means.at(0), means.at(1));
            if (entry < 0) {
                g.setCell(Time, r, g.cell(Time, s));
            } else {
                const qint32 value = speeds.value(entry);
                long double days;
                if (entry == kWalkClimb || entry == kWalkDescent)
                    days = legDays(h, value);
                else if (means.at(0) == QLatin1Char('P'))
                    days = value / kHoursPerDay / kMinutesPerHour;
                else
                    days = legDays(d, value);
                t = static_cast<double>(static_cast<long double>(t) + days);
                g.setCell(Time, r, time_of_day_text(t));
            }
        }
        if (!g.cell(Time, r).isEmpty())
            catalogue.setCell(Catalogue::Arrival, k, g.cell(Time, r));
    }
}
