#include "routelist.h"

#include "data/quorerror.h"
#include "data/routefiles.h"
#include "linelookup.h"

namespace RouteList {

QString noFreeCodeMessage()
{
    return QStringLiteral("Les 676 codes de route, de AA à ZZ, sont tous utilisés : "
                          "aucune route ne peut être ajoutée.");
}

std::optional<QString> freeRouteCode(const QStringList &routeLines)
{
    const LineLookup lookup(routeLines);
    for (char16_t first = kFirstCodeLetter; first <= kLastCodeLetter; ++first) {
        for (char16_t second = kFirstCodeLetter; second <= kLastCodeLetter; ++second) {
            const QString code = QString(QChar(first)) + QChar(second);
            if (!lookup.contains(code))
                return code;
        }
    }
    return std::nullopt;
}

bool acceptsNewName(const QString &name, const QStringList &listedNames)
{
    if (name.size() <= kShortestRefusedLength)
        return false;
    return !listedNames.contains(name, Qt::CaseInsensitive);
}

QStringList rebuildRouteLines(const QStringList &listedNames, const QStringList &routeLines)
{
    const LineLookup lookup(routeLines);
    QStringList rebuilt;
    rebuilt.reserve(listedNames.size() * RouteFiles::kLinesPerRoute);
    for (const QString &name : listedNames) {
        const qsizetype k = lookup.find(name);
        // A name stored on the file's last line has no code after it: it is
        // given one like a new route rather than failing the save.
        if (k >= 0 && k + 1 < routeLines.size()) {
            rebuilt << routeLines.at(k) << routeLines.at(k + 1);
            continue;
        }
        const std::optional<QString> code = freeRouteCode(routeLines);
        if (!code)
            throw QuorError(noFreeCodeMessage());
        rebuilt << name << *code;
    }
    return rebuilt;
}

} // namespace RouteList
