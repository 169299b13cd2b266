#pragma once

// Shared by the fuzz targets: a broken promise of the code under test ends the
// run, so libFuzzer keeps the input that shows it.

#include "data/quorerror.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #condition, __FILE__,          \
                         __LINE__);                                                                \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

namespace Fuzz {

inline QByteArray bytesOf(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
}

// Runs `body`; a QuorError is the program's ordinary way to refuse an input
// and is answered with its text. Anything else thrown escapes and ends the
// run as a finding.
inline bool refuses(const std::function<void()> &body, QString *text = nullptr)
{
    try {
        body();
    } catch (const QuorError &error) {
        FUZZ_CHECK(!error.text().isEmpty());
        if (text)
            *text = error.text();
        return true;
    }
    return false;
}

// Qt's warnings would flood the fuzzer's output; anything worse is a finding.
inline void quietQtWarnings()
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type == QtCriticalMsg || type == QtFatalMsg) {
            std::fprintf(stderr, "Qt: %s\n", qPrintable(message));
            std::abort();
        }
    });
}

} // namespace Fuzz
