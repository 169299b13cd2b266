#include "terrainmodel.h"

#include "data/filelayer.h"
#include "data/moduleloader.h"
#include "data/quorerror.h"
#include "terrainapi.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <optional>

namespace Terrain {

const TerrainApi::Functions &module()
{
    static const TerrainApi::Functions *functions = nullptr;
    if (!functions) {
        const auto entry = reinterpret_cast<TerrainApi::EntryPoint>(ModuleLoader::entryPoint(
            QLatin1String(TerrainApi::kModuleName), TerrainApi::kEntryPoint));
        const TerrainApi::Functions *found = entry();
        if (!found || found->version != TerrainApi::kVersion)
            throw QuorError(QStringLiteral("Le module de terrain de Quor n'est pas de la même "
                                           "version que le programme : réinstallez Quor."));
        functions = found;
    }
    return *functions;
}

QString missingText(const QString &path)
{
    return QStringLiteral("Le modèle de terrain « %1 » est introuvable.").arg(path);
}

QString unreadableText(const QString &path)
{
    return QStringLiteral("Le fichier « %1 » n'est pas un modèle de terrain que Quor sait lire.")
        .arg(path);
}

QString notElevationText(const QString &path)
{
    return QStringLiteral("Le fichier « %1 » est une image, pas un modèle de terrain : il faut une "
                          "seule bande d'altitudes, en nombres entiers de 16 ou 32 bits ou en "
                          "nombres décimaux.")
        .arg(path);
}

QString notGeoreferencedText(const QString &path)
{
    return QStringLiteral("Le fichier « %1 » n'indique pas son système de coordonnées : Quor ne "
                          "peut pas placer ses altitudes sur la carte.")
        .arg(path);
}

QString blocksTooLargeText(const QString &path)
{
    return QStringLiteral("Le fichier « %1 » est rangé en blocs trop grands pour être lu morceau "
                          "par morceau : enregistrez-le en GeoTIFF tuilé.")
        .arg(path);
}

QString unknownUnitText(const QString &path)
{
    return QStringLiteral("Le fichier « %1 » donne ses valeurs dans une unité que Quor ne connaît "
                          "pas : il faut des altitudes en mètres, décimètres, centimètres, "
                          "millimètres, kilomètres ou pieds.")
        .arg(path);
}

QString noAltitudeText(const QString &path)
{
    return QStringLiteral("Le modèle de terrain « %1 » ne contient aucune altitude : toutes ses "
                          "cellules sont vides.")
        .arg(path);
}

QString emptyFolderText(const QString &path)
{
    return QStringLiteral("Le dossier « %1 » ne contient aucun modèle de terrain lisible.")
        .arg(path);
}

QString notCoveringText(const QString &path)
{
    return QStringLiteral("Le modèle de terrain « %1 » ne couvre pas cette carte : choisissez un "
                          "modèle de la région de la carte.")
        .arg(path);
}

QString readFailedText(const QString &path)
{
    return QStringLiteral("Le fichier « %1 » du modèle de terrain ne peut plus être lu : il a "
                          "peut-être été déplacé ou abîmé.")
        .arg(path);
}

QString noConversionText(const QString &path)
{
    return QStringLiteral("Le modèle de terrain « %1 » est dans un système de coordonnées vers "
                          "lequel Quor ne sait pas convertir les positions de la carte.")
        .arg(path);
}

} // namespace Terrain

namespace {

// Files of a folder that GDAL would only open through the raster beside
// them, or not at all: passed over without asking it.
const QStringList kCompanionSuffixes = {
    QStringLiteral(".aux.xml"), QStringLiteral(".ovr"), QStringLiteral(".msk"),
    QStringLiteral(".prj"),     QStringLiteral(".hdr"), QStringLiteral(".tfw"),
    QStringLiteral(".jgw"),     QStringLiteral(".wld"), QStringLiteral(".txt")};

QString messageOf(TerrainApi::Status status, const QString &path)
{
    switch (status) {
    case TerrainApi::Missing:
        return Terrain::missingText(path);
    case TerrainApi::NotElevation:
        return Terrain::notElevationText(path);
    case TerrainApi::NotGeoreferenced:
        return Terrain::notGeoreferencedText(path);
    case TerrainApi::BlocksTooLarge:
        return Terrain::blocksTooLargeText(path);
    case TerrainApi::UnknownUnit:
        return Terrain::unknownUnitText(path);
    case TerrainApi::ReadFailed:
        return Terrain::readFailedText(path);
    default:
        return Terrain::unreadableText(path);
    }
}

// The fractional cell of a system position: the inverse of the affine
// geotransform, whose determinant the module has found non-zero.
void invert(const double t[6], double inverse[6])
{
    const double det = t[1] * t[5] - t[2] * t[4];
    inverse[1] = t[5] / det;
    inverse[2] = -t[2] / det;
    inverse[4] = -t[4] / det;
    inverse[5] = t[1] / det;
    inverse[0] = -(inverse[1] * t[0] + inverse[2] * t[3]);
    inverse[3] = -(inverse[4] * t[0] + inverse[5] * t[3]);
}

} // namespace

struct TerrainModel::Data
{
    QString path;
    bool folder = false;
    std::vector<Tile> tiles;
    // What each tile's cells hold, once looked at.
    std::vector<std::optional<bool>> hasData;

    ~Data()
    {
        for (const Tile &tile : tiles)
            Terrain::module().close(tile.raster);
    }
};

TerrainModel TerrainModel::open(const QString &path)
{
    const TerrainApi::Functions &api = Terrain::module();
    auto data = std::make_shared<Data>();
    data->path = path;
    const QFileInfo info(path);
    data->folder = info.isDir();

    // Only regular files reach GDAL: opening a FIFO, or a link to one, would
    // wait for a writer forever, and a device would never end. A path GDAL
    // would read through one of its own syntaxes (/vsicurl/...) is no file
    // here either.
    QStringList files;
    if (data->folder) {
        const QDir folder(path);
        for (const QString &name : folder.entryList(QDir::Files, QDir::Name)) {
            const bool companion = std::any_of(
                kCompanionSuffixes.begin(), kCompanionSuffixes.end(),
                [&](const QString &s) { return name.endsWith(s, Qt::CaseInsensitive); });
            if (!companion && FileLayer::fileExists(folder.filePath(name)))
                files << folder.filePath(name);
        }
    } else if (FileLayer::fileExists(path)) {
        files << path;
    } else {
        throw QuorError(info.exists() ? Terrain::unreadableText(path) : Terrain::missingText(path));
    }

    std::optional<QString> refusal;
    for (const QString &file : files) {
        Tile tile;
        TerrainApi::Header header;
        const TerrainApi::Status status =
            api.open(file.toUtf8().constData(), &tile.raster, &header);
        if (status != TerrainApi::Done) {
            if (!data->folder)
                throw QuorError(messageOf(status, path));
            // Not a raster at all is what most files of a folder are, and
            // a photo or a scan beside the tiles is no more a model than a
            // note is: only an elevation raster that cannot be used says why.
            if (!refusal && status != TerrainApi::Unreadable && status != TerrainApi::Missing &&
                status != TerrainApi::NotElevation)
                refusal = messageOf(status, file);
            continue;
        }
        tile.path = file;
        tile.width = header.width;
        tile.height = header.height;
        std::copy(std::begin(header.transform), std::end(header.transform), tile.toSystem);
        invert(tile.toSystem, tile.toCells);
        tile.cellWidth = header.cellWidth;
        tile.cellHeight = header.cellHeight;
        tile.system = header.system;
        data->tiles.push_back(tile);
    }
    if (data->tiles.empty())
        throw QuorError(refusal ? *refusal : Terrain::emptyFolderText(path));
    std::stable_sort(data->tiles.begin(), data->tiles.end(), [](const Tile &a, const Tile &b) {
        return a.cellWidth * a.cellHeight < b.cellWidth * b.cellHeight;
    });
    data->hasData.resize(data->tiles.size());

    TerrainModel model;
    model.m_data = std::move(data);
    if (!model.isFolder() && !model.mayHaveData(0))
        throw QuorError(Terrain::noAltitudeText(path));
    return model;
}

QString TerrainModel::path() const
{
    return m_data ? m_data->path : QString();
}

bool TerrainModel::isFolder() const
{
    return m_data && m_data->folder;
}

const std::vector<TerrainModel::Tile> &TerrainModel::tiles() const
{
    static const std::vector<Tile> none;
    return m_data ? m_data->tiles : none;
}

bool TerrainModel::mayHaveData(std::size_t index, long long budget) const
{
    std::optional<bool> &known = m_data->hasData.at(index);
    if (!known) {
        const Tile &tile = m_data->tiles[index];
        TerrainApi::Content content = TerrainApi::Unknown;
        if (Terrain::module().hasData(tile.raster, budget, &content) != TerrainApi::Done)
            throw QuorError(Terrain::readFailedText(tile.path));
        known = content != TerrainApi::Empty;
    }
    return *known;
}
