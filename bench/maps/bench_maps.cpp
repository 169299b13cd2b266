// Map opening speed. Run: bench_maps [--benchmark_repetitions=N]
//   [--benchmark_enable_random_interleaving=true]
// The djpeg program of libjpeg-turbo (package libjpeg-turbo-progs) must be on
// the path; its decode of the same file, written to /dev/null, is the yardstick.
// The run ends with the decoder's time over libjpeg-turbo's, in process (its
// plain decode loop on the same bytes) and as whole processes (decode_map
// against djpeg), medians of every pass.

#include "data/appstate.h"
#include "data/filelayer.h"
#include "maps/calibration.h"
#include "maps/mapimagecache.h"
#include "maps/mapprint.h"
#include "maps/mapsession.h"
#include "maps/mapview.h"
#include "maps/tquorpla.h"
#include "maps/verificationpanel.h"
#include "platform/fakeplatform.h"

#include "benchmap.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <jpeglib.h>

extern char **environ;

namespace {

using namespace BenchMap;

constexpr double kBytesPerMegabyte = 1024.0 * 1024.0;

QString g_mapPath;

// The mean time of a pass of each decoder in each repetition, in
// milliseconds; the ratios compare their medians, as the table's medians do.
// A mean rather than a single pass keeps each run's first decode, the one
// that finds its memory cold, as when a map is opened.
std::map<std::string, std::vector<double>> g_runs;
constexpr char kOursInProcess[] = "decodeJpegData";
constexpr char kTheirsInProcess[] = "libjpeg-turbo loop";
constexpr char kOursProcess[] = "decode_map";
constexpr char kTheirsProcess[] = "djpeg";
constexpr char kProcessorTime[] = " (thread's processor time)";

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The processor time of this thread, which leaves out the time it waited for
// a core on a busy machine.
double threadMilliseconds()
{
    constexpr double kMsPerSecond = 1e3;
    constexpr double kMsPerNs = 1e-6;
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * kMsPerSecond + double(now.tv_nsec) * kMsPerNs;
}

void recordRun(const std::string &name, const benchmark::State &state, double totalMs)
{
    if (state.iterations() > 0)
        g_runs[name].push_back(totalMs / double(state.iterations()));
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    const auto middle = values.begin() + values.size() / 2;
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

void printRatio(const char *what, const std::string &ours, const std::string &theirs)
{
    const auto a = g_runs.find(ours), b = g_runs.find(theirs);
    if (a == g_runs.end() || b == g_runs.end())
        return;
    const double oursMs = median(a->second), theirsMs = median(b->second);
    std::printf("%s: %s / %s = %.3f (medians %.1f ms / %.1f ms of %zu / %zu runs)\n", what,
                ours.c_str(), theirs.c_str(), oursMs / theirsMs, oursMs, theirsMs, a->second.size(),
                b->second.size());
}

QByteArray readMap()
{
    QFile file(g_mapPath);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

// Runs a program to its end, as a yardstick of whole processes; an empty
// answer when it went well. The program is looked up on the path unless it is
// given with its folder.
QString runToEnd(const std::vector<QByteArray> &arguments)
{
    std::vector<char *> argv;
    for (const QByteArray &argument : arguments)
        argv.push_back(const_cast<char *>(argument.constData()));
    argv.push_back(nullptr);
    const QString program = QString::fromLocal8Bit(arguments.front());
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return QStringLiteral("%1 not found").arg(program);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return QStringLiteral("%1 failed").arg(program);
    return QString();
}

double peakResidentMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0; // kilobytes on Linux
}

double residentMegabytes()
{
    long pages = 0, resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * double(sysconf(_SC_PAGESIZE)) / kBytesPerMegabyte;
}

// Large pages backing this process's memory.
double largePageMegabytes()
{
    QFile smaps(QStringLiteral("/proc/self/smaps_rollup"));
    if (!smaps.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : smaps.readAll().split('\n')) {
        if (line.startsWith("AnonHugePages:"))
            return line.mid(14).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

void BM_FirstOpening(benchmark::State &state)
{
    const double before = residentMegabytes();
    double largePages = 0;
    for (auto _ : state) {
        MapImageCache cache;
        QImage image = cache.load(g_mapPath);
        benchmark::DoNotOptimize(image.constBits());
        largePages = largePageMegabytes();
    }
    state.counters["large_pages_MB"] = largePages;
    state.counters["image_MB"] = double(qsizetype(kWidth) * kHeight * 3) / kBytesPerMegabyte;
    state.counters["rss_before_MB"] = before;
    state.counters["peak_rss_MB"] = peakResidentMegabytes();
}

// Each run of `decode` timed by the wall clock and by this thread's processor
// time, both recorded under `name`.
template <typename Decode>
void timeDecodes(benchmark::State &state, const char *name, Decode decode)
{
    double total = 0;
    double processor = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const double startProcessor = threadMilliseconds();
        decode();
        total += millisecondsSince(start);
        processor += threadMilliseconds() - startProcessor;
    }
    recordRun(name, state, total);
    recordRun(std::string(name) + kProcessorTime, state, processor);
}

// The decoder alone, on the file already in memory.
void BM_DecodeOnly(benchmark::State &state)
{
    const QByteArray bytes = readMap();
    timeDecodes(state, kOursInProcess, [&bytes] {
        QImage image = decodeJpegData(bytes);
        benchmark::DoNotOptimize(image.constBits());
    });
}

// libjpeg-turbo's own decode loop as djpeg runs it for a PPM file, on the same
// bytes in memory: default settings, one row at a time into a one-row buffer.
void BM_DjpegLoop(benchmark::State &state)
{
    const QByteArray bytes = readMap();
    timeDecodes(state, kTheirsInProcess, [&bytes] {
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr errors;
        cinfo.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char *>(bytes.constData()),
                     static_cast<unsigned long>(bytes.size()));
        jpeg_read_header(&cinfo, TRUE);
        jpeg_start_decompress(&cinfo);
        JSAMPARRAY row =
            (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                       cinfo.output_width * cinfo.output_components, 1);
        while (cinfo.output_scanline < cinfo.output_height) {
            jpeg_read_scanlines(&cinfo, row, 1);
            benchmark::DoNotOptimize(row[0]);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
    });
}

// Reading the file whole, as the program's file layer does.
void BM_ReadFile(benchmark::State &state)
{
    for (auto _ : state) {
        QByteArray bytes = FileLayer::readAll(g_mapPath);
        benchmark::DoNotOptimize(bytes.constData());
    }
}

void BM_Djpeg(benchmark::State &state)
{
    const QByteArray path = QFile::encodeName(g_mapPath);
    double total = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const QString failure = runToEnd({"djpeg", "-outfile", "/dev/null", path});
        if (!failure.isEmpty()) {
            state.SkipWithError(qPrintable(failure + " (package libjpeg-turbo-progs)"));
            return;
        }
        total += millisecondsSince(start);
    }
    recordRun(kTheirsProcess, state, total);
}

// The program's decoder in a process of its own, reading the file as the
// map window does.
void BM_DecodeProcess(benchmark::State &state)
{
    const QByteArray program =
        QFile::encodeName(QCoreApplication::applicationDirPath() + QStringLiteral("/decode_map"));
    const QByteArray path = QFile::encodeName(g_mapPath);
    double total = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const QString failure = runToEnd({program, path});
        if (!failure.isEmpty()) {
            state.SkipWithError(qPrintable(failure));
            return;
        }
        total += millisecondsSince(start);
    }
    recordRun(kOursProcess, state, total);
}

// The whole window: first opening of a calibrated map, then coming back to
// it from the main window while the file is unchanged.
double highWaterMegabytes();
void resetHighWater();

struct WindowFixture
{
    AppState state;
    FakePlatform platform;
    QMainWindow main;
    std::unique_ptr<TQuorpla> map;

    WindowFixture()
    {
        QFile cal(calibrationFileName(g_mapPath));
        cal.open(QIODevice::WriteOnly);
        cal.write(calibration());
        cal.close();
        main.show();
        map = std::make_unique<TQuorpla>(state, platform);
    }
};

void BM_FirstOpeningInTheWindow(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        WindowFixture f;
        state.ResumeTiming();
        f.map->showMap(g_mapPath);
        QApplication::setActiveWindow(f.map.get());
        waitForFullPicture(f.map->session());
        state.PauseTiming();
        if (!f.platform.errors.isEmpty())
            state.SkipWithError(qPrintable(f.platform.errors.first()));
        f.map.reset();
        state.ResumeTiming();
    }
    state.counters["peak_rss_MB"] = peakResidentMegabytes();
}

constexpr char kFirstView[] = "first view";
constexpr char kFullPicture[] = "full picture";
constexpr char kDjpegNull[] = "djpeg -outfile /dev/null";
constexpr char kDjpegFile[] = "djpeg into a tmpfs file";
constexpr char kPeakWithLabels[] = "peak over the picture with labels (MB)";

// The rows the map window shows at its opening.
int g_viewRows = 0;

// The map window against djpeg, one after the other in every iteration:
// the window's first view (the rows it shows decoded and painted), its full picture
// handed over, and djpeg's decode to /dev/null and into a file of the same
// size on tmpfs. The peak memory is taken from the opening to the labels
// painted after "Correcte".
void BM_OpenAgainstDjpeg(benchmark::State &state)
{
    const QByteArray path = QFile::encodeName(g_mapPath);
    const QByteArray ppm = QByteArrayLiteral("/dev/shm/quor-bench-map.ppm");
    for (auto _ : state) {
        const Clock::time_point djpegStart = Clock::now();
        QString failure = runToEnd({"djpeg", "-outfile", "/dev/null", path});
        g_runs[kDjpegNull].push_back(millisecondsSince(djpegStart));
        const Clock::time_point fileStart = Clock::now();
        failure += runToEnd({"djpeg", "-outfile", ppm, path});
        g_runs[kDjpegFile].push_back(millisecondsSince(fileStart));
        std::remove(ppm.constData());
        if (!failure.isEmpty()) {
            state.SkipWithError(qPrintable(failure + " (package libjpeg-turbo-progs)"));
            return;
        }

        WindowFixture f;
        QApplication::processEvents();
        resetHighWater();
        const double before = residentMegabytes();
        const Clock::time_point start = Clock::now();
        f.map->showMap(g_mapPath);
        QApplication::setActiveWindow(f.map.get());
        const MapView *view = f.map->ScrollBox1;
        g_viewRows = view->verticalScrollBar()->value() + view->viewport()->height();
        waitForRows(f.map->session(), g_viewRows);
        f.map->ScrollBox1->viewport()->repaint();
        g_runs[kFirstView].push_back(millisecondsSince(start));
        waitForFullPicture(f.map->session());
        g_runs[kFullPicture].push_back(millisecondsSince(start));
        f.map->VerifCalibra->C_Bonne->click();
        f.map->ScrollBox1->viewport()->repaint();
        const double picture =
            double(f.map->session().picture().scan().sizeInBytes()) / kBytesPerMegabyte;
        g_runs[kPeakWithLabels].push_back(highWaterMegabytes() - before - picture);
        if (!f.platform.errors.isEmpty())
            state.SkipWithError(qPrintable(f.platform.errors.first()));
    }
    state.counters["rows_in_first_view"] = g_viewRows;
}

void BM_Reactivation(benchmark::State &state)
{
    WindowFixture f;
    f.map->showMap(g_mapPath);
    QApplication::setActiveWindow(f.map.get());
    waitForFullPicture(f.map->session());
    f.map->VerifCalibra->C_Bonne->click();
    for (auto _ : state) {
        QApplication::setActiveWindow(&f.main);
        QApplication::setActiveWindow(f.map.get());
    }
    if (!f.platform.errors.isEmpty())
        state.SkipWithError(qPrintable(f.platform.errors.first()));
    state.counters["decodes"] = f.map->session().imageCache().decodeCount();
    state.counters["peak_rss_MB"] = peakResidentMegabytes();
}

// The peak resident memory since the last reset of the mark, in megabytes.
double highWaterMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

void resetHighWater()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// "Imprimer" on the map with its kilometre labels, into a PDF: the scan is in
// memory, the labels drawn over it a band at a time; printing may add at most
// 60 MB to it.
void BM_PrintMap(benchmark::State &state)
{
    WindowFixture f;
    f.map->showMap(g_mapPath);
    QApplication::setActiveWindow(f.map.get());
    waitForFullPicture(f.map->session());
    f.map->VerifCalibra->C_Bonne->click();
    const MapSession &session = f.map->session();
    QTemporaryDir out;
    double added = 0;
    double before = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(out.filePath(QStringLiteral("carte.pdf")));
        f.platform.printAnswers.append(true);
        resetHighWater();
        before = residentMegabytes();
        state.ResumeTiming();
        printMap(f.platform, f.map.get(), printer, session.picture(), session.xdens(),
                 session.ydens());
        state.PauseTiming();
        added = std::max(added, highWaterMegabytes() - before);
        state.ResumeTiming();
    }
    if (!f.platform.errors.isEmpty())
        state.SkipWithError(qPrintable(f.platform.errors.first()));
    state.counters["picture_MB"] =
        double(session.picture().scan().sizeInBytes()) / kBytesPerMegabyte;
    state.counters["rss_before_MB"] = before;
    state.counters["added_by_printing_MB"] = added;
}

} // namespace

BENCHMARK(BM_PrintMap)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_FirstOpening)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_DecodeOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_ReadFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_DjpegLoop)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_Djpeg)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_DecodeProcess)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_FirstOpeningInTheWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_OpenAgainstDjpeg)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(7);
BENCHMARK(BM_Reactivation)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    g_mapPath = dir.filePath(QStringLiteral("carte.jpg"));
    chooseSize();
    writeMapInChild(g_mapPath);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    std::printf("map: %d x %d at %d dpi, %.1f MB of JPEG\n", kWidth, kHeight, kDotsPerInch,
                QFile(g_mapPath).size() / kBytesPerMegabyte);
    benchmark::RunSpecifiedBenchmarks();
    printRatio("in process", kOursInProcess, kTheirsInProcess);
    // On a machine busy with other work, whatever the decoder asks of a second
    // core may come out of its own share; its thread's time tells the two apart.
    printRatio("in process", std::string(kOursInProcess) + kProcessorTime,
               std::string(kTheirsInProcess) + kProcessorTime);
    printRatio("whole processes", kOursProcess, kTheirsProcess);
    // The map window's targets: a first view within a quarter of djpeg's
    // decode, the full picture within 1.1 times djpeg writing it to tmpfs.
    printRatio("first view (target 0.25)", kFirstView, kDjpegNull);
    printRatio("full picture (target 1.1)", kFullPicture, kDjpegFile);
    if (const auto peak = g_runs.find(kPeakWithLabels); peak != g_runs.end())
        std::printf("%s: median %.1f MB over the picture (target 60)\n", kPeakWithLabels,
                    median(peak->second));
    benchmark::Shutdown();
    return 0;
}
