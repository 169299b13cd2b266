#include "calibration.h"

#include "data/quorerror.h"
#include "data/textforms.h"

namespace {

constexpr int kReplacedSuffixLength = 4;
const QString kCalibrationSuffix = QStringLiteral(".Cal");

} // namespace

QString calibrationFileName(const QString &mapPath)
{
    return mapPath.left(qMax<qsizetype>(0, mapPath.size() - kReplacedSuffixLength)) +
           kCalibrationSuffix;
}

const QString &calibrationLine(const QStringList &lines, int index)
{
    if (index < 0 || index >= lines.size())
        throwListIndex(index);
    return lines.at(index);
}

bool computeTransformFromTexts(MapTransform &t, const CalibrationTexts &texts)
{
    std::array<ReferencePoint, 3> points;
    for (int k = 0; k < 3; ++k) {
        points[k].easting = parse_integer(texts[k].easting);
        points[k].x = parse_integer(texts[k].x);
        points[k].y = parse_integer(texts[k].y);
    }
    t.c = SolveAffine3(eastingRows(points));
    for (int k = 0; k < 3; ++k)
        points[k].northing = parse_integer(texts[k].northing);
    t.d = SolveAffine3(northingRows(points));
    if (!isAccepted(t))
        return false;
    t.e = SolveAffine3(columnRows(points));
    t.f = SolveAffine3(rowRows(points));
    return true;
}
