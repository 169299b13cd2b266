// An elevation model's file as someone may send it: opened and read through
// the terrain module, or refused with a French message, never a crash, a
// hang, or an altitude no land has. The first byte picks the name's
// extension, which some of GDAL's formats go by.

#include "scratchfile.h"
#include "terrainfuzz.h"

namespace {

const char *const kExtensions[] = {".tif", ".vrt", ".asc", ".dem", ".bt", ".grd", ".img", ".ers"};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    Fuzz::quietQtWarnings();
    Fuzz::loadTerrainModule(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QString path =
        Fuzz::scratchPath(QStringLiteral("modele") + kExtensions[data[0] % std::size(kExtensions)]);
    Fuzz::writeScratch(path, Fuzz::bytesOf(data + 1, size - 1));
    Fuzz::openAndRead(path);
    QFile::remove(path);
    return 0;
}
