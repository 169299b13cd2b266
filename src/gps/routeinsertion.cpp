#include "routeinsertion.h"

#include "data/itinerary.h"
#include "data/stringgrid.h"
#include "data/textforms.h"
#include "data/routefiles.h"
#include "routegeometry.h"

#include <algorithm>

namespace RouteInsertion {

namespace {

constexpr int kFirstStageRow = 1;
constexpr int kLastStageRow = Itinerary::kStages;

using RouteFiles::waypointField;

// Disables the grid view while it lives, so every way out of the insertion,
// a thrown error included, gives the grid back to the user.
class GridDisabled
{
public:
    explicit GridDisabled(const GridEnabler &enable) : m_enable(enable)
    {
        if (m_enable)
            m_enable(false);
    }
    ~GridDisabled()
    {
        if (m_enable)
            m_enable(true);
    }
    GridDisabled(const GridDisabled &) = delete;
    GridDisabled &operator=(const GridDisabled &) = delete;

private:
    const GridEnabler &m_enable;
};

void writeCell(StringGrid &stages, int column, int row, const QString &text)
{
    stages.moveTo(column, row);
    stages.setCell(column, row, text);
}

} // namespace

StageTexts stageTexts(const QStringList &lines, int waypoint)
{
    using namespace RouteFiles;
    StageTexts texts;
    texts.place = waypointField(lines, waypoint, Label);
    texts.position = waypointField(lines, waypoint, Zone) + waypointField(lines, waypoint, Letter) +
                     QLatin1Char(' ') + waypointField(lines, waypoint, Easting) + QLatin1Char(' ') +
                     waypointField(lines, waypoint, Northing);
    texts.altitude = waypointField(lines, waypoint, Altitude);
    if (waypoint + 1 < waypointCount(lines)) {
        const qint32 e1 = parse_integer(waypointField(lines, waypoint, Easting));
        const qint32 n1 = parse_integer(waypointField(lines, waypoint, Northing));
        const qint32 e2 = parse_integer(waypointField(lines, waypoint + 1, Easting));
        const qint32 n2 = parse_integer(waypointField(lines, waypoint + 1, Northing));
        texts.means = QLatin1String(kWalkingMeans);
        texts.orientation = QString::number(RouteGeometry::legBearing(e1, n1, e2, n2));
        texts.distance = QString::number(RouteGeometry::legDistance(e1, n1, e2, n2));
    }
    return texts;
}

Result insert_route(StringGrid &stages, const QStringList &waypointLines,
                    const GridEnabler &enableGrid)
{
    using Itinerary::Column;
    const GridDisabled disabled(enableGrid);
    const int count = RouteFiles::waypointCount(waypointLines);
    Result result;
    for (int i = 0; i < count; ++i) {
        // The header row is never a stage: a cursor left on it inserts at the first stage.
        const int r = std::max(stages.row(), kFirstStageRow);
        const StageTexts texts = stageTexts(waypointLines, i);

        for (int row = kLastStageRow - 1; row >= r; --row)
            stages.copyRow(row, row + 1);

        writeCell(stages, Column::Place, r, texts.place);
        writeCell(stages, Column::Means, r, texts.means);
        writeCell(stages, Column::Orientation, r, texts.orientation);
        writeCell(stages, Column::Position, r, texts.position);
        writeCell(stages, Column::Altitude, r, texts.altitude);
        writeCell(stages, Column::Distance, r, texts.distance);
        ++result.stagesWritten;

        if (r == kLastStageRow) {
            result.waypointsLeftOut = count - i - 1;
            break;
        }
        stages.moveTo(Column::Distance, r + 1);
    }
    return result;
}

QString waypointsLeftOutText(int count)
{
    if (count == 1) {
        return QStringLiteral("L'itinéraire est plein à la ligne %1 : 1 point de la route n'a "
                              "pas été inséré.")
            .arg(kLastStageRow);
    }
    return QStringLiteral("L'itinéraire est plein à la ligne %1 : %2 points de la route n'ont "
                          "pas été insérés.")
        .arg(kLastStageRow)
        .arg(count);
}

} // namespace RouteInsertion
