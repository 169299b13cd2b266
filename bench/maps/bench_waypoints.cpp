// Adding a waypoint by a click on a 12000 x 9000 scan whose route already has
// 200 waypoints: from the click to the view repainted. Run:
// bench_waypoints [--benchmark_repetitions=N]

#include "data/appstate.h"
#include "data/linelist.h"
#include "maps/calibration.h"
#include "maps/mapsession.h"
#include "maps/mapview.h"
#include "maps/routespanel.h"
#include "maps/tquorpla.h"
#include "maps/verificationpanel.h"
#include "maps/waypointspanel.h"
#include "platform/fakeplatform.h"

#include "benchmap.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <memory>

using namespace BenchMap;

namespace {

constexpr int kWaypoints = 200;
constexpr double kNanosecondsPerMillisecond = 1e6;
const QString kProject = QStringLiteral("Projet");
const QString kRoute = QStringLiteral("Tour du massif");
// The click, in picture pixels, inside the part of the map the view shows.
constexpr int kClickX = 300;
constexpr int kClickY = 250;

QString g_dir;

// 200 waypoints on a spiral over the whole map, so that the route's lines
// cross it in every direction.
QStringList routeLines()
{
    QStringList lines;
    for (int i = 0; i < kWaypoints; ++i) {
        const double turn = i * 0.25;
        const double radius = 0.45 * (i + 1) / kWaypoints;
        const int x = int(kWidth * (0.5 + radius * std::cos(turn)));
        const int y = int(kHeight * (0.5 + radius * std::sin(turn)));
        lines << QStringLiteral("AA%1").arg(i, 3, 10, QLatin1Char('0'))
              << QString::number(500000 + std::lround(x * kEastingPerPixel))
              << QString::number(5000000 - std::lround(y * kNorthingPerPixel))
              << QString::number(1000 + i) << QStringLiteral("carte.jpg") << QStringLiteral("31")
              << QStringLiteral("U") << QStringLiteral("ED50") << QStringLiteral("0")
              << QStringLiteral("0");
    }
    return lines;
}

void sendMouse(QWidget *target, QEvent::Type type, QPoint pos)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonPress ? Qt::MouseButtons(Qt::LeftButton) : Qt::MouseButtons();
    QMouseEvent event(type, QPointF(pos), QPointF(target->mapToGlobal(pos)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

struct WaypointFixture
{
    AppState state;
    FakePlatform platform;
    std::unique_ptr<TQuorpla> map;

    WaypointFixture()
    {
        state.programDirectory = g_dir + QLatin1Char('/');
        state.projectName = kProject;
        LineList::write(state.project_file(QStringLiteral("Quorr.qud")),
                        {kRoute, QStringLiteral("AA")});
        LineList::write(state.project_file(QStringLiteral("Quorr.AA")), routeLines());
        map = std::make_unique<TQuorpla>(state, platform);
        map->showMap(g_dir + QStringLiteral("/carte.jpg"));
        QApplication::setActiveWindow(map.get());
        waitForFullPicture(map->session());
        map->VerifCalibra->C_Bonne->click();
        map->session().routes().select(0);
        map->Routes->RWaypoints->click();
        // Each click then appends after the last waypoint.
        map->session().waypoints().select(map->session().waypoints().count() - 1);
        QApplication::processEvents();
    }
};

void BM_AddWaypointByClick(benchmark::State &state)
{
    WaypointFixture f;
    QWidget *viewport = f.map->ScrollBox1->viewport();
    const QPoint pos = QPoint(kClickX, kClickY) - f.map->ScrollBox1->pictureOffset();
    qint64 painted = 0;
    double clickMs = 0;
    double paintMs = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        f.map->ScrollBox1->resetPaintedArea();
        sendMouse(viewport, QEvent::MouseMove, pos);
        sendMouse(viewport, QEvent::MouseButtonPress, pos);
        sendMouse(viewport, QEvent::MouseButtonRelease, pos);
        const qint64 clicked = timer.nsecsElapsed();
        QApplication::processEvents();
        const qint64 shown = timer.nsecsElapsed();
        state.PauseTiming();
        clickMs += clicked / kNanosecondsPerMillisecond;
        paintMs += (shown - clicked) / kNanosecondsPerMillisecond;
        painted = f.map->ScrollBox1->paintedArea();
        if (f.map->session().waypoints().count() != kWaypoints + 1 || painted == 0)
            state.SkipWithError("the click added no waypoint or painted nothing");
        // Back to 200: the new waypoint is the selected last one.
        f.map->Waypoints->Wsupprimer->click();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    if (!f.platform.errors.isEmpty())
        state.SkipWithError(qPrintable(f.platform.errors.first()));
    state.counters["waypoints"] = kWaypoints;
    state.counters["painted_px"] = double(painted);
    // The handler (list, file, drawing) and the repaint of the view.
    state.counters["click_ms"] = clickMs / state.iterations();
    state.counters["paint_ms"] = paintMs / state.iterations();
}

// "Redessiner": the labels and the route drawn again over the scan, and the
// view repainted.
void BM_Redraw(benchmark::State &state)
{
    WaypointFixture f;
    for (auto _ : state) {
        f.map->Waypoints->WDessiner->click();
        QApplication::processEvents();
    }
    if (!f.platform.errors.isEmpty())
        state.SkipWithError(qPrintable(f.platform.errors.first()));
}

} // namespace

BENCHMARK(BM_AddWaypointByClick)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_Redraw)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    g_dir = dir.path();
    QDir(g_dir).mkdir(kProject);
    const QString mapPath = dir.filePath(QStringLiteral("carte.jpg"));
    chooseSize();
    writeMapInChild(mapPath);
    {
        QFile cal(calibrationFileName(mapPath));
        cal.open(QIODevice::WriteOnly);
        cal.write(calibration());
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    std::printf("map: %d x %d at %d dpi, route of %d waypoints\n", kWidth, kHeight, kDotsPerInch,
                kWaypoints);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
