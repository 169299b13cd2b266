// The one-record files as they come from disk: the catalogue, an itinerary
// and the speed table, their counted strings, and the open-or-create load.

#include "data/catalogue.h"
#include "data/countedstring.h"
#include "data/cp1252.h"
#include "data/itinerary.h"
#include "data/recordfile.h"
#include "data/speedtable.h"
#include "data/stringgrid.h"
#include "data/textforms.h"
#include "fuzzcheck.h"
#include "scratchfile.h"

#include <QFile>

namespace {

constexpr int kCapacities[] = {2, 15, 20, 40};
// Counted strings are tried at each of the first offsets of the bytes.
constexpr int kScannedOffsets = 64;

QByteArray blockOf(const QByteArray &bytes, int size)
{
    QByteArray block = bytes.left(size);
    block.resize(size, '\0');
    return block;
}

// The catalogue stores its codes with a to z in capitals.
QString upperAscii(QString text)
{
    for (QChar &c : text) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - ('a' - 'A'));
    }
    return text;
}

// What a shown cell becomes after a save and a load: codes in capitals, and a
// date or time whose value is 0.0 (00:00, 30/12/1899) comes back empty, the
// 0.0 of an empty cell.
using AfterSave = QString (*)(int column, const QString &text);

bool isZeroTime(const QString &text)
{
    if (text.isEmpty())
        return false;
    double value = 1.0;
    Fuzz::refuses([&] { value = parse_time_of_day(text); });
    return value == 0.0;
}

bool isZeroDate(const QString &text)
{
    if (text.isEmpty())
        return false;
    double value = 1.0;
    Fuzz::refuses([&] { value = parse_date(text); });
    return value == 0.0;
}

QString catalogueAfterSave(int column, const QString &text)
{
    switch (column) {
    case Catalogue::Code:
        return upperAscii(text);
    case Catalogue::Date:
        return isZeroDate(text) ? QString() : text;
    case Catalogue::Departure:
    case Catalogue::Arrival:
        return isZeroTime(text) ? QString() : text;
    default:
        return text;
    }
}

QString itineraryAfterSave(int column, const QString &text)
{
    if (column == Itinerary::Time && isZeroTime(text))
        return QString();
    return text;
}

bool sameCells(const StringGrid &shown, const StringGrid &saved, AfterSave afterSave)
{
    for (int r = 0; r < shown.rowCount(); ++r) {
        for (int c = 0; c < shown.columnCount(); ++c) {
            if (saved.cell(c, r) != afterSave(c, shown.cell(c, r)))
                return false;
        }
    }
    return true;
}

// Every counted string of the bytes stays inside its field, and writing it
// back, between guard bytes, gives the same text and leaves the guards.
void countedStrings(const QByteArray &bytes)
{
    constexpr int kGuard = 8;
    constexpr char kGuardByte = '\xA5';
    for (const int capacity : kCapacities) {
        const int field = CountedString::size(capacity);
        for (int offset = 0; offset + field <= bytes.size() && offset < kScannedOffsets; ++offset) {
            const QString text = CountedString::read(bytes, offset, capacity);
            FUZZ_CHECK(text.size() <= capacity);
            QByteArray guarded(kGuard + field + kGuard, kGuardByte);
            CountedString::write(guarded, kGuard, capacity, text);
            FUZZ_CHECK(CountedString::read(guarded, kGuard, capacity) == text);
            FUZZ_CHECK(guarded.count(kGuardByte) >= 2 * kGuard);
            FUZZ_CHECK(guarded.startsWith(QByteArray(kGuard, kGuardByte)));
            FUZZ_CHECK(guarded.endsWith(QByteArray(kGuard, kGuardByte)));
        }
    }
}

// A loaded block shows in the grid; saving that grid and loading it again
// shows the same cells.
template <typename ToGrid, typename FromGrid>
void gridRoundTrip(const QByteArray &block, int columns, int rows, AfterSave afterSave,
                   ToGrid toGrid, FromGrid fromGrid)
{
    StringGrid grid(columns, rows);
    if (Fuzz::refuses([&] { toGrid(block, grid); }))
        return;
    QByteArray saved;
    FUZZ_CHECK(!Fuzz::refuses([&] { saved = fromGrid(grid, block); }));
    FUZZ_CHECK(saved.size() == block.size());
    StringGrid again(columns, rows);
    toGrid(saved, again);
    FUZZ_CHECK(sameCells(grid, again, afterSave));
    // A second save changes nothing more.
    FUZZ_CHECK(fromGrid(again, saved) == saved);
}

// The open-or-create load of a file holding the bytes: the block, or the
// read-beyond-end refusal of a short file that stays as it was.
void loadFromDisk(const QByteArray &bytes)
{
    const QString path = Fuzz::scratchPath(QStringLiteral("Quorc.qud"));
    Fuzz::writeScratch(path, bytes);
    QByteArray block;
    QString refusal;
    if (Fuzz::refuses(
            [&] {
                block = load_record_file(path, SpeedTable::kBlockSize, SpeedTable::defaultBlock());
            },
            &refusal)) {
        FUZZ_CHECK(bytes.size() < SpeedTable::kBlockSize);
        FUZZ_CHECK(refusal == QStringLiteral("Lecture au-delà de la fin de fichier"));
    } else {
        FUZZ_CHECK(block == bytes.left(SpeedTable::kBlockSize));
    }
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::ReadOnly));
    FUZZ_CHECK(file.readAll() == bytes);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::quietQtWarnings();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = Fuzz::bytesOf(data, size);
    countedStrings(bytes);

    gridRoundTrip(blockOf(bytes, Catalogue::kBlockSize), Catalogue::kColumns, Catalogue::kRows,
                  catalogueAfterSave, Catalogue::blockToGrid, Catalogue::blockFromGrid);
    gridRoundTrip(blockOf(bytes, Itinerary::kBlockSize), Itinerary::kColumns, Itinerary::kGridRows,
                  itineraryAfterSave, Itinerary::blockToGrid, Itinerary::blockFromGrid);

    SpeedTable table;
    table.setBlock(blockOf(bytes, SpeedTable::kBlockSize));
    for (int entry = 0; entry < SpeedTable::kEntryCount; ++entry) {
        FUZZ_CHECK(table.label(entry).size() <= SpeedTable::kLabelCapacity);
        table.setValue(entry, table.value(entry));
    }
    FUZZ_CHECK(table.block() == blockOf(bytes, SpeedTable::kBlockSize));

    if (size <= 2 * SpeedTable::kBlockSize)
        loadFromDisk(bytes);
    return 0;
}
