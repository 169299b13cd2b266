// Build-time generator of what the program ships beside its executable: the
// example project with its drawn map, and the desktop icons.
//
//   quorgen example <folder>   writes <folder>/Exemple and <folder>/Quori.qud
//                              with the example's elevation model, Exemple/Terrain.tif,
//                              and its recorded walk, "Exemple/Marche du lac.gpx"
//   quorgen icons <folder>     writes <folder>/hicolor/<N>x<N>/apps/quor.png

#include "app/appicon.h"
#include "app/exampleproject.h"
#include "app/programdirectory.h"
#include "data/filelayer.h"
#include "data/moduleloader.h"
#include "terrain/terrainchoice.h"

#include <QBuffer>
#include <QGuiApplication>

#include <cpl_conv.h>
#include <gdal.h>
#include <ogr_srs_api.h>

#include <cmath>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <vector>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: quorgen example|icons <folder>\n");
    return 2;
}

void writeIcons(const QString &folder)
{
    for (int size : AppIcon::kThemeSizes) {
        const QString dir = QStringLiteral("%1/hicolor/%2x%2/apps").arg(folder).arg(size);
        makePath(dir);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        AppIcon::image(size).save(&buffer, "PNG");
        FileLayer::writeAtomic(dir + QStringLiteral("/quor.png"), png);
    }
}

// The example's relief as an elevation model beside its map, chosen for its
// project: ExampleProject::altitude at the centres of 25 m cells of ED50 /
// UTM 31N, over the map and one cell beyond each edge so that every point
// of the map lies between four centres. The program itself never links
// GDAL; this build tool does, to write it once.
constexpr int kTerrainCell = 25;
constexpr int kEd50Utm31 = 23031;
constexpr char kTerrainFileName[] = "Terrain.tif";

void writeTerrain(const QString &project)
{
    const QPointF topLeft = ExampleProject::utmOf(0, 0);
    const QPointF bottomRight =
        ExampleProject::utmOf(ExampleProject::kMapWidth, ExampleProject::kMapHeight);
    const double west = std::floor(topLeft.x() / kTerrainCell) * kTerrainCell - kTerrainCell;
    const double north = std::ceil(topLeft.y() / kTerrainCell) * kTerrainCell + kTerrainCell;
    const double east = std::ceil(bottomRight.x() / kTerrainCell) * kTerrainCell + kTerrainCell;
    const double south = std::floor(bottomRight.y() / kTerrainCell) * kTerrainCell - kTerrainCell;
    const int columns = int((east - west) / kTerrainCell);
    const int rows = int((north - south) / kTerrainCell);
    std::vector<float> heights;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c)
            heights.push_back(float(ExampleProject::altitude(west + (c + 0.5) * kTerrainCell,
                                                             north - (r + 0.5) * kTerrainCell)));
    }

    // Nothing beside the file, and the same bytes at every build.
    CPLSetConfigOption("GDAL_PAM_ENABLED", "NO");
    GDALAllRegister();
    const QByteArray path = (project + QLatin1Char('/') + QLatin1String(kTerrainFileName)).toUtf8();
    const char *const options[] = {"COMPRESS=DEFLATE", "PREDICTOR=3", nullptr};
    GDALDriverH gtiff = GDALGetDriverByName("GTiff");
    GDALDatasetH dataset = gtiff ? GDALCreate(gtiff, path.constData(), columns, rows, 1,
                                              GDT_Float32, const_cast<char **>(options))
                                 : nullptr;
    if (!dataset)
        throw std::runtime_error("cannot create " + path.toStdString());
    double transform[6] = {west, kTerrainCell, 0, north, 0, -kTerrainCell};
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    GDALRasterBandH band = GDALGetRasterBand(dataset, 1);
    const bool written = OSRImportFromEPSG(srs, kEd50Utm31) == OGRERR_NONE &&
                         GDALSetSpatialRef(dataset, srs) == CE_None &&
                         GDALSetGeoTransform(dataset, transform) == CE_None &&
                         GDALSetRasterUnitType(band, "m") == CE_None &&
                         GDALRasterIO(band, GF_Write, 0, 0, columns, rows, heights.data(), columns,
                                      rows, GDT_Float32, 0, 0) == CE_None;
    OSRDestroySpatialReference(srs);
    CPLErrorReset();
    GDALClose(dataset);
    if (!written || CPLGetLastErrorType() >= CE_Failure)
        throw std::runtime_error("cannot write " + path.toStdString());
    TerrainChoice::write(project, QString::fromUtf8(path));
}

} // namespace

int main(int argc, char *argv[])
{
    // The build machine needs no display: drawing happens in memory.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() != 3)
        return usage();
    const QString what = args.at(1);
    const QString folder = args.at(2);
    try {
        if (what == QLatin1String("example")) {
            // The example's recorded walk converts its positions with the
            // geodesy module, which lands in the build folder above this
            // tool's own.
            ModuleLoader::setExtraDirectory(QStringLiteral(QUOR_GENERATOR_MODULE_DIR));
            makePath(folder);
            ExampleProject::write(folder);
            ExampleProject::remember(folder);
            ExampleProject::writeRecordedWalk(folder);
            writeTerrain(folder + QLatin1Char('/') + ExampleProject::kProjectName);
        } else if (what == QLatin1String("icons")) {
            writeIcons(folder);
        } else {
            return usage();
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "quorgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
