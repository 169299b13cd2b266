// Build-time generator of what the program ships beside its executable: the
// example project with its drawn map, and the desktop icons.
//
//   quorgen example <folder>   writes <folder>/Exemple and <folder>/Quori.qud
//   quorgen icons <folder>     writes <folder>/hicolor/<N>x<N>/apps/quor.png

#include "app/appicon.h"
#include "app/exampleproject.h"
#include "app/programdirectory.h"
#include "data/filelayer.h"

#include <QBuffer>
#include <QGuiApplication>

#include <cstdio>
#include <exception>

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
            makePath(folder);
            ExampleProject::write(folder);
            ExampleProject::remember(folder);
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
