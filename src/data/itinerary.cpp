#include "itinerary.h"

#include "appstate.h"
#include "countedstring.h"
#include "recordfile.h"
#include "stringgrid.h"
#include "textforms.h"

namespace Itinerary {

namespace {

const char *const kHeaders[kColumns] = {"LIEU",     "Moyen",    "Orientation", "Position",
                                        "Altitude", "Distance", "Heure"};

QString integerCell(qint32 value)
{
    return value != 0 ? integer_text(value) : QString();
}

qint32 integerValue(const QString &text)
{
    return text.isEmpty() ? 0 : parse_integer(text);
}

} // namespace

QString fileName(int catalogueRow)
{
    return QStringLiteral("quor%1.qud").arg(catalogueRow);
}

QString headerText(int column)
{
    return QLatin1String(kHeaders[column]);
}

QByteArray blockFromGrid(const StringGrid &grid, const QByteArray &previous)
{
    QByteArray block = previous.size() == kBlockSize ? previous : QByteArray(kBlockSize, '\0');
    for (int r = 1; r <= kStages; ++r) {
        const int base = (r - 1) * kRecordSize;
        CountedString::write(block, base + kPlaceOffset, kPlaceCapacity, grid.cell(Place, r));
        CountedString::write(block, base + kMeansOffset, kMeansCapacity, grid.cell(Means, r));
        LittleEndian::writeInt32(block, base + kOrientationOffset,
                                 integerValue(grid.cell(Orientation, r)));
        CountedString::write(block, base + kPositionOffset, kPositionCapacity,
                             grid.cell(Position, r));
        LittleEndian::writeInt32(block, base + kAltitudeOffset,
                                 integerValue(grid.cell(Altitude, r)));
        LittleEndian::writeInt32(block, base + kDistanceOffset,
                                 integerValue(grid.cell(Distance, r)));
        const QString &time = grid.cell(Time, r);
        LittleEndian::writeDouble(block, base + kTimeOffset,
                                  time.isEmpty() ? 0.0 : parse_time_of_day(time));
    }
    return block;
}

void blockToGrid(const QByteArray &block, StringGrid &grid)
{
    for (int c = 0; c < kColumns; ++c)
        grid.setCell(c, 0, headerText(c));
    for (int r = 1; r <= kStages; ++r) {
        const int base = (r - 1) * kRecordSize;
        grid.setCell(Place, r, CountedString::read(block, base + kPlaceOffset, kPlaceCapacity));
        grid.setCell(Means, r, CountedString::read(block, base + kMeansOffset, kMeansCapacity));
        grid.setCell(Orientation, r,
                     integerCell(LittleEndian::readInt32(block, base + kOrientationOffset)));
        grid.setCell(Position, r,
                     CountedString::read(block, base + kPositionOffset, kPositionCapacity));
        grid.setCell(Altitude, r,
                     integerCell(LittleEndian::readInt32(block, base + kAltitudeOffset)));
        grid.setCell(Distance, r,
                     integerCell(LittleEndian::readInt32(block, base + kDistanceOffset)));
        const double time = LittleEndian::readDouble(block, base + kTimeOffset);
        grid.setCell(Time, r, time != 0.0 ? time_of_day_text(time) : QString());
    }
}

} // namespace Itinerary

void load_itinerary(AppState &state, StringGrid &grid, int catalogueRow)
{
    const QByteArray block =
        load_record_file(state.project_file(Itinerary::fileName(catalogueRow)),
                         Itinerary::kBlockSize, QByteArray(Itinerary::kBlockSize, '\0'));
    state.itineraryBlock = block;
    Itinerary::blockToGrid(block, grid);
}

void save_itinerary(AppState &state, const StringGrid &grid, int catalogueRow)
{
    const QByteArray block = Itinerary::blockFromGrid(grid, state.itineraryBlock);
    save_record_file_create(state.project_file(Itinerary::fileName(catalogueRow)), block);
    state.itineraryBlock = block;
}
