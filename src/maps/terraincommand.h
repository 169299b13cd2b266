#pragma once

#include "gps/coordinates.h"

#include <optional>

struct AppState;
class Platform;
class QWidget;

// "Modèle de terrain…", from the main window's "Projet" menu and from the
// map window's routes panel: the project's elevation model, one file or a
// folder of tiles, or none.
namespace TerrainCommand {

inline const QString kTitle = QStringLiteral("Modèle de terrain");
inline const QString kCaption = QStringLiteral("Modèle de &terrain…");
inline const QString kFilter = QStringLiteral(
    "Modèles de terrain|*.tif;*.tiff;*.hgt;*.asc;*.vrt;*.dem;*.img;*.bil;*.flt;*.grd;*.xyz");
inline const QString kNoProject =
    QStringLiteral("Ouvrez d'abord un projet : le modèle de terrain est celui d'un projet.");
QString chosenText(const QString &path, int files);
inline const QString kNoneText = QStringLiteral("Le projet n'a plus de modèle de terrain.");
// What a command that needs the ground says when the project has no model.
inline const QString kNoTerrain = QStringLiteral(
    "Le projet n'a pas de modèle de terrain : choisissez-en un avec « Modèle de terrain… ».");

// A calibrated map that the model must cover: its grid, its area and two
// opposite corners.
struct MapCover
{
    Coordinates::Grid grid;
    Coordinates::Area area;
    Coordinates::GridPoint corner1;
    Coordinates::GridPoint corner2;
};

// Asks what to use, checks that it is a model that Quor can read (and that
// it covers `map` when given), then keeps it as the project's choice and
// says so. Throws the French message of a model that cannot be used, and
// then keeps the choice there was. Answers whether the choice changed.
bool run(Platform &platform, QWidget *parent, const AppState &state,
         const std::optional<MapCover> &map);

} // namespace TerrainCommand
