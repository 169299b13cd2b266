#pragma once

#include "exampleproject.h"

#include <QPointF>
#include <QtGlobal>

// What the example's source files share of its invented terrain: the relief,
// the water and the forest it is drawn with, and the places that its
// itineraries and its route pass. Positions on the terrain are in kilometres
// from the map's top-left corner: u to the east, v to the south, so that they
// follow the pixel axes. Only for the example's own files (example*.cpp).
namespace ExampleProject {

constexpr double kMetresPerKm = 1000.0;
constexpr double kPixelsPerKm = kMetresPerKm * kPixelsPerStep / kMetresPerStep;

// The lake's centre, in a hollow on the slope below the peak.
constexpr double kLakeU = 1.98;
constexpr double kLakeV = 1.21;

// The terrain's altitude in metres.
double heightAt(double u, double v);
// The valley floor, along which the stream runs from west to east.
double streamV(double u);
bool inLake(double u, double v);
bool inForest(double u, double v, double h);
QPointF pixelOfKm(double u, double v);

struct Spot
{
    const char *name;
    double u, v;
};

inline constexpr Spot kParking = {"Le Vallon, parking", 0.95, 2.33};
inline constexpr Spot kBridge = {"Pont de la Font", 1.30, 2.15};
inline constexpr Spot kWood = {"Bois de la Font", 1.62, 1.66};
inline constexpr Spot kLake = {"Lac de la Font", 1.86, 1.33};
inline constexpr Spot kCol = {"Col des Isards", 2.50, 1.12};
inline constexpr Spot kPeak = {"Pic du Vallon", 2.99, 0.86};
inline constexpr Spot kHut = {"Cabane de Prat", 2.55, 1.60};

// The route on the map: the path from the car park to the lake.
inline constexpr const Spot *kRoute[] = {&kParking, &kBridge, &kWood, &kLake};

struct UtmPoint
{
    qint32 easting, northing;
};

// A place's UTM position to the metre, and its altitude to the metre.
UtmPoint utmOfPlace(const Spot &p);
qint32 altitudeOfPlace(const Spot &p);

} // namespace ExampleProject
