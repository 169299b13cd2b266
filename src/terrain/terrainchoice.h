#pragma once

#include <QString>

// The elevation model chosen for a project, kept in the project's folder in
// a file of its own, "Quorterrain.txt": one line ended by CR LF holding the
// path of the model (a file or a folder of tiles), relative to the project's
// folder when the model lies inside it ("Terrain.tif", "MNT/tuiles"),
// absolute otherwise, with '/' between folders. The line is in Windows-1252
// like every text file of a project when the code page holds every
// character of the path, and in UTF-8 after a byte order mark otherwise, so
// that no path is ever stored with a '?' in place of a letter. No file: no
// model chosen.
namespace TerrainChoice {

inline const QString kFileName = QStringLiteral("Quorterrain.txt");
// The file's whole size beyond which it is not read: no path is that long.
constexpr qint64 kMaxBytes = 64LL * 1024;

// The absolute path of the model chosen for the project whose folder is
// `projectDirectory` (with or without its trailing '/'); empty when none is.
// Only the choice is read: whether the model is there is for
// TerrainModel::open to say. Throws the input/output error of a file that
// is there but cannot be read (a FIFO or a device is "Accès au fichier
// refusé"), and tooLongText for one of more than kMaxBytes.
QString read(const QString &projectDirectory);

// "Le fichier « %1 » est trop long pour désigner un modèle de terrain : il
// dépasse 64 Ko."
QString tooLongText(const QString &path);

// Chooses `modelPath` for the project, replacing the file atomically; an
// empty path removes the choice. Throws "Impossible de créer le fichier %s"
// when the file cannot be written (a read-only one stays as it is), and
// "Le chemin « %1 » contient un caractère de contrôle : renommez le dossier ou
// le fichier du modèle de terrain." for a path that would not stay on one
// line.
void write(const QString &projectDirectory, const QString &modelPath);

} // namespace TerrainChoice
