#include "routegeometry.h"

#include <cmath>

namespace RouteGeometry {

namespace {

constexpr long double kPi = 3.141592653589793238462643383279502884L;
constexpr long double kDegreesPerHalfTurn = 180.0L;
constexpr double kDegreesPerTurn = 360.0;
constexpr double kQuarterTurn = 90.0;
constexpr double kBearingStep = 5.0;

} // namespace

double legLength(qint32 e1, qint32 n1, qint32 e2, qint32 n2)
{
    // The differences are taken in extended precision: squared as 32-bit
    // integers they would overflow for points a few tens of kilometres apart.
    const long double de = static_cast<long double>(e1) - static_cast<long double>(e2);
    const long double dn = static_cast<long double>(n2) - static_cast<long double>(n1);
    return static_cast<double>(std::sqrt(de * de + dn * dn));
}

qint64 legDistance(qint32 e1, qint32 n1, qint32 e2, qint32 n2)
{
    // nearbyint follows the default rounding mode, which rounds halves to even.
    return static_cast<qint64>(std::nearbyint(legLength(e1, n1, e2, n2)));
}

double legBearingDegrees(qint32 e1, qint32 n1, qint32 e2, qint32 n2)
{
    const long double de = static_cast<long double>(e2) - static_cast<long double>(e1);
    const long double dn = static_cast<long double>(n2) - static_cast<long double>(n1);
    long double angle; // counter-clockwise from the east axis
    if (e1 == e2)
        angle = dn >= 0 ? kQuarterTurn : -kQuarterTurn;
    else
        angle = std::atan2(dn, de) * kDegreesPerHalfTurn / kPi;
    double bearing = static_cast<double>(kQuarterTurn - angle);
    while (bearing <= 0)
        bearing += kDegreesPerTurn;
    return bearing;
}

int roundBearing(double degrees)
{
    return static_cast<int>(kBearingStep * std::nearbyint(degrees / kBearingStep));
}

int legBearing(qint32 e1, qint32 n1, qint32 e2, qint32 n2)
{
    return roundBearing(legBearingDegrees(e1, n1, e2, n2));
}

} // namespace RouteGeometry
