#pragma once

#include "mapconversion.h"

#include <QString>
#include <QStringList>

#include <array>

// The calibration of a map: its file beside the map, and the computation of
// the conversion from the texts of the calibration fields.

// The calibration file of a map: the map path less its last four characters,
// whatever they are, followed by ".Cal".
QString calibrationFileName(const QString &mapPath);

// The fifteen lines of a calibration file, in order.
namespace CalibrationLine {
constexpr int Zone = 0;
constexpr int Letter = 1;
constexpr int Datum = 2;
// Then for each point 1 to 3: pixel x, easting, pixel y, northing.
constexpr int FirstPoint = 3;
constexpr int PerPoint = 4;
constexpr int PixelX = 0;
constexpr int Easting = 1;
constexpr int PixelY = 2;
constexpr int Northing = 3;
constexpr int Count = 15;

constexpr int of(int point, int field)
{
    return FirstPoint + point * PerPoint + field;
}
} // namespace CalibrationLine

// Line `index` of a list; fails with "Indice de liste hors limites (%d)" when
// the list is shorter.
const QString &calibrationLine(const QStringList &lines, int index);

// The texts of one reference point as the fields hold them.
struct PointTexts
{
    QString x;
    QString easting;
    QString y;
    QString northing;
};
using CalibrationTexts = std::array<PointTexts, 3>;

// ComputeTransform on field texts, each converted as its triple needs it: a
// text that is not a whole number fails with "'%s' n'est pas une valeur
// entière correcte", and the triples solved before it keep their new values.
bool computeTransformFromTexts(MapTransform &t, const CalibrationTexts &points);
