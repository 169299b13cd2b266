#pragma once

// The real GPX client of the tests: gpsbabel, a Debian package that the
// set-up script installs. Where it is missing the checks that need it skip.

#include <QList>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTest>

namespace GpxClient {

inline const char *const kMissing =
    "gpsbabel is not installed (Debian package gpsbabel): no real GPX client to check with";

inline QString program()
{
    return QStandardPaths::findExecutable(QStringLiteral("gpsbabel"));
}

// Runs gpsbabel with `arguments`; its standard output, or a null array when it
// failed.
inline QByteArray run(const QStringList &arguments)
{
    QProcess p;
    p.start(program(), arguments);
    if (!p.waitForFinished(60'000) || p.exitCode() != 0)
        return QByteArray();
    return p.readAllStandardOutput();
}

// One record per line of gpsbabel's unicsv output, the header giving the
// field names; fields may be quoted with "" for a quote.
inline QList<QMap<QString, QString>> readUnicsv(const QByteArray &csv)
{
    auto split = [](const QString &line) {
        QStringList fields;
        QString field;
        bool quoted = false;
        for (qsizetype i = 0; i < line.size(); ++i) {
            const QChar c = line.at(i);
            if (quoted && c == QLatin1Char('"') && i + 1 < line.size() &&
                line.at(i + 1) == QLatin1Char('"')) {
                field += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = !quoted;
            } else if (c == QLatin1Char(',') && !quoted) {
                fields << field;
                field.clear();
            } else {
                field += c;
            }
        }
        fields << field;
        return fields;
    };
    QList<QMap<QString, QString>> records;
    const QStringList lines = QString::fromUtf8(csv).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.isEmpty())
        return records;
    const QStringList header = split(lines.first().trimmed());
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList fields = split(lines.at(i).trimmed());
        QMap<QString, QString> record;
        for (qsizetype f = 0; f < header.size() && f < fields.size(); ++f)
            record.insert(header.at(f), fields.at(f));
        records << record;
    }
    return records;
}

} // namespace GpxClient

#define QUOR_NEED_GPX_CLIENT()                                                                     \
    do {                                                                                           \
        if (GpxClient::program().isEmpty())                                                        \
            QSKIP(GpxClient::kMissing);                                                            \
    } while (false)
