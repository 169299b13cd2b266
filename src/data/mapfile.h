#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

// A map file opened for reading only and read in pieces. Maps are the one
// kind of file the program reads but never writes, and the largest: a scan
// of a hundred megapixels is tens of megabytes of JPEG, which is streamed
// into the decoder rather than read whole, and whose header is found in the
// first few bytes.
class MapFile
{
public:
    explicit MapFile(QString path);
    ~MapFile();
    MapFile(const MapFile &) = delete;
    MapFile &operator=(const MapFile &) = delete;

    // 0, or the runtime's input/output code.
    int open();
    // Up to `size` bytes; 0 at the end of the file, -1 on a read error with
    // the input/output code in `code`.
    qsizetype read(char *buffer, qsizetype size, int &code);

    const QString &path() const { return m_path; }

    // Test seam: called with the path and the open flags before each open; a
    // non-zero errno makes the open fail with it.
    using OpenHook = std::function<int(const QString &path, int flags)>;
    static void setOpenHook(OpenHook hook);

private:
    QString m_path;
    int m_fd = -1;
};
