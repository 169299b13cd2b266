// GPX files from receivers, phone apps and other programs: any bytes are read
// or refused with a French message, and what is read, written again, reads
// back as the same points.

#include "data/gpxfile.h"
#include "fuzzcheck.h"

#include <cmath>

namespace {

// Times are written to the second, with their offset from UTC: the same
// instant comes back, less its milliseconds (before 1970 too, where they
// count back from the epoch).
bool sameTime(const QDateTime &read, const QDateTime &back)
{
    if (read.isValid() != back.isValid())
        return false;
    return !read.isValid() || read.addMSecs(-read.time().msec()) == back;
}

// `a` as read, `b` as read back after writing.
bool samePoints(const QList<GpxPoint> &a, const QList<GpxPoint> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        // Nine decimals of a degree are written: a few nanodegrees may go.
        // Elevations are written in the digits that read back exactly.
        if (std::abs(a[i].latitude - b[i].latitude) > 1e-8 ||
            std::abs(a[i].longitude - b[i].longitude) > 1e-8 || a[i].name != b[i].name ||
            a[i].description != b[i].description || a[i].elevation != b[i].elevation ||
            !sameTime(a[i].time, b[i].time))
            return false;
    }
    return true;
}

bool samePaths(const QList<GpxPath> &a, const QList<GpxPath> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].name != b[i].name || !samePoints(a[i].points, b[i].points))
            return false;
    }
    return true;
}

bool inRange(const QList<GpxPoint> &points)
{
    for (const GpxPoint &p : points) {
        if (!(std::abs(p.latitude) <= 90) || !(std::abs(p.longitude) <= 180) ||
            (p.elevation && !std::isfinite(*p.elevation)) || p.name.size() > Gpx::kMaxTextLength ||
            p.description.size() > Gpx::kMaxTextLength)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::quietQtWarnings();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    GpxDocument doc;
    QString refusal;
    if (Fuzz::refuses([&] { doc = Gpx::parse(Fuzz::bytesOf(data, size)); }, &refusal)) {
        FUZZ_CHECK(!refusal.isEmpty());
        return 0;
    }
    FUZZ_CHECK(inRange(doc.waypoints));
    qsizetype points = doc.waypoints.size();
    for (const QList<GpxPath> *paths : {&doc.routes, &doc.tracks}) {
        for (const GpxPath &path : *paths) {
            FUZZ_CHECK(inRange(path.points));
            points += path.points.size();
        }
    }
    FUZZ_CHECK(points <= Gpx::kMaxPoints);

    // Names, descriptions, times and elevations survive a round trip: what is
    // read is already trimmed and cut, so writing it changes nothing more.
    const GpxDocument back = Gpx::parse(Gpx::toXml(doc));
    FUZZ_CHECK(back.name == doc.name && back.description == doc.description);
    FUZZ_CHECK(back.unreadableElevations == 0);
    FUZZ_CHECK(samePoints(doc.waypoints, back.waypoints));
    FUZZ_CHECK(samePaths(doc.routes, back.routes));
    FUZZ_CHECK(samePaths(doc.tracks, back.tracks));
    return 0;
}
