// A virtual raster as someone may send it, in a model's folder beside a
// small tile: opened and read through the terrain module, or refused, and
// nothing outside the folder is ever opened. Beside the folder lie a secret,
// a raster, and a FIFO that would hold whoever opened it; a link in the
// folder points at the raster. The system reports every file opened there.

#include "scratchfile.h"
#include "terrainfuzz.h"

#include <QDir>

#include <cerrno>
#include <cstring>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// ED50 / UTM 31N as ASCII grids' .prj files give it.
constexpr char kPrj[] =
    "PROJCS[\"ED_1950_UTM_Zone_31N\",GEOGCS[\"GCS_European_1950\",DATUM[\"D_European_1950\","
    "SPHEROID[\"International_1924\",6378388.0,297.0]],PRIMEM[\"Greenwich\",0.0],"
    "UNIT[\"Degree\",0.0174532925199433]],PROJECTION[\"Transverse_Mercator\"],"
    "PARAMETER[\"False_Easting\",500000.0],PARAMETER[\"False_Northing\",0.0],"
    "PARAMETER[\"Central_Meridian\",3.0],PARAMETER[\"Scale_Factor\",0.9996],"
    "PARAMETER[\"Latitude_Of_Origin\",0.0],UNIT[\"Meter\",1.0]]";
constexpr char kGrid[] = "ncols 4\nnrows 4\nxllcorner 500000\nyllcorner 4761900\ncellsize 25\n"
                         "NODATA_value -9999\n1200 1201 1202 1203\n1210 1211 1212 1213\n"
                         "1220 1221 -9999 1223\n1230 1231 1232 1233\n";
const char *const kOutside[] = {"secret.txt", "dehors.asc", "dehors.prj", "tube"};

int g_watch = -1;

QString outside(const QString &name)
{
    return QFileInfo(Fuzz::scratchPath(name)).absoluteFilePath();
}

// Whether the system saw one of the files beside the folder opened.
bool outsideOpened()
{
    alignas(inotify_event) char buffer[4096];
    bool opened = false;
    for (ssize_t got; (got = ::read(g_watch, buffer, sizeof buffer)) > 0;) {
        for (char *p = buffer; p < buffer + got;) {
            const auto *event = reinterpret_cast<const inotify_event *>(p);
            for (const char *name : kOutside)
                opened = opened || (event->len && std::strcmp(event->name, name) == 0);
            p += sizeof(inotify_event) + event->len;
        }
    }
    return opened;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    Fuzz::quietQtWarnings();
    Fuzz::loadTerrainModule(argc, argv);
    FUZZ_CHECK(QDir().mkpath(Fuzz::scratchPath("MNT")));
    Fuzz::writeScratch(Fuzz::scratchPath("MNT/tuile.asc"), kGrid);
    Fuzz::writeScratch(Fuzz::scratchPath("MNT/tuile.prj"), kPrj);
    Fuzz::writeScratch(Fuzz::scratchPath("MNT/autre.vrt"),
                       "<VRTDataset rasterXSize='4' rasterYSize='4'><VRTRasterBand "
                       "dataType='Float32' band='1'><SimpleSource><SourceFilename "
                       "relativeToVRT='1'>tuile.asc</SourceFilename></SimpleSource>"
                       "</VRTRasterBand></VRTDataset>");
    Fuzz::writeScratch(Fuzz::scratchPath("secret.txt"), "mot de passe: 0123456789abcdef\n");
    Fuzz::writeScratch(Fuzz::scratchPath("dehors.asc"), kGrid);
    Fuzz::writeScratch(Fuzz::scratchPath("dehors.prj"), kPrj);
    FUZZ_CHECK(::mkfifo(QFile::encodeName(outside("tube")).constData(), 0600) == 0);
    FUZZ_CHECK(QFile::link(outside("dehors.asc"), Fuzz::scratchPath("MNT/lien.asc")));
    g_watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    FUZZ_CHECK(g_watch >= 0 &&
               ::inotify_add_watch(g_watch, QFile::encodeName(outside("")).constData(),
                                   IN_OPEN | IN_ACCESS) >= 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = Fuzz::scratchPath("MNT/modele.vrt");
    Fuzz::writeScratch(path, Fuzz::bytesOf(data, size));
    Fuzz::openAndRead(path);
    FUZZ_CHECK(!outsideOpened());
    return 0;
}
