#pragma once

#include "progress.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// GPX, the file format of today's GPS receivers and phone apps: WGS84
// latitude and longitude in degrees. Written as GPX 1.1; read as 1.1 or 1.0.

struct GpxPoint
{
    double latitude = 0;  // degrees, -90 to 90
    double longitude = 0; // degrees, -180 to 180
    QString name;
    std::optional<double> elevation; // metres
    QDateTime time;                  // invalid when the point has none
    QString description;
};

// A route, or a track with its segments put end to end.
struct GpxPath
{
    QString name;
    QList<GpxPoint> points;
};

struct GpxDocument
{
    QString name;        // of the file, in its metadata
    QString description; // of the file: what made its coordinates
    QList<GpxPoint> waypoints;
    QList<GpxPath> routes;
    QList<GpxPath> tracks;
    // Elevations left out because they were not numbers.
    int unreadableElevations = 0;
};

namespace Gpx {

inline constexpr char kNamespace10[] = "http://www.topografix.com/GPX/1/0";
inline constexpr char kNamespace11[] = "http://www.topografix.com/GPX/1/1";
inline constexpr char kCreator[] = "Quor";

// Refusals before memory runs out: a file bigger than this is not read at
// all, one with more points is refused as soon as the point after the last is
// met.
constexpr qint64 kMaxFileBytes = 256LL * 1024 * 1024;
constexpr qsizetype kMaxPoints = 1'000'000;
// A name or description is cut to this many characters, and no longer text of
// the file is ever held whole while reading.
constexpr qsizetype kMaxTextLength = 1000;

// Throws a French message for bytes that are not XML, not GPX, cut off, with
// a latitude or longitude that is not a number in range, or with too many
// points. An elevation that is not a finite number is left out and counted.
GpxDocument parse(const QByteArray &bytes);
// Reads through the file layer in pieces, the file never whole in memory; the
// refusals of parse, plus the input/output errors and the size limit, which is
// checked before anything is read. `progress` hears of the bytes read so far
// and the file's size every few megabytes; when it answers false, Cancelled
// is thrown.
GpxDocument read(const QString &path, const Progress &progress = {});

// UTF-8 GPX 1.1 with creator "Quor". Times keep their offset from UTC;
// elevations are decimals without exponent, in as few digits as read back.
QByteArray toXml(const GpxDocument &document);
// Atomic; throws "Impossible de créer le fichier %s" and leaves the target as
// it was.
void write(const QString &path, const GpxDocument &document);

} // namespace Gpx
