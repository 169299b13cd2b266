#include "terraincommand.h"

#include "data/appstate.h"
#include "platform/platform.h"
#include "terrain/mapterrain.h"
#include "terrain/terrainchoice.h"
#include "terrain/terrainmodel.h"

#include <QDir>
#include <QFileInfo>

namespace {

enum Choice { OneFile = 0, Folder = 1, None = 2 };

} // namespace

QString TerrainCommand::chosenText(const QString &path, int files)
{
    return files == 1 ? QStringLiteral("Modèle de terrain du projet : %1.")
                            .arg(QDir::toNativeSeparators(path))
                      : QStringLiteral("Modèle de terrain du projet : %1 (%2 fichiers).")
                            .arg(QDir::toNativeSeparators(path))
                            .arg(files);
}

bool TerrainCommand::run(Platform &platform, QWidget *parent, const AppState &state,
                         const std::optional<MapCover> &map)
{
    if (state.projectName.isEmpty()) {
        platform.inform(parent, kNoProject);
        return false;
    }
    const QString project = state.projectDirectory();
    const QString current = TerrainChoice::read(project);
    QStringList items{QStringLiteral("Un fichier…"), QStringLiteral("Un dossier de tuiles…")};
    if (!current.isEmpty())
        items << QStringLiteral("Aucun modèle");
    const QString label =
        current.isEmpty()
            ? QStringLiteral("Le projet n'a pas encore de modèle de terrain. Choisir :")
            : QStringLiteral("Modèle actuel : %1\nChoisir :").arg(QDir::toNativeSeparators(current));
    const std::optional<int> choice = platform.chooseItem(parent, kTitle, label, items);
    if (!choice || *choice < 0)
        return false;
    if (*choice == None) {
        TerrainChoice::write(project, QString());
        platform.inform(parent, kNoneText);
        return true;
    }
    const QString start = current.isEmpty() ? project : QFileInfo(current).absolutePath();
    const std::optional<QString> path =
        *choice == OneFile ? platform.openFile(parent, start, kFilter)
                           : platform.browseFolder(parent, kTitle, start);
    if (!path || path->isEmpty())
        return false;
    // Nothing is kept before the model is known to be usable here.
    const TerrainModel model = TerrainModel::open(*path);
    if (map) {
        const MapTerrain terrain(model, map->grid, map->area);
        terrain.checkCovers(map->corner1, map->corner2);
    }
    TerrainChoice::write(project, *path);
    platform.inform(parent, chosenText(*path, int(model.tiles().size())));
    return true;
}
