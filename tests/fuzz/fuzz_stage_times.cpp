// The time computation and the route sheet's totals over an itinerary, its
// catalogue row and the speed table as read from their files: any stored
// means codes, distances, altitudes, times and speeds (zero and negative
// ones included) give times of day or the runtime's message.

#include "data/catalogue.h"
#include "data/itinerary.h"
#include "data/speedtable.h"
#include "data/stringgrid.h"
#include "editor/routesheet.h"
#include "editor/stagetimes.h"
#include "fuzzcheck.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

constexpr int kLastCatalogueRow = Catalogue::kRows - 1;
constexpr int kCharacterWidth = 8;
constexpr int kLineHeight = 14;
constexpr QSize kPrintable(4800, 6600);

class FixedMetrics : public TextMetrics
{
public:
    QSize textSize(const QString &text, int pointSize) const override
    {
        return QSize(int(text.size()) * kCharacterWidth * pointSize / 10,
                     kLineHeight * pointSize / 10);
    }
};

QByteArray block(FuzzedDataProvider &input, int size)
{
    const std::vector<char> bytes = input.ConsumeBytes<char>(size_t(size));
    QByteArray out(bytes.data(), qsizetype(bytes.size()));
    out.resize(size, '\0');
    return out;
}

bool isTimeText(const QString &text)
{
    return text.size() == 5 && text.at(2) == QLatin1Char(':') && text.at(0).isDigit() &&
           text.at(1).isDigit() && text.at(3).isDigit() && text.at(4).isDigit();
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
    const int row = input.ConsumeIntegralInRange(0, kLastCatalogueRow);
    SpeedTable speeds;
    speeds.setBlock(block(input, SpeedTable::kBlockSize));
    const QByteArray catalogueBlock = block(input, Catalogue::kBlockSize);
    const QByteArray stageBlock = block(input, Itinerary::kBlockSize);

    StringGrid catalogue(Catalogue::kColumns, Catalogue::kRows);
    StringGrid stages(Itinerary::kColumns, Itinerary::kGridRows);
    if (Fuzz::refuses([&] { Catalogue::blockToGrid(catalogueBlock, catalogue); }))
        return 0;
    if (Fuzz::refuses([&] { Itinerary::blockToGrid(stageBlock, stages); }))
        return 0;

    if (!Fuzz::refuses([&] { compute_stage_times(stages, catalogue, row, speeds); })) {
        for (int r = 2; r <= Itinerary::kStages; ++r) {
            const QString &time = stages.cell(Itinerary::Time, r);
            FUZZ_CHECK(time.isEmpty() || isTimeText(time) ||
                       time == stages.cell(Itinerary::Time, r - 1));
        }
        // A second run over its own result changes nothing.
        StringGrid before = stages;
        compute_stage_times(stages, catalogue, row, speeds);
        for (int r = 0; r < Itinerary::kGridRows; ++r) {
            for (int c = 0; c < Itinerary::kColumns; ++c)
                FUZZ_CHECK(stages.cell(c, r) == before.cell(c, r));
        }
    }

    const int lastStage = lastRouteSheetStage(stages);
    FUZZ_CHECK(lastStage >= 0 && lastStage <= Itinerary::kStages);
    RouteSheetTotals totals;
    if (!Fuzz::refuses([&] { totals = routeSheetTotals(stages, lastStage); })) {
        FUZZ_CHECK(totals.climb >= 0 && totals.descent >= 0);
        const FixedMetrics metrics;
        const QList<SheetOperation> operations =
            routeSheetLayout(stages, catalogue.cell(Catalogue::Title, row),
                             catalogue.cell(Catalogue::Date, row), kPrintable, metrics);
        for (const SheetOperation &operation : operations)
            FUZZ_CHECK(operation.kind != SheetOperation::Kind::Text || !operation.text.isEmpty());
    }
    return 0;
}
