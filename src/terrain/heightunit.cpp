#include "terrain/heightunit.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <utility>

namespace HeightUnit {

namespace {

constexpr double kFoot = 0.3048;
constexpr double kUsSurveyFoot = 1200.0 / 3937.0;

using Length = std::pair<const char *, double>;

const Length kSymbols[] = {{"m", 1}, {"dm", 0.1}, {"cm", 0.01}, {"mm", 0.001}, {"km", 1000}};
// Spelt out, in English and French, singular or plural.
const Length kPrefixes[] = {{"", 1},         {"deci", 0.1},    {"déci", 0.1},
                            {"centi", 0.01}, {"milli", 0.001}, {"kilo", 1000}};
const char *const kMetres[] = {"metre", "meter", "mètre"};
const Length kFeet[] = {{"ft", kFoot},
                        {"foot", kFoot},
                        {"feet", kFoot},
                        {"international foot", kFoot},
                        {"international feet", kFoot},
                        {"pied", kFoot},
                        {"pieds", kFoot},
                        {"us survey foot", kUsSurveyFoot},
                        {"us survey feet", kUsSurveyFoot},
                        {"survey foot", kUsSurveyFoot},
                        {"us foot", kUsSurveyFoot},
                        {"us ft", kUsSurveyFoot},
                        {"ftus", kUsSurveyFoot},
                        {"ft us", kUsSurveyFoot},
                        {"foot us", kUsSurveyFoot}};

// Lower case, with the underscores and hyphens of "Foot_US" or "us-ft" read
// as spaces, and no spaces around.
std::string normalised(const char *unit)
{
    std::string u = unit;
    std::transform(u.begin(), u.end(), u.begin(), [](unsigned char c) {
        return c == '_' || c == '-' ? ' ' : char(std::tolower(c));
    });
    const auto first = u.find_first_not_of(' ');
    return first == std::string::npos ? std::string()
                                      : u.substr(first, u.find_last_not_of(' ') + 1 - first);
}

} // namespace

std::optional<double> metres(const char *unit)
{
    const std::string u = normalised(unit ? unit : "");
    if (u.empty())
        return 1;
    for (const auto &[name, metres] : kSymbols) {
        if (u == name)
            return metres;
    }
    for (const auto &[prefix, metres] : kPrefixes) {
        for (const char *word : kMetres) {
            const std::string spelt = std::string(prefix) + word;
            if (u == spelt || u == spelt + 's')
                return metres;
        }
    }
    for (const auto &[name, metres] : kFeet) {
        if (u == name)
            return metres;
    }
    return std::nullopt;
}

} // namespace HeightUnit
