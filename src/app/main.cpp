#include "platform/qtplatform.h"
#include "quorapp.h"
#include "tquor.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quor"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quor"));
    QApplication::setApplicationVersion(QStringLiteral(QUOR_VERSION));
    // The main window ends the program, whatever tool windows are still open.
    QApplication::setQuitOnLastWindowClosed(false);

    const QString programDirectory = QApplication::applicationDirPath() + QLatin1Char('/');
    QtPlatform platform(programDirectory);
    QuorApp quor(platform, programDirectory);
    QObject::connect(quor.main.get(), &TQuor::closed, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    quor.main->showMaximized();
    return app.exec();
}
