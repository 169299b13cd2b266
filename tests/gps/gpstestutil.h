#pragma once

#include "data/itinerary.h"
#include "data/stringgrid.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// Builders shared by the route dialog's tests.
namespace GpsTest {

struct Waypoint
{
    QString label;
    QString easting;
    QString northing;
    QString altitude;
    QString zone = QStringLiteral("31");
    QString letter = QStringLiteral("T");
    QString datum = QStringLiteral("ED50");
};

// The ten lines of each waypoint, as the map window writes them.
inline QStringList waypointLines(const QList<Waypoint> &points)
{
    QStringList lines;
    for (const Waypoint &p : points) {
        lines << p.label << p.easting << p.northing << p.altitude << QStringLiteral("carte3.jpg")
              << p.zone << p.letter << p.datum << QStringLiteral("0") << QStringLiteral("0");
    }
    return lines;
}

// Two waypoints of a route in 31T.
inline QList<Waypoint> exampleRoute()
{
    return {{"AA000", "512345", "4845678", "1200"}, {"AA001", "512960", "4846012", "1350"}};
}

// `count` waypoints AB000, AB001... 100 m apart, each a metre higher.
inline QList<Waypoint> manyPoints(int count)
{
    QList<Waypoint> points;
    for (int i = 0; i < count; ++i) {
        points.append({QStringLiteral("AB%1").arg(i, 3, 10, QLatin1Char('0')),
                       QString::number(500000 + 100 * i), QStringLiteral("4000000"),
                       QString::number(200 + i)});
    }
    return points;
}

// A stage grid whose every stage cell names its column and row, so moved
// rows can be traced: "c2r17".
inline void fillStages(StringGrid &stages)
{
    for (int c = 0; c < Itinerary::kColumns; ++c)
        stages.setCell(c, 0, Itinerary::headerText(c));
    for (int r = 1; r <= Itinerary::kStages; ++r) {
        for (int c = 0; c < Itinerary::kColumns; ++c)
            stages.setCell(c, r, QStringLiteral("c%1r%2").arg(c).arg(r));
    }
}

inline QStringList rowTexts(const StringGrid &grid, int row)
{
    QStringList texts;
    for (int c = 0; c < grid.columnCount(); ++c)
        texts << grid.cell(c, row);
    return texts;
}

inline QStringList tracedRow(int originalRow)
{
    QStringList texts;
    for (int c = 0; c < Itinerary::kColumns; ++c)
        texts << QStringLiteral("c%1r%2").arg(c).arg(originalRow);
    return texts;
}

inline QList<QStringList> allRows(const StringGrid &grid)
{
    QList<QStringList> rows;
    for (int r = 0; r < grid.rowCount(); ++r)
        rows << rowTexts(grid, r);
    return rows;
}

// Records every move of the current cell, with the text of the target cell
// at the moment of the move (before the insertion writes it).
struct MoveLog
{
    QList<QPair<int, int>> moves;
    QStringList targetTexts;

    void install(StringGrid &grid)
    {
        grid.setSelectHandler([this, &grid](int column, int row) {
            moves.append({column, row});
            targetTexts.append(grid.cell(column, row));
        });
    }
};

} // namespace GpsTest
