#include "catalogue.h"

#include "appstate.h"
#include "countedstring.h"
#include "recordfile.h"
#include "stringgrid.h"
#include "textforms.h"

namespace Catalogue {

namespace {

QString upperAscii(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 32);
    }
    return out;
}

QString timeCell(double value)
{
    return value != 0.0 ? time_of_day_text(value) : QString();
}

double timeValue(const QString &text)
{
    return text.isEmpty() ? 0.0 : parse_time_of_day(text);
}

} // namespace

QByteArray blockFromGrid(const StringGrid &grid, const QByteArray &previous)
{
    QByteArray block = previous.size() == kBlockSize ? previous : QByteArray(kBlockSize, '\0');
    for (int r = 0; r < kRows; ++r) {
        const int base = r * kRecordSize;
        CountedString::write(block, base + kCodeOffset, kCodeCapacity,
                             upperAscii(grid.cell(Code, r)));
        CountedString::write(block, base + kTitleOffset, kTitleCapacity, grid.cell(Title, r));
        const QString &date = grid.cell(Date, r);
        LittleEndian::writeDouble(block, base + kDateOffset,
                                  date.isEmpty() ? 0.0 : parse_date(date));
        LittleEndian::writeDouble(block, base + kDepartureOffset,
                                  timeValue(grid.cell(Departure, r)));
        LittleEndian::writeDouble(block, base + kArrivalOffset, timeValue(grid.cell(Arrival, r)));
    }
    return block;
}

void blockToGrid(const QByteArray &block, StringGrid &grid)
{
    // Every value is converted before the first cell changes: a damaged value
    // leaves the grid as it was.
    QVector<QString> cells(qsizetype(kRows) * kColumns);
    for (int r = 0; r < kRows; ++r) {
        const int base = r * kRecordSize;
        QString *row = cells.data() + qsizetype(r) * kColumns;
        row[Code] = CountedString::read(block, base + kCodeOffset, kCodeCapacity);
        row[Title] = CountedString::read(block, base + kTitleOffset, kTitleCapacity);
        const double date = LittleEndian::readDouble(block, base + kDateOffset);
        row[Date] = date != 0.0 ? date_text(date) : QString();
        row[Departure] = timeCell(LittleEndian::readDouble(block, base + kDepartureOffset));
        row[Arrival] = timeCell(LittleEndian::readDouble(block, base + kArrivalOffset));
    }
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kColumns; ++c)
            grid.setCell(c, r, cells.at(r * kColumns + c));
    }
}

} // namespace Catalogue

void load_catalogue(AppState &state, StringGrid &grid)
{
    const QByteArray block =
        load_record_file(state.project_file(QLatin1String(Catalogue::kFileName)),
                         Catalogue::kBlockSize, QByteArray(Catalogue::kBlockSize, '\0'));
    Catalogue::blockToGrid(block, grid);
    // Only the block that is shown is the one a save writes over.
    state.catalogueBlock = block;
}

void save_catalogue(AppState &state, const StringGrid &grid)
{
    // Every cell is converted before anything is written.
    const QByteArray block = Catalogue::blockFromGrid(grid, state.catalogueBlock);
    save_record_file_overwrite(state.project_file(QLatin1String(Catalogue::kFileName)), block);
    state.catalogueBlock = block;
}
