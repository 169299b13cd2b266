#include "terrainchoice.h"

#include "data/cp1252.h"
#include "data/filelayer.h"
#include "data/quorerror.h"

#include <QDir>
#include <QFileInfo>

namespace TerrainChoice {

namespace {

const QByteArray kUtf8Mark = QByteArrayLiteral("\xEF\xBB\xBF");
const QByteArray kLineEnd = QByteArrayLiteral("\r\n");
const QString kParent = QStringLiteral("..");

QString fileOf(const QString &projectDirectory)
{
    return QDir(projectDirectory).filePath(kFileName);
}

} // namespace

QString tooLongText(const QString &path)
{
    return QStringLiteral("Le fichier « %1 » est trop long pour désigner un modèle de terrain : "
                          "il dépasse 64 Ko.")
        .arg(path);
}

QString read(const QString &projectDirectory)
{
    QByteArray bytes;
    const int code = FileLayer::tryReadAtMost(fileOf(projectDirectory), bytes, kMaxBytes);
    if (code == IoCode::FileNotFound)
        return QString();
    if (code != 0)
        throwIoError(code);
    // Taking an oversized file for "no model" would silently drop the
    // altitudes of every new waypoint.
    if (bytes.size() > kMaxBytes)
        throw QuorError(tooLongText(fileOf(projectDirectory)));
    QString text = bytes.startsWith(kUtf8Mark) ? QString::fromUtf8(bytes.mid(kUtf8Mark.size()))
                                               : fromCp1252(bytes);
    // The first line only, whatever ends it.
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\r') || text[i] == QLatin1Char('\n')) {
            text.truncate(i);
            break;
        }
    }
    if (text.isEmpty())
        return QString();
    return QDir::cleanPath(QDir(projectDirectory).absoluteFilePath(text));
}

void write(const QString &projectDirectory, const QString &modelPath)
{
    const QString target = fileOf(projectDirectory);
    if (modelPath.isEmpty()) {
        const int code = FileLayer::removeFile(target);
        if (code != 0 && code != IoCode::FileNotFound)
            throwIoError(code);
        return;
    }
    for (const QChar c : modelPath) {
        if (c.unicode() < ' ')
            throw QuorError(QStringLiteral("Le chemin « %1 » contient un caractère de contrôle : "
                                           "renommez le dossier ou le fichier du modèle de "
                                           "terrain.")
                                .arg(modelPath));
    }
    const QString absolute = QFileInfo(modelPath).absoluteFilePath();
    QString stored = QDir(projectDirectory).relativeFilePath(absolute);
    if (stored == kParent || stored.startsWith(kParent + QLatin1Char('/')) ||
        QDir::isAbsolutePath(stored))
        stored = absolute;
    const QByteArray cp1252 = toCp1252(stored);
    const QByteArray content =
        fromCp1252(cp1252) == stored ? cp1252 + kLineEnd : kUtf8Mark + stored.toUtf8() + kLineEnd;
    // A read-only file stays as it is: the atomic rename would replace it.
    if (FileLayer::fileExists(target) && FileLayer::probeReadWrite(target) != 0)
        throwCannotCreate(target);
    try {
        FileLayer::writeAtomic(target, content);
    } catch (const QuorError &) {
        throwCannotCreate(target);
    }
}

} // namespace TerrainChoice
