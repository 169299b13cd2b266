#include "mapexport.h"

#include "data/filelayer.h"
#include "data/moduleloader.h"
#include "data/quorerror.h"
#include "mapexportapi.h"
#include "maps/arealayout.h"
#include "maps/terrainsource.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <sys/stat.h>
#include <unistd.h>

namespace MapExport {

namespace {

// EPSG's UTM systems: ED50 has zones 28 to 38 of the northern hemisphere
// (23028 to 23038); WGS 84 has every zone, north (326zz) and south (327zz).
constexpr int kEd50UtmBase = 23000;
constexpr int kFirstEd50Zone = 28;
constexpr int kLastEd50Zone = 38;
constexpr int kWgs84NorthBase = 32600;
constexpr int kWgs84SouthBase = 32700;
// The calibration's positions are those of pixel centres; GDAL's corners lie
// half a pixel before them.
constexpr long double kHalfPixel = 0.5L;
// The progress is told in thousandths, each once: the progress box lets the
// windows repaint every time it hears of one.
constexpr qint64 kProgressSteps = 1000;
// Bytes of the destination's name that its temporary file keeps.
constexpr int kTemporaryStemLength = 32;

const MapExportApi::Functions &module()
{
    static const MapExportApi::Functions *functions = nullptr;
    if (!functions) {
        const auto entry = reinterpret_cast<MapExportApi::EntryPoint>(ModuleLoader::entryPoint(
            QLatin1String(MapExportApi::kModuleName), MapExportApi::kEntryPoint));
        const MapExportApi::Functions *found = entry();
        if (!found || found->version != MapExportApi::kVersion)
            throw QuorError(QStringLiteral("Le module d'exportation des cartes de Quor n'est pas "
                                           "de la même version que le programme : réinstallez "
                                           "Quor."));
        functions = found;
    }
    return *functions;
}

QString formatName(Format format)
{
    switch (format) {
    case Format::GeoTiff:
        return QStringLiteral("GeoTIFF");
    case Format::MBTiles:
        return QStringLiteral("MBTiles");
    case Format::Kmz:
        break;
    }
    return QStringLiteral("KMZ");
}

MapExportApi::Format moduleFormat(Format format)
{
    switch (format) {
    case Format::GeoTiff:
        return MapExportApi::GeoTiff;
    case Format::MBTiles:
        return MapExportApi::MBTiles;
    case Format::Kmz:
        break;
    }
    return MapExportApi::Kmz;
}

bool isCalibrated(const MapTransform &t)
{
    const double determinant = t.c[1] * t.d[2] - t.c[2] * t.d[1];
    return isAccepted(t) && std::isfinite(t.c[0]) && std::isfinite(t.d[0]) &&
           std::isfinite(determinant) && determinant != 0.0;
}

// Where each colour of a pixel lies in a picture's buffer, for the formats
// the program's pictures come in; the others are converted.
struct Layout
{
    int red = 0;
    int green = 1;
    int blue = 2;
    int stride = 3;
};

bool layoutOf(QImage::Format format, Layout &layout)
{
    switch (format) {
    case QImage::Format_RGB888:
        layout = {0, 1, 2, 3};
        return true;
    case QImage::Format_BGR888:
        layout = {2, 1, 0, 3};
        return true;
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        // 0xAARRGGBB words, in the machine's byte order.
        if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN)
            layout = {2, 1, 0, 4};
        else
            layout = {1, 2, 3, 4};
        return true;
    case QImage::Format_RGBX8888:
    case QImage::Format_RGBA8888:
    case QImage::Format_RGBA8888_Premultiplied:
        layout = {0, 1, 2, 4};
        return true;
    case QImage::Format_Grayscale8:
        layout = {0, 0, 0, 1};
        return true;
    default:
        return false;
    }
}

// What the module reads, and the picture it points into.
struct Prepared
{
    QImage picture; // shares the request's pixels, unless they had to be converted
    QRect extent;
    std::array<double, 6> transform{};
    int epsg = 0;
    QByteArray name;
    QByteArray operation;
    MapExportApi::Request request;
};

// Every refusal that needs no export module, then the module's request for
// `format`.
void prepare(const Request &request, Format format, Prepared &out)
{
    if (request.picture.isNull())
        throw QuorError(kNoPicture);
    if (!isCalibrated(request.transform))
        throw QuorError(kNotCalibrated);
    out.epsg = epsgCode(request.grid);
    if (out.epsg == 0)
        throw QuorError(noSystemText(request.grid));
    const QRect whole = request.picture.rect();
    out.extent = request.extent.isNull() ? whole : request.extent.intersected(whole);
    if (out.extent.isEmpty())
        throw QuorError(kOutsideMap);
    out.transform = geoTransform(request.transform, out.extent);
    for (const double v : out.transform) {
        if (!std::isfinite(v))
            throw QuorError(kNotCalibrated);
    }

    Layout layout;
    out.picture = request.picture;
    if (!layoutOf(out.picture.format(), layout)) {
        out.picture = request.picture.convertToFormat(QImage::Format_RGB888);
        layoutOf(out.picture.format(), layout);
    }
    const QString name =
        request.name.isEmpty() ? QFileInfo(request.destination).completeBaseName() : request.name;
    out.name = name.toUtf8();

    // Only the reprojected formats need the operation, and the geodesy
    // module that chooses it.
    if (format != Format::GeoTiff)
        out.operation = mapTransformation(request).definition();

    MapExportApi::Request &r = out.request;
    r.format = moduleFormat(format);
    // constBits() leaves the shared pixels shared.
    const uchar *first = out.picture.constBits() +
                         qsizetype(out.extent.top()) * out.picture.bytesPerLine() +
                         qsizetype(out.extent.left()) * layout.stride;
    r.picture.band[0] = first + layout.red;
    r.picture.band[1] = first + layout.green;
    r.picture.band[2] = first + layout.blue;
    r.picture.width = out.extent.width();
    r.picture.height = out.extent.height();
    r.picture.pixelStride = layout.stride;
    r.picture.lineStride = out.picture.bytesPerLine();
    std::copy(out.transform.begin(), out.transform.end(), r.transform);
    r.epsg = out.epsg;
    r.operation = out.operation.isEmpty() ? nullptr : out.operation.constData();
    r.name = out.name.constData();
    r.kmzReduction = std::max(1.0, request.kmzReduction);
    r.jpegQuality = kJpegQuality;
}

// The progress as the module reports it: each thousandth once. An exception
// from the caller's progress stops the export and is thrown again once the
// module has cleaned up.
struct ProgressBridge
{
    const Progress *progress = nullptr;
    qint64 last = -1;
    std::exception_ptr failure;
};

int reportProgress(double fraction, void *context)
{
    auto *bridge = static_cast<ProgressBridge *>(context);
    if (!*bridge->progress)
        return 1;
    const qint64 done = std::clamp<qint64>(qint64(fraction * kProgressSteps), 0, kProgressSteps);
    if (done == bridge->last)
        return 1;
    bridge->last = done;
    try {
        return (*bridge->progress)(done, kProgressSteps) ? 1 : 0;
    } catch (...) {
        bridge->failure = std::current_exception();
        return 0;
    }
}

// The permissions the finished file gets: those of the file it replaces, or
// those of any new file.
mode_t finishedMode(const QString &destination)
{
    struct stat st;
    if (::stat(QFile::encodeName(destination).constData(), &st) == 0)
        return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// A new file of a name nobody else uses, in the destination's folder (so
// that the rename is atomic), with the format's suffix. Its name keeps a
// few characters of the destination's, for whoever finds one left by a
// crash, and always fits the folder's limit whatever the destination's
// length. Throws "Impossible de créer le fichier" for the destination when
// the folder cannot take it.
QString temporaryBeside(const QString &destination, Format format)
{
    const QFileInfo info(destination);
    const QByteArray suffixBytes = QFile::encodeName(QLatin1Char('.') + suffix(format));
    QString stem = info.fileName().left(kTemporaryStemLength);
    while (QFile::encodeName(stem).size() > kTemporaryStemLength)
        stem.chop(1);
    QByteArray path = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + stem) +
                      ".XXXXXX" + suffixBytes;
    const int fd = ::mkstemps(path.data(), int(suffixBytes.size()));
    if (fd < 0)
        throwCannotCreate(destination);
    ::close(fd);
    return QFile::decodeName(path);
}

// Whether the folder can hold a file of the destination's name: the
// system's own limit, checked before the export rather than at its rename.
bool nameFits(const QString &destination)
{
    const QFileInfo info(destination);
    const long limit = ::pathconf(QFile::encodeName(info.absolutePath()).constData(), _PC_NAME_MAX);
    return limit <= 0 || QFile::encodeName(info.fileName()).size() <= limit;
}

[[noreturn]] void throwFailure(const Request &request, const MapExportApi::Result &result)
{
    switch (result.status) {
    case MapExportApi::Cancelled:
        throw Cancelled{};
    case MapExportApi::NoSystem:
        throw QuorError(noSystemText(request.grid));
    case MapExportApi::NoConversion:
        throw QuorError(noConversionText(request.format));
    case MapExportApi::TooManyTiles:
        throw QuorError(tooManyTilesText(result.tiles));
    case MapExportApi::BeyondMercator:
        throw QuorError(kBeyondMercator);
    case MapExportApi::WriteFailed: {
        const int code = ioCodeFromErrno(result.error);
        if (result.error != 0 && code == IoCode::DiskFull)
            throwIoError(code);
        throwCannotCreate(request.destination);
    }
    case MapExportApi::Done:
    case MapExportApi::Failed:
        break;
    }
    throw QuorError(gdalFailureText(QString::fromUtf8(result.message)));
}

} // namespace

QString noSystemText(const Coordinates::Grid &grid)
{
    return QStringLiteral("Aucun système de coordonnées EPSG ne correspond à la zone %1%2 en %3 : "
                          "la carte ne peut pas être exportée.")
        .arg(grid.zone)
        .arg(grid.letter.toUpper())
        .arg(grid.datum);
}

QString noConversionText(Format format)
{
    return QStringLiteral("Les positions de la carte ne peuvent pas être converties en latitude "
                          "et longitude WGS84 : la carte ne peut pas être exportée en %1.")
        .arg(formatName(format));
}

QString tooManyTilesText(int tiles)
{
    return QStringLiteral("La carte en KMZ ferait %1 tuiles, et les GPS n'en lisent que %2 : "
                          "exportez la zone de la route, ou choisissez une résolution plus "
                          "grossière.")
        .arg(tiles)
        .arg(kMaxKmzTiles);
}

QString gdalFailureText(const QString &gdalMessage)
{
    return QStringLiteral("GDAL n'a pas pu écrire la carte : %1").arg(gdalMessage);
}

QString suffix(Format format)
{
    switch (format) {
    case Format::GeoTiff:
        return QStringLiteral("tif");
    case Format::MBTiles:
        return QStringLiteral("mbtiles");
    case Format::Kmz:
        break;
    }
    return QStringLiteral("kmz");
}

QString fileFilter(Format format)
{
    return formatName(format) + QStringLiteral("|*.") + suffix(format);
}

int epsgCode(const Coordinates::Grid &grid)
{
    Coordinates::checkGrid(grid);
    const bool southern = Coordinates::isSouthern(grid.letter);
    if (grid.datum == QLatin1String(Coordinates::kWgs84))
        return (southern ? kWgs84SouthBase : kWgs84NorthBase) + grid.zone;
    if (southern || grid.zone < kFirstEd50Zone || grid.zone > kLastEd50Zone)
        return 0;
    return kEd50UtmBase + grid.zone;
}

std::array<double, 6> geoTransform(const MapTransform &t, const QRect &extent)
{
    const long double x = extent.left() - kHalfPixel;
    const long double y = extent.top() - kHalfPixel;
    return {double((x * t.c[1] + t.c[0]) + y * t.c[2]), t.c[1], t.c[2],
            double((x * t.d[1] + t.d[0]) + y * t.d[2]), t.d[1], t.d[2]};
}

QRect routeExtent(const QSize &picture, const MapTransform &transform,
                  const QList<QPoint> &waypoints, double marginKm)
{
    if (!isCalibrated(transform))
        throw QuorError(kNotCalibrated);
    if (waypoints.isEmpty())
        throw QuorError(kNoWaypoint);
    AreaMap map;
    map.picture = picture;
    map.transform = transform;
    return routeArea(map, waypoints, marginKm);
}

Coordinates::Transformation mapTransformation(const Request &request)
{
    if (!isCalibrated(request.transform))
        throw QuorError(kNotCalibrated);
    const Coordinates::Grid &g = request.grid;
    const auto frame = TerrainSource::mapFrame(QString::number(g.zone), QString(g.letter), g.datum,
                                               request.transform, request.picture.size());
    if (!frame)
        throw QuorError(noConversionText(request.format));
    Coordinates::Transformation transformation(frame->first, frame->second);
    if (transformation.definition().isEmpty())
        throw QuorError(noConversionText(request.format));
    return transformation;
}

int kmzTiles(const Request &request)
{
    Prepared prepared;
    prepare(request, Format::Kmz, prepared);
    MapExportApi::Result result;
    module().kmzLayout(&prepared.request, &result);
    if (result.status != MapExportApi::Done)
        throwFailure(request, result);
    return result.tiles;
}

double fittingKmzReduction(const Request &request)
{
    Request trial = request;
    for (const double reduction : kKmzReductions) {
        trial.kmzReduction = reduction;
        if (kmzTiles(trial) <= kMaxKmzTiles)
            return reduction;
    }
    return 0;
}

void exportMap(const Request &request, const Progress &progress)
{
    Prepared prepared;
    prepare(request, request.format, prepared);
    const MapExportApi::Functions &functions = module();
    // A read-only file stays as it is: the rename would replace it.
    if (!nameFits(request.destination) || (FileLayer::fileExists(request.destination) &&
                                           FileLayer::probeReadWrite(request.destination) != 0))
        throwCannotCreate(request.destination);

    const QString temporary = temporaryBeside(request.destination, request.format);
    const QByteArray path = QFile::encodeName(temporary);
    ProgressBridge bridge;
    bridge.progress = &progress;
    prepared.request.path = path.constData();
    prepared.request.progress = reportProgress;
    prepared.request.context = &bridge;
    MapExportApi::Result result;
    functions.exportMap(&prepared.request, &result);
    if (result.status != MapExportApi::Done || bridge.failure) {
        FileLayer::removeFile(temporary);
        if (bridge.failure)
            std::rethrow_exception(bridge.failure);
        throwFailure(request, result);
    }
    ::chmod(path.constData(), finishedMode(request.destination));
    // rename() replaces the destination in one step: a reader sees the old
    // file or the new one, never one half-written.
    if (std::rename(path.constData(), QFile::encodeName(request.destination).constData()) != 0) {
        const int error = errno;
        FileLayer::removeFile(temporary);
        const int code = ioCodeFromErrno(error);
        if (code == IoCode::DiskFull)
            throwIoError(code);
        throwCannotCreate(request.destination);
    }
}

} // namespace MapExport
