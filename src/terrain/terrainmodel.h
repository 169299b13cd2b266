#pragma once

#include <QString>

#include <memory>
#include <vector>

// Elevation models: rasters of altitudes made by other programs (GeoTIFF,
// SRTM .hgt, ASCII grids, virtual rasters...), read through GDAL in the
// terrain module (terrain/terrainapi.h), which the first command that opens
// a model loads. Nothing here includes GDAL.
namespace TerrainApi {
struct Functions;
struct Raster;
} // namespace TerrainApi

namespace Terrain {

// Loads the terrain module unless it is loaded already; throws the French
// message of a module missing, broken or of another version.
const TerrainApi::Functions &module();

// The messages of a model that cannot be used; %1 is the path as given.
//   "Le modèle de terrain « %1 » est introuvable."
//   "Le fichier « %1 » n'est pas un modèle de terrain que Quor sait lire."
//   "Le fichier « %1 » est une image, pas un modèle de terrain : il faut une seule bande
//    d'altitudes, en nombres entiers de 16 ou 32 bits ou en nombres décimaux."
//   "Le fichier « %1 » n'indique pas son système de coordonnées : Quor ne peut pas placer ses
//    altitudes sur la carte."
//   "Le fichier « %1 » est rangé en blocs trop grands pour être lu morceau par morceau :
//    enregistrez-le en GeoTIFF tuilé."
//   "Le fichier « %1 » donne ses valeurs dans une unité que Quor ne connaît pas : il faut des
//    altitudes en mètres, décimètres, centimètres, millimètres, kilomètres ou pieds."
//   "Le modèle de terrain « %1 » ne contient aucune altitude : toutes ses cellules sont vides."
//   "Le dossier « %1 » ne contient aucun modèle de terrain lisible."
//   "Le modèle de terrain « %1 » ne couvre pas cette carte : choisissez un modèle de la région de
//    la carte."
//   "Le fichier « %1 » du modèle de terrain ne peut plus être lu : il a peut-être été déplacé ou
//    abîmé."
//   "Le modèle de terrain « %1 » est dans un système de coordonnées vers lequel Quor ne sait pas
//    convertir les positions de la carte."
//   "Le module de terrain de Quor n'est pas de la même version que le programme : réinstallez
//    Quor."
QString missingText(const QString &path);
QString unreadableText(const QString &path);
QString notElevationText(const QString &path);
QString notGeoreferencedText(const QString &path);
QString blocksTooLargeText(const QString &path);
QString unknownUnitText(const QString &path);
QString noAltitudeText(const QString &path);
QString emptyFolderText(const QString &path);
QString notCoveringText(const QString &path);
QString readFailedText(const QString &path);
QString noConversionText(const QString &path);

// Cells read at most to tell whether a file has any altitude at all: a
// quarter of a second of reading. Beyond it, a model whose cells read so far
// are all empty is taken as it is.
constexpr long long kDataCheckCells = 16LL * 1024 * 1024;

} // namespace Terrain

// An elevation model: one file, or every raster of a folder (not of its
// sub-folders) as tiles, each in its own coordinate system. Opening reads
// the files' headers only, so a folder of a thousand tiles opens in a moment
// and a raster of 100 000 x 100 000 cells costs nothing until cells are read,
// block by block, by the positions asked for (terrain/mapterrain.h).
//
// Cheap to copy: copies share the tiles, which stay open in the module until
// the last copy goes. A model and its copies are used from one thread at a
// time.
class TerrainModel
{
public:
    // One file of the model, as its header describes it.
    struct Tile
    {
        QString path;
        int width = 0;  // cells
        int height = 0; // cells
        // The position, in the tile's system, of the corner (column, row)
        // of its cells (GDAL's geotransform), and the inverse: the fractional
        // column and row of a position of the system.
        double toSystem[6] = {0, 1, 0, 0, 0, 1};
        double toCells[6] = {0, 1, 0, 0, 0, 1};
        // A cell's sides on the ground, in metres.
        double cellWidth = 0;
        double cellHeight = 0;
        // Tiles in one coordinate system share this number.
        int system = 0;
        TerrainApi::Raster *raster = nullptr; // the module's, until the model goes
    };

    // A model without tiles: it has no altitude anywhere.
    TerrainModel() = default;

    // Opens `path`, a file or a folder. Throws, with the texts of
    // Terrain::missingText and its neighbours:
    // - for a file: missing, unreadable (which includes a model naming files
    //   outside its folder, URLs, FIFOs or raw bytes of a file), a picture,
    //   without coordinate system, too large blocks, values in an unknown
    //   unit, or every cell empty (within kDataCheckCells cells read);
    // - for a folder: no usable raster in it. Files that are no raster
    //   (notes, world files, .prj) are passed over; when rasters are there
    //   but none is usable, the reason of the first one is given. Empty
    //   tiles are found out when the model is checked against a map.
    static TerrainModel open(const QString &path);

    QString path() const;
    bool isFolder() const;
    // Finest first: by the area of their cells on the ground, then by name.
    const std::vector<Tile> &tiles() const;

    // Whether tile `index` has some altitude, reading up to `budget` cells;
    // the answer is kept. Throws readFailedText for a file that cannot be
    // read any more.
    bool mayHaveData(std::size_t index, long long budget = Terrain::kDataCheckCells) const;

private:
    struct Data;
    std::shared_ptr<Data> m_data;
};
