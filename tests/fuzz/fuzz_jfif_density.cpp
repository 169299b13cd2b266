// The JFIF density scan of a map: any bytes in memory, and the same bytes as
// a map file read in pieces, give the same densities or the same refusal.

#include "fuzzcheck.h"
#include "maps/jfifdensity.h"
#include "scratchfile.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::quietQtWarnings();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = Fuzz::bytesOf(data, size);
    JfifDensity inMemory;
    QString memoryRefusal;
    const bool memoryRefused =
        Fuzz::refuses([&] { inMemory = scanJfifDensity(bytes); }, &memoryRefusal);
    if (memoryRefused)
        FUZZ_CHECK(memoryRefusal == QStringLiteral("Lecture au-delà de la fin de fichier"));
    else
        FUZZ_CHECK(bytes.contains("JFIF"));

    const QString path = Fuzz::scratchPath(QStringLiteral("carte.jpg"));
    Fuzz::writeScratch(path, bytes);
    JfifDensity fromFile;
    QString fileRefusal;
    const bool fileRefused = Fuzz::refuses([&] { fromFile = readJfifDensity(path); }, &fileRefusal);
    FUZZ_CHECK(fileRefused == memoryRefused);
    FUZZ_CHECK(fileRefusal == memoryRefusal);
    FUZZ_CHECK(fromFile.unitsCode == inMemory.unitsCode);
    FUZZ_CHECK(fromFile.xdens == inMemory.xdens);
    FUZZ_CHECK(fromFile.ydens == inMemory.ydens);
    return 0;
}
