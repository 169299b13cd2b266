// The settings file "Quori.qud" as a user may have edited it: any bytes are
// read without failing, and writing the two entries keeps every other line.

#include "data/cp1252.h"
#include "data/settings.h"
#include "fuzzcheck.h"

#include <QHash>

#include <fuzzer/FuzzedDataProvider.h>

namespace {

const QString kSection = QStringLiteral("Projet");
const QString kName = QStringLiteral("Nom");
const QString kItinerary = QStringLiteral("Itinéraire");

QStringList linesOf(const QByteArray &bytes)
{
    QString text = QString::fromLatin1(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// Whether every line of `before` is still in `after`, except at most
// `replaced` lines that were rewritten, with at most `added` lines more.
bool keptLines(const QStringList &before, const QStringList &after, int replaced, int added)
{
    if (after.size() > before.size() + added)
        return false;
    QHash<QString, int> left;
    for (const QString &line : after)
        ++left[line];
    int missing = 0;
    for (const QString &line : before) {
        int &n = left[line];
        if (n > 0)
            --n;
        else
            ++missing;
    }
    return missing <= replaced;
}

// A project name as a folder can carry it: one line, no blanks around it and
// no quotes around it, which the private-profile reader would take away.
bool isPlainName(const QString &name)
{
    if (name.contains(QLatin1Char('\r')) || name.contains(QLatin1Char('\n')) ||
        name.contains(QChar(0)))
        return false;
    if (name != name.trimmed())
        return false;
    if (name.size() >= 2 && name.front() == name.back() &&
        (name.front() == QLatin1Char('"') || name.front() == QLatin1Char('\'')))
        return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::quietQtWarnings();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::string nameBytes = input.ConsumeRandomLengthString(64);
    const std::string fileBytes = input.ConsumeRemainingBytesAsString();
    const QByteArray bytes(fileBytes.data(), qsizetype(fileBytes.size()));

    const IniFile ini = IniFile::fromBytes(bytes);
    const QString name = ini.value(kSection, kName);
    const int itinerary = ini.intValue(kSection, kItinerary, 0);
    // Reading what was read and written again gives the same values.
    const IniFile again = IniFile::fromBytes(ini.toBytes());
    FUZZ_CHECK(again.value(kSection, kName) == name);
    FUZZ_CHECK(again.intValue(kSection, kItinerary, 0) == itinerary);
    FUZZ_CHECK(again.toBytes() == ini.toBytes());

    const QString newName = fromCp1252(nameBytes.data(), qsizetype(nameBytes.size()));
    IniFile written = ini;
    written.setValue(kSection, kName, newName);
    written.setValue(kSection, kItinerary, QStringLiteral("0"));
    const IniFile reread = IniFile::fromBytes(written.toBytes());
    if (isPlainName(newName))
        FUZZ_CHECK(reread.value(kSection, kName) == newName);
    if (!newName.contains(QLatin1Char('\r')) && !newName.contains(QLatin1Char('\n'))) {
        FUZZ_CHECK(reread.intValue(kSection, kItinerary, -1) == 0);
        // Every other line of the file is still there.
        FUZZ_CHECK(keptLines(linesOf(ini.toBytes()), linesOf(written.toBytes()), 2, 3));
    }
    return 0;
}
