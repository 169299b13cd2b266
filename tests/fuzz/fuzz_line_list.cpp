// Line-list text files (calibration, routes, waypoints): any bytes split into
// lines, and the lines written back read as the same lines.

#include "data/cp1252.h"
#include "data/linelist.h"
#include "fuzzcheck.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::quietQtWarnings();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = Fuzz::bytesOf(data, size);

    // One character per byte, and every byte comes back.
    const QString text = fromCp1252(bytes);
    FUZZ_CHECK(text.size() == bytes.size());
    FUZZ_CHECK(toCp1252(text) == bytes);

    const QStringList lines = LineList::splitLines(bytes);
    qsizetype characters = 0;
    for (const QString &line : lines) {
        FUZZ_CHECK(!line.contains(QLatin1Char('\r')) && !line.contains(QLatin1Char('\n')));
        characters += line.size();
    }
    FUZZ_CHECK(characters <= bytes.size());
    FUZZ_CHECK(lines.size() <= bytes.size());

    const QByteArray written = LineList::joinLines(lines);
    FUZZ_CHECK(LineList::splitLines(written) == lines);
    FUZZ_CHECK(LineList::joinLines(LineList::splitLines(written)) == written);
    // CR LF files, the program's own, come back byte for byte.
    if (bytes.endsWith("\r\n") && !bytes.contains("\r\r") &&
        bytes.count('\r') == bytes.count("\r\n") && bytes.count('\n') == bytes.count("\r\n"))
        FUZZ_CHECK(written == bytes);
    return 0;
}
