#pragma once

#include "data/gpxfile.h"

#include <QDateTime>
#include <QTimeZone>

#include <algorithm>
#include <cmath>

// A walker of known rates, recording a GPX track: along the equator, where
// the ellipsoid's geodesic between two points is the arc of its semi-major
// axis, so every distance of the test is plain arithmetic.
class Walker
{
public:
    static constexpr double kEquatorRadius = 6378137.0;
    static constexpr double kClimb = 450;   // m/h
    static constexpr double kFlat = 4800;   // m/h
    static constexpr double kDescent = 700; // m/h
    static constexpr double kNoise = 3;     // metres either way on every altitude

    explicit Walker(double longitude = 6.0, double altitude = 1000, int stepSeconds = 5,
                    double latitude = 0)
        : m_latitude(latitude), m_longitude(longitude), m_altitude(altitude),
          m_step(stepSeconds * 1000)
    {
        point();
    }

    // The rule the program times legs with, at the walker's true rates.
    static double seconds(double metres, double height)
    {
        const double vertical = height > 0 ? height / kClimb : -height / kDescent;
        return std::max(metres / kFlat, vertical) * 3600;
    }

    // Walks `metres` east (west when negative) at a steady slope.
    void walk(double metres, double height)
    {
        const double duration = seconds(std::abs(metres), height);
        const double lon0 = m_longitude;
        const double alt0 = m_altitude;
        const qint64 start = m_ms;
        const qint64 end = start + qint64(std::llround(duration * 1000));
        for (qint64 t = start + m_step; t < end; t += m_step) {
            const double f = double(t - start) / double(end - start);
            at(lon0 + degrees(metres) * f, alt0 + height * f, t);
        }
        at(lon0 + degrees(metres), alt0 + height, end);
        m_walked += std::abs(metres);
    }

    // Stands still for `secondsStill`.
    void stop(double secondsStill)
    {
        const qint64 end = m_ms + qint64(std::llround(secondsStill * 1000));
        for (qint64 t = m_ms + m_step; t < end; t += m_step)
            at(m_longitude, m_altitude, t);
        at(m_longitude, m_altitude, end);
    }

    // Moves on without any point recorded.
    void lose(double metres, double secondsLost)
    {
        m_longitude += degrees(metres);
        m_ms += qint64(std::llround(secondsLost * 1000));
        m_walked += std::abs(metres);
        point();
    }

    void setNoise(double metres) { m_noiseAmplitude = metres; }
    GpxPath &path() { return m_path; }
    qint64 ms() const { return m_ms; }
    double walked() const { return m_walked; }
    double longitude() const { return m_longitude; }

    static double degrees(double metres) { return metres / kEquatorRadius * 180 / M_PI; }
    static constexpr qint64 kStart = 1783929600000; // 2026-07-13 08:00 UTC

private:
    void at(double longitude, double altitude, qint64 ms)
    {
        m_longitude = longitude;
        m_altitude = altitude;
        m_ms = ms;
        point();
    }

    void point()
    {
        GpxPoint p;
        p.latitude = m_latitude;
        p.longitude = m_longitude > 180 ? m_longitude - 360 : m_longitude;
        p.elevation = m_altitude + noise();
        p.time = QDateTime::fromMSecsSinceEpoch(m_ms, QTimeZone::utc());
        m_path.points.append(p);
    }

    // A fixed sequence, uniform within ±m_noiseAmplitude.
    double noise()
    {
        m_seed = m_seed * 1664525u + 1013904223u;
        return (double(m_seed >> 8) / double(1u << 24) * 2 - 1) * m_noiseAmplitude;
    }

    double m_latitude;
    double m_longitude;
    double m_altitude;
    qint64 m_step;
    qint64 m_ms = kStart;
    double m_walked = 0;
    double m_noiseAmplitude = kNoise;
    quint32 m_seed = 12345;
    GpxPath m_path;
};
