#pragma once

// The map window on a calibrated map of a project, driven through its route
// and waypoint panels as the user drives it.

#include "common/testutil.h"
#include "data/appstate.h"
#include "data/filelayer.h"
#include "data/linelist.h"
#include "mapfixtures.h"
#include "maps/calibration.h"
#include "maps/calibrationpanel.h"
#include "maps/mapsession.h"
#include "maps/mapview.h"
#include "maps/routespanel.h"
#include "maps/tquorpla.h"
#include "maps/verificationpanel.h"
#include "maps/waypointspanel.h"
#include "platform/fakeplatform.h"
#include "widgets/stringlistview.h"

#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace RouteWindow {

inline const QString kProject = QStringLiteral("Projet");
inline const QString kMapName = QStringLiteral("massif.jpg");
constexpr int kMapWidth = 1200;
constexpr int kMapHeight = 900;
inline const QColor kPaper(160, 160, 160);
inline const QColor kRed(255, 0, 0);
inline const QColor kWhite(255, 255, 255);

// c = (500000, 2, 0), d = (5000000, 0, -2): one pixel is two metres, north up.
inline const QStringList kCalibration = {
    QStringLiteral("31"),      QStringLiteral("U"),       QStringLiteral("ED50"),
    QStringLiteral("0"),       QStringLiteral("500000"),  QStringLiteral("0"),
    QStringLiteral("5000000"), QStringLiteral("1000"),    QStringLiteral("502000"),
    QStringLiteral("800"),     QStringLiteral("4998400"), QStringLiteral("0"),
    QStringLiteral("500000"),  QStringLiteral("800"),     QStringLiteral("4998400")};

inline QByteArray crlf(const QStringList &lines)
{
    QByteArray out;
    for (const QString &line : lines)
        out += TestUtil::cp1252(line) + "\r\n";
    return out;
}

inline QString easting(int x)
{
    return QString::number(500000 + 2 * x);
}

inline QString northing(int y)
{
    return QString::number(5000000 - 2 * y);
}

// A record as the panel writes it for a click at pixel (x, y).
inline QStringList record(const QString &label, int x, int y, const QString &altitude = QString(),
                          const QString &dx = QStringLiteral("0"),
                          const QString &dy = QStringLiteral("0"))
{
    return {label,
            easting(x),
            northing(y),
            altitude,
            kMapName,
            QStringLiteral("31"),
            QStringLiteral("U"),
            QStringLiteral("ED50"),
            dx,
            dy};
}

inline QStringList records(const QString &code, int count)
{
    QStringList lines;
    for (int i = 0; i < count; ++i) {
        lines +=
            record(code + QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0')), 100 + 50 * i, 300);
    }
    return lines;
}

inline void sendMouse(QWidget *target, QEvent::Type type, QPoint pos,
                      Qt::MouseButton button = Qt::NoButton)
{
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::MouseButtons();
    QMouseEvent event(type, QPointF(pos), QPointF(target->mapToGlobal(pos)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

class Fixture
{
public:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<AppState> state;
    std::unique_ptr<FakePlatform> platform;
    std::unique_ptr<TQuorpla> w;
    QString map;
    QString catalogueTitle = QStringLiteral("Forêt");

    void setUp()
    {
        dir = std::make_unique<QTemporaryDir>();
        state = std::make_unique<AppState>();
        state->programDirectory = dir->path() + QLatin1Char('/');
        state->projectName = kProject;
        QDir(dir->path()).mkdir(kProject);
        platform = std::make_unique<FakePlatform>();
        map = writeMap(kMapName, paperParams());
        TestUtil::writeBytes(calibrationFileName(map), crlf(kCalibration));
    }

    void tearDown()
    {
        w.reset();
        FileLayer::setFaultHook({});
        QApplication::setActiveWindow(nullptr);
    }

    static MapFixtures::JpegParams paperParams()
    {
        MapFixtures::JpegParams params;
        params.width = kMapWidth;
        params.height = kMapHeight;
        return params;
    }

    QString writeMap(const QString &name, const MapFixtures::JpegParams &params)
    {
        QString path = dir->filePath(name);
        TestUtil::writeBytes(path, MapFixtures::makeJpeg(params, [](int, int) { return kPaper; }));
        return path;
    }

    QString projectFile(const QString &name) const { return state->project_file(name); }
    QString routesPath() const { return projectFile(QStringLiteral("Quorr.qud")); }
    QString waypointPath(const QString &code) const
    {
        return projectFile(QStringLiteral("Quorr.") + code);
    }
    void writeRoutes(const QStringList &lines) { TestUtil::writeBytes(routesPath(), crlf(lines)); }
    void writeWaypoints(const QString &code, const QStringList &lines)
    {
        TestUtil::writeBytes(waypointPath(code), crlf(lines));
    }
    QStringList fileLines(const QString &path) const
    {
        QStringList lines;
        LineList::read(path, lines);
        return lines;
    }

    // The map shown and its calibration confirmed: the routes panel.
    void openMap()
    {
        w = std::make_unique<TQuorpla>(*state, *platform);
        w->setCatalogueTitleSource([this] { return catalogueTitle; });
        w->showMap(map);
        QApplication::setActiveWindow(w.get());
        w->VerifCalibra->C_Bonne->click();
        settle();
    }

    void settle() { QApplication::processEvents(); }

    // A click of the user on a row of a list box.
    void clickItem(StringListView *list, int row)
    {
        settle();
        QVERIFY(row >= 0 && row < list->list().count());
        list->scrollTo(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          list->rowRect(row).center());
    }

    int rowOf(StringListView *list, const QString &text)
    {
        return int(list->list().items().indexOf(text));
    }

    // Picks a route in the routes panel and opens its waypoints.
    void openRoute(const QString &name)
    {
        const int row = rowOf(w->Routes->ChRoutes, name);
        QVERIFY2(row >= 0, qPrintable(name));
        clickItem(w->Routes->ChRoutes, row);
        w->Routes->RWaypoints->click();
        settle();
    }

    void clickWaypoint(const QString &label)
    {
        const int row = rowOf(w->Waypoints->WPoints, label);
        QVERIFY2(row >= 0, qPrintable(label));
        clickItem(w->Waypoints->WPoints, row);
    }

    QPoint viewportPos(int x, int y) const { return QPoint(x, y) - w->ScrollBox1->pictureOffset(); }

    void movePointer(int x, int y)
    {
        sendMouse(w->ScrollBox1->viewport(), QEvent::MouseMove, viewportPos(x, y));
    }

    void clickMap(int x, int y)
    {
        QWidget *vp = w->ScrollBox1->viewport();
        const QPoint pos = viewportPos(x, y);
        sendMouse(vp, QEvent::MouseMove, pos);
        sendMouse(vp, QEvent::MouseButtonPress, pos, Qt::LeftButton);
        sendMouse(vp, QEvent::MouseButtonRelease, pos, Qt::LeftButton);
    }

    QStringList items(StringListView *list) const { return list->list().items(); }

    QString selected(StringListView *list) const { return list->list().currentText(); }

    QString shownPanel() const
    {
        QStringList shown;
        for (QFrame *panel : std::initializer_list<QFrame *>{w->Calibra, w->VerifCalibra, w->Routes,
                                                             w->Waypoints}) {
            if (panel->isVisibleTo(w.get()))
                shown << panel->objectName();
        }
        return shown.join(QLatin1Char(','));
    }

    MapSession &session() const { return w->session(); }
    QColor pixel(int x, int y) const
    {
        return session().picture().compose(QRect(x, y, 1, 1)).pixelColor(0, 0);
    }
};

} // namespace RouteWindow
