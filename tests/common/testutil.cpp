#include "testutil.h"

#include "data/cp1252.h"
#include "data/quorerror.h"

#include <QFile>
#include <QTest>

namespace TestUtil {

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(bytes);
}

QByteArray cp1252(const QString &text)
{
    return toCp1252(text);
}

QString messageOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const QuorError &e) {
        return e.text();
    }
    return QString();
}

} // namespace TestUtil
