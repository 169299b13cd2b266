#include "common/testmain.h"
#include "common/testutil.h"
#include "data/quorerror.h"
#include "exportfixture.h"
#include "terrain/mapterrain.h"
#include "terrain/terrainmodel.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace ExportFixture;

namespace {

const Coordinates::Grid kGrid{31, QLatin1Char('T'), QStringLiteral("ED50")};
// A model of 4 x 4 cells of 30 m whose stored value 6483 is 648.3 m by the
// scale of its .aux.xml, which also holds its only placement.
constexpr int kWest = 500000;
constexpr int kNorth = 4764000;
constexpr int kCell = 30;
constexpr int kCells = 4;
constexpr int kStored = 6483;
constexpr double kScale = 0.1;

} // namespace

// GDAL is one library for the process: what the export sets for its own
// files must not change what the terrain module reads afterwards.
class ExportSettingsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    // The altitude at the middle of the model, read from a freshly opened
    // model each time; none when the model is refused.
    double altitude(const QString &model) const
    {
        const Coordinates::GridPoint low{kWest, kNorth - kCells * kCell};
        const Coordinates::GridPoint high{kWest + kCells * kCell, kNorth};
        try {
            const MapTerrain terrain(TerrainModel::open(model), kGrid,
                                     Coordinates::areaOfExtent(kGrid, low, high));
            return terrain.altitude({kWest + 2 * kCell, kNorth - 2 * kCell}).value_or(qQNaN());
        } catch (const QuorError &) {
            return qQNaN();
        }
    }

private slots:
    void terrainReadsItsAuxFileAfterAnExport()
    {
        const QByteArray row = (QByteArray::number(kStored) + ' ').repeated(kCells) + '\n';
        TestUtil::writeBytes(m_dir.filePath("relief.asc"),
                             QStringLiteral("ncols %1\nnrows %1\nxllcorner 0\nyllcorner 0\n"
                                            "cellsize 1\n")
                                     .arg(kCells)
                                     .toLatin1() +
                                 row.repeated(kCells));
        const QString model = m_dir.filePath("relief.tif");
        // A baseline TIFF carries no placement: GDAL writes it, with the
        // scale, to relief.tif.aux.xml.
        run("gdal_translate",
            {"-q", "-ot", "Int16", "-co", "PROFILE=BASELINE", "-a_srs", "EPSG:23031", "-a_ullr",
             QString::number(kWest), QString::number(kNorth),
             QString::number(kWest + kCells * kCell), QString::number(kNorth - kCells * kCell),
             "-a_scale", QString::number(kScale), m_dir.filePath("relief.asc"), model});
        QVERIFY(QFile::exists(model + ".aux.xml"));
        const double expected = kStored * kScale;
        QCOMPARE(altitude(model), expected);

        MapExport::Request r = northUpMap(kGrid, kWest, kNorth, 1, QSize(300, 200));
        r.format = MapExport::Format::GeoTiff;
        r.destination = m_dir.filePath("carte.tif");
        MapExport::exportMap(r);

        QCOMPARE(altitude(model), expected);
    }
};

QUOR_TEST(ExportSettingsTest)
#include "tst_mapexport_settings.moc"
