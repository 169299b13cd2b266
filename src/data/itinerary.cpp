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
    // Every value is converted before the first cell changes: a damaged value
    // leaves the grid as it was.
    QVector<QString> cells(qsizetype(kGridRows) * kColumns);
    for (int c = 0; c < kColumns; ++c)
        cells[c] = headerText(c);
    for (int r = 1; r <= kStages; ++r) {
        const int base = (r - 1) * kRecordSize;
        QString *row = cells.data() + qsizetype(r) * kColumns;
        row[Place] = CountedString::read(block, base + kPlaceOffset, kPlaceCapacity);
        row[Means] = CountedString::read(block, base + kMeansOffset, kMeansCapacity);
        row[Orientation] = integerCell(LittleEndian::readInt32(block, base + kOrientationOffset));
        row[Position] = CountedString::read(block, base + kPositionOffset, kPositionCapacity);
        row[Altitude] = integerCell(LittleEndian::readInt32(block, base + kAltitudeOffset));
        row[Distance] = integerCell(LittleEndian::readInt32(block, base + kDistanceOffset));
        const double time = LittleEndian::readDouble(block, base + kTimeOffset);
        row[Time] = time != 0.0 ? time_of_day_text(time) : QString();
    }
    for (int r = 0; r < kGridRows; ++r) {
        for (int c = 0; c < kColumns; ++c)
            grid.setCell(c, r, cells.at(r * kColumns + c));
    }
}

} // namespace Itinerary

void load_itinerary(AppState &state, StringGrid &grid, int catalogueRow)
{
    const QByteArray block =
        load_record_file(state.project_file(Itinerary::fileName(catalogueRow)),
                         Itinerary::kBlockSize, QByteArray(Itinerary::kBlockSize, '\0'));
    Itinerary::blockToGrid(block, grid);
    // The reserved bytes a save writes back are those of the block shown.
    state.itineraryBlock = block;
}

void save_itinerary(AppState &state, const StringGrid &grid, int catalogueRow)
{
    const QByteArray block = Itinerary::blockFromGrid(grid, state.itineraryBlock);
    save_record_file_create(state.project_file(Itinerary::fileName(catalogueRow)), block);
    state.itineraryBlock = block;
}
