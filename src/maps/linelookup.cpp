#include "linelookup.h"

LineLookup::LineLookup(const QStringList &lines)
{
    m_first.reserve(lines.size());
    // From the end, so that the first of equal lines is the one kept.
    for (qsizetype i = lines.size() - 1; i >= 0; --i)
        m_first.insert(lines.at(i).toCaseFolded(), i);
}

qsizetype LineLookup::find(const QString &key) const
{
    return m_first.value(key.toCaseFolded(), -1);
}
