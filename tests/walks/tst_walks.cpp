#include "common/testmain.h"
#include "common/testutil.h"
#include "walker.h"
#include "walks/recordedwalk.h"
#include "walks/speedlearning.h"

#include <QTest>

#include <cmath>

using TestUtil::messageOf;

namespace {

constexpr double kRateTolerance = 0.02; // learned within 2 % of the truth
constexpr double kStopTolerance = 10;   // seconds

// A day in the hills: every kind of leg, each section ending where the
// altitude turns or the walker stops, and three stops of the speed table's
// lengths. The sections, as (metres, height), for the arithmetic below.
const QList<std::pair<double, double>> kDay = {
    {3000, 0}, {2000, 400}, {1600, -400}, {2500, 30}, {2500, -40}, {1000, 250}, {1200, -250},
};

GpxPath day(Walker &w)
{
    w.walk(3000, 0);
    w.stop(300);
    w.walk(2000, 400);
    w.walk(1600, -400);
    w.stop(900);
    w.walk(2500, 30);
    w.walk(2500, -40);
    w.stop(3600);
    w.walk(1000, 250);
    w.walk(1200, -250);
    w.path().name = QStringLiteral("Journée");
    return w.path();
}

// Another walker's day with the same rates, for leaving one walk out.
GpxPath otherDay()
{
    Walker w(7.0, 600);
    w.walk(1500, 350);
    w.walk(2000, -450);
    w.stop(600);
    w.walk(4000, 25);
    w.path().name = QStringLiteral("Lendemain");
    return w.path();
}

RecordedWalk read(const GpxPath &track)
{
    return RecordedWalks::fromTrack(track, track.name, RecordedWalks::Altitudes::Recorded, {});
}

// Minutes of error per hour walked of `rates` on sections walked at the
// walker's rates, each of one slope, so that every piece of it is off in the
// same direction.
double sectionError(const QList<std::pair<double, double>> &sections, double climb, double flat,
                    double descent)
{
    double error = 0;
    double walked = 0;
    for (const auto &[metres, height] : sections) {
        const double truth = Walker::seconds(metres, height);
        const double vertical = height > 0 ? height / climb : -height / descent;
        error += std::abs(std::max(metres / flat, vertical) * 3600 - truth);
        walked += truth;
    }
    return error / walked * 60;
}

bool near(double value, double truth, double relative)
{
    return std::abs(value / truth - 1) < relative;
}

} // namespace

class WalkLearningTest : public QObject
{
    Q_OBJECT

private slots:
    void learnsTheWalkersRatesThroughNoise()
    {
        Walker w;
        const LearningReport r = SpeedLearning::learn({read(day(w))}, WalkingRates{300, 4000, 500});
        QVERIFY2(near(r.learned.climb, Walker::kClimb, kRateTolerance),
                 qPrintable(QString::number(r.learned.climb)));
        QVERIFY2(near(r.learned.flat, Walker::kFlat, kRateTolerance),
                 qPrintable(QString::number(r.learned.flat)));
        QVERIFY2(near(r.learned.descent, Walker::kDescent, kRateTolerance),
                 qPrintable(QString::number(r.learned.descent)));
        QVERIFY(r.climbLearned && r.flatLearned && r.descentLearned);
        // 13.8 km walked, the stops left out.
        QVERIFY2(near(r.metres, 13800, 0.001), qPrintable(QString::number(r.metres)));
        QCOMPARE(r.tooFastLegs, 0);
    }

    void errorsPerHourWalked()
    {
        Walker w;
        const LearningReport r = SpeedLearning::learn({read(day(w))}, WalkingRates{300, 4000, 500});
        const double expected = sectionError(kDay, 300, 4000, 500);
        QVERIFY2(near(r.currentError, expected, 0.02),
                 qPrintable(QStringLiteral("%1 %2").arg(r.currentError).arg(expected)));
        QCOMPARE(r.walks.size(), 1);
        QCOMPARE(r.walks.at(0).currentError, r.currentError);
        QVERIFY(r.learnedError < 1);
        QVERIFY(!r.walks.at(0).leftOutError);
    }

    void leavesEachWalkOut()
    {
        Walker w;
        const RecordedWalk first = read(day(w));
        const RecordedWalk second = read(otherDay());
        const LearningReport r = SpeedLearning::learn({first, second}, {300, 4000, 500});
        QCOMPARE(r.walks.size(), 2);
        QCOMPARE(r.walks.at(1).name, QStringLiteral("Lendemain"));
        // Learned from the other day alone, the same walker is still
        // predicted within a minute an hour.
        for (const LearningReport::Walk &walk : r.walks) {
            QVERIFY(walk.leftOutError.has_value());
            QVERIFY2(*walk.leftOutError < 1, qPrintable(QString::number(*walk.leftOutError)));
        }
        // The current table is off on the second day as arithmetic says.
        const double expected =
            sectionError({{1500, 350}, {2000, -450}, {4000, 25}}, 300, 4000, 500);
        QVERIFY(near(r.walks.at(1).currentError, expected, 0.02));
    }

    void findsTheStopsAndTheirLengths()
    {
        Walker w;
        const RecordedWalk walk = read(day(w));
        QCOMPARE(int(walk.stops.size()), 3);
        const double lengths[] = {300, 900, 3600};
        for (int i = 0; i < 3; ++i)
            QVERIFY2(std::abs(walk.stops[i].seconds() - lengths[i]) <= kStopTolerance,
                     qPrintable(QString::number(walk.stops[i].seconds())));
        const LearningReport r = SpeedLearning::learn({walk}, {300, 4000, 500});
        QCOMPARE(r.stops, 3);
        QVERIFY(std::abs(r.medianStopSeconds - 900) <= kStopTolerance);
        QVERIFY(std::abs(r.longestStopSeconds - 3600) <= kStopTolerance);
    }

    void aPauseUnderTwoMinutesIsNoStop()
    {
        // A stop counts from where the walker came within a few metres of
        // where they stood: at 1.3 m/s, a few seconds either side.
        Walker w(6.0, 1000, 1);
        w.setNoise(0);
        w.walk(500, 0);
        w.stop(110);
        w.walk(500, 0);
        w.stop(125);
        w.walk(500, 0);
        const RecordedWalk walk = read(w.path());
        QCOMPARE(int(walk.stops.size()), 1);
        QVERIFY(std::abs(walk.stops[0].seconds() - 125) <= kStopTolerance);
    }

    void aRateOfZeroInTheTableStillLearns()
    {
        Walker w;
        const LearningReport r = SpeedLearning::learn({read(day(w))}, {300, 0, 500});
        QVERIFY(std::isnan(r.currentError));
        QVERIFY(near(r.learned.flat, Walker::kFlat, kRateTolerance));
        // On the flat only, the climb and descent keep the table's values.
        Walker flat;
        flat.walk(5000, 0);
        const LearningReport f = SpeedLearning::learn({read(flat.path())}, {0, 0, 0});
        QVERIFY(!f.climbLearned && !f.descentLearned);
        QCOMPARE(f.learned.climb, 0.0);
        QCOMPARE(f.learned.descent, 0.0);
    }

    void tableValuesStayWithinTheDialogsDigits()
    {
        QCOMPARE(SpeedLearning::tableValue(449.5, SpeedLearning::kLargestClimb), 450);
        QCOMPARE(SpeedLearning::tableValue(998.6, SpeedLearning::kLargestClimb), 999);
        QCOMPARE(SpeedLearning::tableValue(1000.4, SpeedLearning::kLargestClimb), 999);
        QCOMPARE(SpeedLearning::tableValue(99999.4, SpeedLearning::kLargestFlat), 99999);
        QCOMPARE(SpeedLearning::tableValue(0.2, SpeedLearning::kLargestFlat), 1);
    }
};

class RecordedWalkTest : public QObject
{
    Q_OBJECT

private slots:
    void aTrackWithoutTimesIsRefused()
    {
        GpxPath track;
        track.name = QStringLiteral("Matin");
        track.points = {GpxPoint{}, GpxPoint{}};
        track.points[1].longitude = 0.01;
        QCOMPARE(messageOf([&] { read(track); }),
                 QStringLiteral("La trace « Matin » n'a pas d'heures à ses points : elle ne dit "
                                "pas à quelle allure vous avez marché."));
        track.points[0].time = QDateTime::fromMSecsSinceEpoch(Walker::kStart, QTimeZone::utc());
        track.points.removeLast();
        QCOMPARE(messageOf([&] { read(track); }),
                 QStringLiteral("La trace « Matin » a moins de deux points avec une heure."));
        // Beside a walk, the track without times is left out and said.
        Walker w;
        w.walk(1000, 0);
        GpxDocument both;
        both.tracks = {track, w.path()};
        QStringList skipped;
        QCOMPARE(RecordedWalks::fromDocument(both, QStringLiteral("deux.gpx"),
                                             RecordedWalks::Altitudes::Recorded, {}, {}, &skipped)
                     .size(),
                 1);
        QCOMPARE(skipped.size(), 1);
        QCOMPARE(messageOf([] {
                     RecordedWalks::fromDocument({}, QStringLiteral("vide.gpx"),
                                                 RecordedWalks::Altitudes::Recorded, {});
                 }),
                 QStringLiteral("Le fichier « vide.gpx » ne contient aucune trace : il faut "
                                "l'enregistrement d'une marche, avec l'heure de ses points."));
    }

    void timesGoingBackCutTheTrack()
    {
        Walker w;
        w.walk(1000, 0);
        GpxPath track = w.path();
        const int kept = int(track.points.size());
        for (int i = 0; i < 11; ++i) {
            GpxPoint p = track.points.at(i);
            track.points.append(p);
        }
        track.name = QStringLiteral("Retour");
        const RecordedWalk walk = read(track);
        QCOMPARE(int(walk.points.size()), kept);
        QCOMPARE(walk.afterBackwardTime, 11);
        QVERIFY(walk.notices().contains(
            QStringLiteral("« Retour » : les heures reculent ; la trace est coupée là et ses 11 "
                           "derniers points sont laissés de côté.")));
    }

    void duplicatedTimesAndJumpsAreLeftOut()
    {
        Walker w;
        w.walk(3000, 0);
        GpxPath track = w.path();
        // The receiver wrote point 10 twice, and point 20 a kilometre north.
        track.points.insert(11, track.points.at(10));
        track.points[21].latitude += 1000 / 110574.0;
        const RecordedWalk walk = read(track);
        QCOMPARE(walk.sameTime, 1);
        QCOMPARE(walk.jumps, 1);
        QVERIFY(std::abs(walk.walkedMetres() - 3000) < 1e-3);
    }

    void aCarJourneyIsLeftOutOfLearning()
    {
        Walker w;
        day(w);
        // Then 20 km along the road in 20 minutes.
        GpxPath track = w.path();
        const GpxPoint last = track.points.last();
        for (int s = 10; s <= 1200; s += 10) {
            GpxPoint p = last;
            p.longitude += Walker::degrees(20000.0 * s / 1200);
            p.time = last.time.addSecs(s);
            track.points.append(p);
        }
        const LearningReport r = SpeedLearning::learn({read(track)}, {300, 4000, 500});
        QVERIFY(r.tooFastLegs > 0);
        QVERIFY(near(r.learned.flat, Walker::kFlat, kRateTolerance));
        QVERIFY(r.notices.contains(QStringLiteral("%1 tronçons plus rapides que la marche "
                                                  "(voiture, course ?) ont été laissés de côté.")
                                       .arg(r.tooFastLegs)));
    }

    void aNightStopAndALostSignal()
    {
        Walker w;
        w.walk(2000, 0);
        w.stop(10 * 3600);
        w.walk(1500, 100);
        w.lose(800, 600);
        w.walk(1500, 0);
        const RecordedWalk walk = read(w.path());
        QCOMPARE(int(walk.stops.size()), 1);
        QVERIFY(std::abs(walk.stops[0].seconds() - 36000) <= kStopTolerance);
        QCOMPARE(walk.gaps, 1);
        for (const WalkLeg &leg : RecordedWalks::legs(walk))
            QVERIFY(leg.seconds < 3600);
    }

    void acrossTheDateLine()
    {
        Walker w(179.99, 10);
        w.walk(3000, 0);
        QVERIFY(w.longitude() > 180);
        QVERIFY(std::abs(read(w.path()).walkedMetres() - 3000) < 1e-3);
    }

    void altitudesFromTheModelWhereTheTrackHasNone()
    {
        Walker w;
        w.walk(1000, 100);
        GpxPath track = w.path();
        for (GpxPoint &p : track.points)
            p.elevation.reset();
        int asked = 0;
        const AltitudeLookup model = [&](const std::vector<WalkPosition> &at) {
            asked = int(at.size());
            return std::vector<std::optional<double>>(at.size(), 1234.0);
        };
        const RecordedWalk walk =
            RecordedWalks::fromTrack(track, {}, RecordedWalks::Altitudes::Recorded, model);
        QCOMPARE(asked, int(track.points.size()));
        QCOMPARE(walk.terrainAltitudes, asked);
        QCOMPARE(walk.points.front().altitude, 1234.0);
        const RecordedWalk flat = read(track);
        QVERIFY(!flat.hasAltitudes);
    }

    void progressCancels()
    {
        Walker w(6.0, 1000, 1);
        w.walk(30000, 0);
        QVERIFY_THROWS_EXCEPTION(
            Cancelled, RecordedWalks::fromTrack(w.path(), {}, RecordedWalks::Altitudes::Recorded,
                                                {}, [](qint64, qint64) { return false; }));
        // Going on, it hears of the whole work: twice the points.
        qint64 last = 0;
        qint64 total = 0;
        RecordedWalks::fromTrack(w.path(), {}, RecordedWalks::Altitudes::Recorded, {},
                                 [&](qint64 done, qint64 of) {
                                     last = done;
                                     total = of;
                                     return true;
                                 });
        QCOMPARE(total, 2 * w.path().points.size());
        QCOMPARE(last, total);
    }

    void timesAreUtcWhateverTheirZone()
    {
        // The same moment, written in UTC, with an offset, and without zone.
        const QByteArray gpx =
            "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" version=\"1.1\"><trk><trkseg>"
            "<trkpt lat=\"0\" lon=\"6\"><time>2026-07-13T08:00:00Z</time></trkpt>"
            "<trkpt lat=\"0\" lon=\"6.001\"><time>2026-07-13T10:01:00+02:00</time></trkpt>"
            "<trkpt lat=\"0\" lon=\"6.002\"><time>2026-07-13T08:02:00</time></trkpt>"
            "</trkseg></trk></gpx>";
        qputenv("TZ", "America/New_York");
        const RecordedWalk walk = read(Gpx::parse(gpx).tracks.at(0));
        qunsetenv("TZ");
        QCOMPARE(int(walk.points.size()), 3);
        QCOMPARE(walk.points[1].ms, Walker::kStart + 60'000);
        QCOMPARE(walk.points[2].ms, Walker::kStart + 120'000);
    }

    void localTimesOfTheClock()
    {
        const QTimeZone paris("Europe/Paris");
        QCOMPARE(RecordedWalks::localTimeText(Walker::kStart, paris), QStringLiteral("10:00"));
        // 25 October 2026, 01:30 UTC: the clocks went back an hour at 01:00.
        QCOMPARE(RecordedWalks::localTimeText(1792891800000, paris), QStringLiteral("02:30"));
        QCOMPARE(RecordedWalks::durationText(3900), QStringLiteral("1 h 05"));
        QCOMPARE(RecordedWalks::durationText(-720), QStringLiteral("-12 min"));
    }
};

QUOR_TEST(WalkLearningTest)
QUOR_TEST(RecordedWalkTest)

#include "tst_walks.moc"
