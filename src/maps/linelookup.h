#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// The first line of a list equal to a key without regard to case, found in
// constant time: the routes and waypoint panels look up every listed name or
// label at each save, which a line-by-line search makes quadratic.
class LineLookup
{
public:
    explicit LineLookup(const QStringList &lines);

    // Index of the first equal line, or -1.
    qsizetype find(const QString &key) const;
    bool contains(const QString &key) const { return find(key) >= 0; }

private:
    QHash<QString, qsizetype> m_first;
};
