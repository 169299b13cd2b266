#pragma once

#include <QByteArray>
#include <QString>

struct AppState;
class StringGrid;

// An itinerary: 50 stages stored in ProjectDirectory/quorN.qud as 50 records
// of 96 bytes, shown in rows 1..50 of the stage grid under a header row 0.
namespace Itinerary {
constexpr int kStages = 50;
constexpr int kGridRows = kStages + 1;
constexpr int kColumns = 7;
constexpr int kRecordSize = 96;
constexpr int kBlockSize = kStages * kRecordSize;

enum Column {
    Place = 0,
    Means = 1,
    Orientation = 2,
    Position = 3,
    Altitude = 4,
    Distance = 5,
    Time = 6
};

constexpr int kPlaceOffset = 0, kPlaceCapacity = 40;
constexpr int kMeansOffset = 41, kMeansCapacity = 2;
constexpr int kOrientationOffset = 44;
constexpr int kPositionOffset = 48, kPositionCapacity = 20;
constexpr int kAltitudeOffset = 72;
constexpr int kDistanceOffset = 76;
constexpr int kReservedOffset = 80;
constexpr int kTimeOffset = 88;

QString fileName(int catalogueRow);
QString headerText(int column);

QByteArray blockFromGrid(const StringGrid &grid, const QByteArray &previous);
void blockToGrid(const QByteArray &block, StringGrid &grid);
} // namespace Itinerary

void load_itinerary(AppState &state, StringGrid &grid, int catalogueRow);
void save_itinerary(AppState &state, const StringGrid &grid, int catalogueRow);
