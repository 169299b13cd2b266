#include "mapconversion.h"

#include "data/quorerror.h"

#include <cmath>

namespace {

constexpr long double kMetresPerInch = 0.0254L;
constexpr long double kMetresPerCentimetre = 0.01L;
constexpr quint8 kUnitsDotsPerInch = 1;

using Wide = __int128;
using WideMatrix = std::array<std::array<Wide, 3>, 3>;

// Rows of 32-bit values never overflow 128 bits: the largest term is six
// products of three 32-bit factors.
Wide wideDeterminant(const WideMatrix &m)
{
    return m[0][0] * (m[1][1] * m[2][2] - m[2][1] * m[1][2]) -
           m[1][0] * (m[0][1] * m[2][2] - m[2][1] * m[0][2]) +
           m[2][0] * (m[0][1] * m[1][2] - m[1][1] * m[0][2]);
}

} // namespace

qint64 roundHalfEven(long double value)
{
    return std::llrint(value);
}

qint64 Determinant3(const Matrix3 &m)
{
    // Unsigned arithmetic wraps where signed overflow would be undefined; the
    // result is the same two's-complement value whenever it fits.
    auto u = [&m](int row, int col) { return static_cast<quint64>(m[row][col]); };
    const quint64 det = u(0, 0) * (u(1, 1) * u(2, 2) - u(2, 1) * u(1, 2)) -
                        u(1, 0) * (u(0, 1) * u(2, 2) - u(2, 1) * u(0, 2)) +
                        u(2, 0) * (u(0, 1) * u(1, 2) - u(1, 1) * u(0, 2));
    return static_cast<qint64>(det);
}

Coefficients SolveAffine3(const AffineRows &rows)
{
    // Row k of A is (1, a_k, b_k); the exact wide determinant equals the
    // 64-bit one for every calibration of a real map and stays exact for the
    // absurd values a damaged calibration file can hold.
    WideMatrix a{};
    for (int k = 0; k < 3; ++k)
        a[k] = {1, rows[k].a, rows[k].b};
    const Wide det = wideDeterminant(a);
    if (det == 0)
        return {0.0, 0.0, 0.0};
    Coefficients k{};
    for (int j = 0; j < 3; ++j) {
        WideMatrix aj = a;
        for (int row = 0; row < 3; ++row)
            aj[row][j] = rows[row].r;
        const long double quotient =
            static_cast<long double>(wideDeterminant(aj)) / static_cast<long double>(det);
        k[j] = static_cast<double>(quotient);
    }
    return k;
}

AffineRows eastingRows(const std::array<ReferencePoint, 3> &p)
{
    AffineRows rows;
    for (int k = 0; k < 3; ++k)
        rows[k] = {p[k].easting, p[k].x, p[k].y};
    return rows;
}

AffineRows northingRows(const std::array<ReferencePoint, 3> &p)
{
    AffineRows rows;
    for (int k = 0; k < 3; ++k)
        rows[k] = {p[k].northing, p[k].x, p[k].y};
    return rows;
}

AffineRows columnRows(const std::array<ReferencePoint, 3> &p)
{
    AffineRows rows;
    for (int k = 0; k < 3; ++k)
        rows[k] = {p[k].x, p[k].easting, p[k].northing};
    return rows;
}

AffineRows rowRows(const std::array<ReferencePoint, 3> &p)
{
    AffineRows rows;
    for (int k = 0; k < 3; ++k)
        rows[k] = {p[k].y, p[k].easting, p[k].northing};
    return rows;
}

bool isAccepted(const MapTransform &t)
{
    return t.c[0] != 0.0 && t.d[0] != 0.0;
}

bool ComputeTransform(MapTransform &t, const ReferencePoint &p1, const ReferencePoint &p2,
                      const ReferencePoint &p3)
{
    const std::array<ReferencePoint, 3> points{p1, p2, p3};
    t.c = SolveAffine3(eastingRows(points));
    t.d = SolveAffine3(northingRows(points));
    if (!isAccepted(t))
        return false;
    t.e = SolveAffine3(columnRows(points));
    t.f = SolveAffine3(rowRows(points));
    return true;
}

UtmReal PixelToUtm(const MapTransform &t, qint32 x, qint32 y)
{
    const long double lx = x;
    const long double ly = y;
    UtmReal utm;
    utm.easting = (lx * t.c[1] + t.c[0]) + ly * t.c[2];
    utm.northing = (lx * t.d[1] + t.d[0]) + ly * t.d[2];
    return utm;
}

QPoint UtmToPixel(const MapTransform &t, qint32 easting, qint32 northing)
{
    const long double e = easting;
    const long double n = northing;
    const qint64 x = roundHalfEven((e * t.e[1] + t.e[0]) + n * t.e[2]);
    const qint64 y = roundHalfEven((e * t.f[1] + t.f[0]) + n * t.f[2]);
    return QPoint(static_cast<qint32>(x), static_cast<qint32>(y));
}

qint64 MapScale(double c1, double d2, quint16 xdens, quint16 ydens, quint8 unitsCode)
{
    const long double unit = unitsCode == kUnitsDotsPerInch ? kMetresPerInch : kMetresPerCentimetre;
    const long double sx =
        checkedDivide(std::fabs(static_cast<long double>(c1)), checkedDivide(unit, xdens));
    const long double sy =
        checkedDivide(std::fabs(static_cast<long double>(d2)), checkedDivide(unit, ydens));
    return roundHalfEven((sx + sy) / 2);
}
