// Printing the area of a route across a 12000 x 9000 scan to a PDF file on
// A4 pages, and showing its print preview, with the peak memory of each
// alone and, for the preview, what it keeps until it closes.
// Run: bench_areaprint [--benchmark_repetitions=N]

#include "maps/areaprint.h"
#include "maps/jpegdecoder.h"
#include "platform/fakeplatform.h"

#include "benchmap.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTemporaryDir>

#include <cstdio>

namespace {

using namespace BenchMap;

constexpr double kBytesPerMegabyte = 1024.0 * 1024.0;

QString g_mapPath;
QString g_pdfPath;

const QList<QPoint> kWaypoints = {{1000, 1000}, {4000, 3500}, {7000, 3000}, {11000, 8000}};

// The displayed picture: the scan with a route drawn across it.
QImage displayedPicture()
{
    QImage picture = decodeJpegFile(g_mapPath);
    QPainter painter(&picture);
    painter.setPen(QPen(Qt::red, 6));
    painter.drawPolyline(kWaypoints.constData(), int(kWaypoints.size()));
    return picture;
}

AreaMap benchMap(const QImage &picture)
{
    AreaMap map;
    map.picture = picture.size();
    map.xdens = map.ydens = kDotsPerInch;
    map.title = QStringLiteral("Traversée");
    map.datum = QStringLiteral("ED50");
    ComputeTransform(map.transform, {0, 0, 500000, 5000000}, {12000, 9000, 525400, 4980950},
                     {0, 9000, 500000, 4980950});
    return map;
}

void BM_PrintRouteArea(benchmark::State &state)
{
    const QImage picture = displayedPicture();
    const AreaMap map = benchMap(picture);
    const QList<QPoint> &waypoints = kWaypoints;

    const double before = statusMegabytes("VmRSS:");
    double peak = 0;
    int pages = 0;
    for (auto _ : state) {
        QFile::remove(g_pdfPath);
        resetPeak();
        FakePlatform platform;
        platform.previewAnswers = {true};
        platform.preparePrinter = [](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(g_pdfPath);
        };
        QPrinter printer(QPrinter::HighResolution);
        const QRect area = routeArea(map, waypoints, AreaPrintOptions().marginKm);
        printRouteArea(platform, nullptr, printer, picture, map, waypoints);
        peak = std::max(peak, statusMegabytes("VmHWM:"));
        pages = int(areaGrid(map, area, QSize(printer.width(), printer.height()),
                             printer.logicalDpiX(), AreaPrintOptions().overlapCm)
                        .pages.size());
    }
    state.counters["pages"] = pages;
    state.counters["image_MB"] = double(picture.sizeInBytes()) / kBytesPerMegabyte;
    state.counters["rss_before_MB"] = before;
    state.counters["peak_rss_MB"] = peak;
    state.counters["peak_over_image_MB"] = peak - before;
    state.counters["pdf_MB"] = QFile(g_pdfPath).size() / kBytesPerMegabyte;
}

// Qt's preview draws every page at once and keeps them until it closes.
void BM_PreviewRouteArea(benchmark::State &state)
{
    const QImage picture = displayedPicture();
    const AreaMap map = benchMap(picture);
    const QRect area = routeArea(map, kWaypoints, AreaPrintOptions().marginKm);
    const double before = statusMegabytes("VmRSS:");
    double peak = 0;
    double kept = 0;
    int pages = 0;
    for (auto _ : state) {
        resetPeak();
        QPrinter printer(QPrinter::HighResolution);
        QPrintPreviewWidget preview(&printer);
        QObject::connect(&preview, &QPrintPreviewWidget::paintRequested, [&](QPrinter *target) {
            paintRouteArea(*target, picture, map, area, AreaPrintOptions().overlapCm);
        });
        preview.updatePreview();
        pages = preview.pageCount();
        kept = statusMegabytes("VmRSS:") - before;
        peak = std::max(peak, statusMegabytes("VmHWM:"));
    }
    state.counters["pages"] = pages;
    state.counters["peak_over_image_MB"] = peak - before;
    state.counters["kept_while_open_MB"] = kept;
}

} // namespace

BENCHMARK(BM_PrintRouteArea)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_PreviewRouteArea)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    g_mapPath = dir.filePath(QStringLiteral("carte.jpg"));
    g_pdfPath = dir.filePath(QStringLiteral("zone.pdf"));
    chooseSize();
    writeMapInChild(g_mapPath);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    std::printf("map: %d x %d at %d dpi, route across it, A4 portrait, PDF\n", kWidth, kHeight,
                kDotsPerInch);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
