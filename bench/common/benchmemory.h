#pragma once

#include <QByteArray>
#include <QFile>

// What the benchmarks read of their own memory on Linux.
namespace BenchMemory {

// A line of /proc/self/status in megabytes: "VmRSS:" now, "VmHWM:" the
// resident peak since the last reset.
inline double statusMegabytes(const char *key)
{
    constexpr double kKilobytesPerMegabyte = 1024.0;
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray name(key);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(name))
            return line.mid(name.size()).trimmed().split(' ').first().toDouble() /
                   kKilobytesPerMegabyte;
    }
    return 0;
}

// Linux starts the peak again from the present size when asked.
inline void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

} // namespace BenchMemory
