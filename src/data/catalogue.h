#pragma once

#include <QByteArray>

struct AppState;
class StringGrid;

// The catalogue: 50 rows of code, title, date, departure and arrival, stored
// in ProjectDirectory/Quord.qud as 50 records of 88 bytes.
namespace Catalogue {
constexpr int kRows = 50;
constexpr int kColumns = 5;
constexpr int kRecordSize = 88;
constexpr int kBlockSize = kRows * kRecordSize;

enum Column { Code = 0, Title = 1, Date = 2, Departure = 3, Arrival = 4 };

constexpr int kCodeOffset = 0, kCodeCapacity = 15;
constexpr int kTitleOffset = 16, kTitleCapacity = 40;
constexpr int kDateOffset = 64;
constexpr int kDepartureOffset = 72;
constexpr int kArrivalOffset = 80;

const char *const kFileName = "Quord.qud";

// Builds the block from the grid over `previous` (its gap bytes are kept).
// Throws the date or time message of the first unreadable cell.
QByteArray blockFromGrid(const StringGrid &grid, const QByteArray &previous);
void blockToGrid(const QByteArray &block, StringGrid &grid);
} // namespace Catalogue

void load_catalogue(AppState &state, StringGrid &grid);
void save_catalogue(AppState &state, const StringGrid &grid);
