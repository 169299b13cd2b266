#pragma once

#include <QPoint>
#include <QString>
#include <QtGlobal>

#include <array>

// Pixel/UTM conversion of a scanned map. The conversion is affine, solved
// from three reference points; every solve is exact in integers up to one
// final rounding, so a calibration gives the same coefficients on every
// machine.

// One point of the UTM grid. Zone, letter and datum belong to the map's
// calibration; each point carries its own easting and northing.
struct UtmPosition
{
    int zone = 31;
    QChar letter = QLatin1Char('U');
    qint32 easting = 0;
    qint32 northing = 0;
    QString datum = QStringLiteral("ED50");
};

// One calibration point: pixel of the map image and its UTM position.
struct ReferencePoint
{
    qint32 x = 0;
    qint32 y = 0;
    qint32 easting = 0;
    qint32 northing = 0;
};

using Coefficients = std::array<double, 3>;

// The conversion of the open map; all zeros until a calibration is computed.
struct MapTransform
{
    Coefficients c{}; // easting of a pixel: E = c0 + c1*x + c2*y
    Coefficients d{}; // northing of a pixel: N = d0 + d1*x + d2*y
    Coefficients e{}; // pixel column of a UTM point: x = e0 + e1*E + e2*N
    Coefficients f{}; // pixel row of a UTM point: y = f0 + f1*E + f2*N
};

using Matrix3 = std::array<std::array<qint64, 3>, 3>;

// One equation r = k0 + k1*a + k2*b of a three-point system.
struct AffineRow
{
    qint32 r = 0;
    qint32 a = 0;
    qint32 b = 0;
};
using AffineRows = std::array<AffineRow, 3>;

struct UtmReal
{
    long double easting = 0;
    long double northing = 0;
};

// Nearest integer, halves to the even neighbour (the floating-point unit's
// default rounding).
qint64 roundHalfEven(long double value);

// Expansion along the first column in 64-bit integers. Exact whenever the
// determinant fits in 64 bits; beyond that it wraps instead of invoking
// undefined behaviour.
qint64 Determinant3(const Matrix3 &m);

// Cramer's rule: the triple (k0, k1, k2) with k0 + k1*a + k2*b = r for all
// three rows, or (0, 0, 0) when the system is singular. Each quotient is
// formed in extended precision and rounded once to double.
Coefficients SolveAffine3(const AffineRows &rows);

// Solves the easting and northing triples (stored at once), accepts the
// calibration when c0 and d0 are both non-zero, and only then solves the
// pixel triples; a rejected calibration keeps the previous pixel triples.
bool ComputeTransform(MapTransform &t, const ReferencePoint &p1, const ReferencePoint &p2,
                      const ReferencePoint &p3);

// Rows for the four triples, in the order ComputeTransform solves them.
AffineRows eastingRows(const std::array<ReferencePoint, 3> &p);
AffineRows northingRows(const std::array<ReferencePoint, 3> &p);
AffineRows columnRows(const std::array<ReferencePoint, 3> &p);
AffineRows rowRows(const std::array<ReferencePoint, 3> &p);
bool isAccepted(const MapTransform &t);

UtmReal PixelToUtm(const MapTransform &t, qint32 x, qint32 y);
// Rounded to the nearest pixel, halves to even.
QPoint UtmToPixel(const MapTransform &t, qint32 easting, qint32 northing);

// The scale denominator of the map printed at its recorded density. unitsCode
// 1 means dots per inch; every other code, 0 included, dots per centimetre.
// A zero density fails with "Division par zéro en virgule flottante".
qint64 MapScale(double c1, double d2, quint16 xdens, quint16 ydens, quint8 unitsCode);
