// A map's calibration file as found beside the map: its fifteen lines read
// into the fields, the conversion solved from them, the scale from the map's
// densities, and the kilometre labels computed over a picture.

#include "data/linelist.h"
#include "fuzzcheck.h"
#include "maps/calibration.h"
#include "maps/gridlabels.h"
#include "maps/mapconversion.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>

namespace {

// Pictures up to this size in pixels each way; the labels are computed pixel
// by pixel, so larger pictures only slow the run.
constexpr int kLargestPicture = 2048;
constexpr int kCharacterWidth = 7;
constexpr int kLineHeight = 12;

// Measures and counts the labels without drawing them.
class CountingCanvas : public LabelCanvas
{
public:
    int textWidth(const QString &text) const override { return int(text.size()) * kCharacterWidth; }
    int textHeight(const QString &) const override { return kLineHeight; }
    void textOut(int, int, const QString &text) override
    {
        FUZZ_CHECK(!text.isEmpty());
        ++count;
    }
    int count = 0;
};

// Whether every value drawGridLabels truncates to a whole number of metres
// lies inside the 64-bit range.
bool labelsFitIn64Bits(const MapTransform &t, int width, int height)
{
    constexpr long double kLimit = 9.2e18L;
    const long double eastings =
        std::fabs(static_cast<long double>(t.c[0])) +
        std::fabs(static_cast<long double>(t.c[1])) * width +
        std::fabs(static_cast<long double>(t.c[2])) * GridLabels::kEastingRow;
    const long double northings =
        std::fabs(static_cast<long double>(t.d[0])) +
        std::fabs(static_cast<long double>(t.d[1])) * GridLabels::kNorthingColumn +
        std::fabs(static_cast<long double>(t.d[2])) * height;
    return eastings < kLimit && northings < kLimit;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::quietQtWarnings();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const quint8 units = input.ConsumeIntegral<quint8>();
    const quint16 xdens = input.ConsumeIntegral<quint16>();
    const quint16 ydens = input.ConsumeIntegral<quint16>();
    const int width = input.ConsumeIntegralInRange(0, kLargestPicture);
    const int height = input.ConsumeIntegralInRange(0, kLargestPicture);
    const std::string file = input.ConsumeRemainingBytesAsString();
    const QStringList lines = LineList::splitLines(QByteArray(file.data(), qsizetype(file.size())));

    // The fields are filled line by line; a short file stops at the first
    // missing line with the list-index message.
    CalibrationTexts texts;
    QString refusal;
    const bool complete = !Fuzz::refuses(
        [&] {
            using namespace CalibrationLine;
            calibrationLine(lines, Zone);
            calibrationLine(lines, Letter);
            calibrationLine(lines, Datum);
            for (int k = 0; k < 3; ++k) {
                texts[k].x = calibrationLine(lines, of(k, PixelX));
                texts[k].easting = calibrationLine(lines, of(k, Easting));
                texts[k].y = calibrationLine(lines, of(k, PixelY));
                texts[k].northing = calibrationLine(lines, of(k, Northing));
            }
        },
        &refusal);
    if (!complete) {
        FUZZ_CHECK(lines.size() < CalibrationLine::Count);
        FUZZ_CHECK(refusal ==
                   QStringLiteral("Indice de liste hors limites (%1)").arg(lines.size()));
        return 0;
    }

    MapTransform t;
    bool accepted = false;
    if (Fuzz::refuses([&] { accepted = computeTransformFromTexts(t, texts); }))
        return 0;
    if (!accepted)
        return 0;

    Fuzz::refuses([&] { MapScale(t.c[1], t.d[2], xdens, ydens, units); });

    // The readout and the waypoint marks at the corners of the picture.
    for (const auto &[x, y] :
         {std::pair{0, 0}, std::pair{width, 0}, std::pair{0, height}, std::pair{width, height}}) {
        const UtmReal utm = PixelToUtm(t, x, y);
        const qint64 easting = roundHalfEven(utm.easting);
        const qint64 northing = roundHalfEven(utm.northing);
        UtmToPixel(t, static_cast<qint32>(easting), static_cast<qint32>(northing));
    }

    // Open finding in gridlabels.cpp (reported, fix pending in the maps
    // code): kilometres beyond the 64-bit range are converted to an integer
    // without a check. Such calibrations are left out here so that the run
    // goes on over everything else; the input that shows it is kept as
    // finding_gridlabels_beyond_int64 and as a skipped test in tests/faults.
    if (!labelsFitIn64Bits(t, width, height))
        return 0;
    CountingCanvas canvas;
    drawGridLabels(canvas, t, width, height, gridTitle(lines.at(0), lines.at(1), lines.at(2)));
    // The title, then at most one label per pixel column and row.
    FUZZ_CHECK(canvas.count >= 1 && canvas.count <= 1 + (width + 1) + (height + 1));
    return 0;
}
