#include "importgate.h"

#include "cp1252.h"

#include <cmath>

namespace ImportGate {

namespace {

const QString kNotInCodePage = QStringLiteral("le texte contient des caractères que les "
                                              "fichiers du projet ne peuvent pas garder");
const QString kEmpty = QStringLiteral("le texte est vide");
const QString kComma =
    QStringLiteral("le texte contient une virgule, séparateur des champs du format Waypoint+");

bool isControl(QChar c)
{
    return c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
           c == QChar::ParagraphSeparator;
}

} // namespace

QString oneLine(const QString &text)
{
    QString out;
    out.reserve(text.size());
    bool inControl = false;
    for (const QChar c : text) {
        if (isControl(c)) {
            if (!inControl)
                out += QLatin1Char(' ');
            inControl = true;
        } else {
            out += c;
            inControl = false;
        }
    }
    return out.trimmed();
}

Text routeName(const QString &text)
{
    Text t{oneLine(text), {}};
    if (t.value.isEmpty())
        t.reason = kEmpty;
    else if (fromCp1252(toCp1252(t.value)) != t.value)
        t.reason = kNotInCodePage;
    return t;
}

Text label(const QString &text)
{
    Text t = routeName(text);
    if (!t.usable())
        return t;
    if (t.value.contains(QLatin1Char(',')))
        t.reason = kComma;
    // Windows-1252 holds no surrogate pair, so a cut never splits a character.
    t.value = t.value.left(kLabelWidth).trimmed();
    return t;
}

std::optional<qint32> altitude(double metres)
{
    if (!std::isfinite(metres))
        return std::nullopt;
    const double whole = std::nearbyint(metres);
    if (whole < kLowestAltitude || whole > kHighestAltitude)
        return std::nullopt;
    return qint32(whole);
}

} // namespace ImportGate
