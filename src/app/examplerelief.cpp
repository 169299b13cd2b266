#include "examplerelief.h"

#include <cmath>

// The example's invented terrain: hills over a valley with a stream, a lake
// in a hollow below the peak, and woods; and the UTM grid laid over it.
namespace ExampleProject {

namespace {

struct Hill
{
    double u, v, height, spread;
};

const Hill kHills[] = {
    {3.00, 0.85, 620, 0.55}, // Pic du Vallon
    {0.85, 0.70, 340, 0.40}, // Serre de la Font
    {3.35, 2.80, 260, 0.45}, // Serre de Prat
    {1.85, 2.95, 170, 0.30}, {2.25, 0.25, 190, 0.22},
};

constexpr double kBaseAltitude = 880;
constexpr double kEastRise = 35; // metres per km to the east
constexpr double kValleyDepth = 140;
constexpr double kValleyWidth = 0.10;
constexpr double kRipple = 18;

// The lake fills a hollow on the slope below the peak.
constexpr double kLakeDepth = 60;
constexpr double kLakeSpread = 0.03;
constexpr double kLakeRadiusU = 0.17;
constexpr double kLakeRadiusV = 0.11;
constexpr double kLakeTilt = -0.5; // radians, the long side rising to the east

} // namespace

// The stream runs along the valley floor from west to east.
double streamV(double u)
{
    return 1.95 + 0.22 * std::sin(1.25 * u + 0.4);
}

double heightAt(double u, double v)
{
    double h = kBaseAltitude + kEastRise * u - 10 * v;
    for (const Hill &hill : kHills) {
        const double du = u - hill.u;
        const double dv = v - hill.v;
        h += hill.height * std::exp(-(du * du + dv * dv) / hill.spread);
    }
    const double dv = v - streamV(u);
    h -= kValleyDepth * std::exp(-dv * dv / kValleyWidth);
    const double lu = u - kLakeU;
    const double lv = v - kLakeV;
    h -= kLakeDepth * std::exp(-(lu * lu + lv * lv) / kLakeSpread);
    h += kRipple * std::sin(3.1 * u + 0.7) * std::cos(2.3 * v);
    return h;
}

// An ellipse with a wavy shore.
bool inLake(double u, double v)
{
    const double du = u - kLakeU;
    const double dv = v - kLakeV;
    const double a = du * std::cos(kLakeTilt) + dv * std::sin(kLakeTilt);
    const double b = -du * std::sin(kLakeTilt) + dv * std::cos(kLakeTilt);
    const double shore = 1.0 + 0.08 * std::sin(3 * std::atan2(b, a) + 0.6);
    const double r =
        (a * a) / (kLakeRadiusU * kLakeRadiusU) + (b * b) / (kLakeRadiusV * kLakeRadiusV);
    return r < shore * shore;
}

bool inForest(double u, double v, double h)
{
    const double f =
        std::sin(2.3 * u + 1.1) * std::cos(1.9 * v - 0.5) + 0.6 * std::sin(4.1 * u - 2.3 * v);
    return f > 0.15 && h < 1290;
}

QPointF pixelOfKm(double u, double v)
{
    return QPointF(u * kPixelsPerKm, v * kPixelsPerKm);
}

UtmPoint utmOfPlace(const Spot &p)
{
    return {qint32(std::lround(kWestEasting + p.u * kMetresPerKm)),
            qint32(std::lround(kNorthNorthing - p.v * kMetresPerKm))};
}

qint32 altitudeOfPlace(const Spot &p)
{
    const UtmPoint utm = utmOfPlace(p);
    return qint32(std::lround(altitude(utm.easting, utm.northing)));
}

QPointF pixelOf(double easting, double northing)
{
    return QPointF((easting - kWestEasting) * kPixelsPerStep / kMetresPerStep,
                   (kNorthNorthing - northing) * kPixelsPerStep / kMetresPerStep);
}

QPointF utmOf(double x, double y)
{
    return QPointF(kWestEasting + x * kMetresPerStep / kPixelsPerStep,
                   kNorthNorthing - y * kMetresPerStep / kPixelsPerStep);
}

double altitude(double easting, double northing)
{
    return heightAt((easting - kWestEasting) / kMetresPerKm,
                    (kNorthNorthing - northing) / kMetresPerKm);
}

} // namespace ExampleProject
