#pragma once

// Set-up shared by the export tests beyond tst_mapexport.cpp: a calibrated
// map of any grid made in memory, and the GDAL and SQLite tools that read
// the files back.

#include "mapexport/mapexport.h"
#include "maps/mapconversion.h"

#include <QByteArray>
#include <QImage>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>

namespace ExportFixture {

// A north-up map of `size` pixels of `metres`, its top-left pixel centred on
// (easting, northing) of `grid`: paper white with a dark grid every 100
// pixels, so that every output has something to show.
inline MapExport::Request northUpMap(const Coordinates::Grid &grid, int easting, int northing,
                                     int metres, QSize size)
{
    constexpr int kLineEvery = 100;
    MapExport::Request r;
    r.picture = QImage(size, QImage::Format_RGB888);
    r.picture.fill(Qt::white);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); x += kLineEvery)
            r.picture.setPixelColor(x, y, Qt::darkGray);
    const int right = size.width() - 1, bottom = size.height() - 1;
    ComputeTransform(r.transform, {0, 0, easting, northing},
                     {right, 0, easting + right * metres, northing},
                     {0, bottom, easting, northing - bottom * metres});
    r.grid = grid;
    r.name = QStringLiteral("Essai");
    return r;
}

// What a tool prints; a failure is reported as a warning and gives what it
// printed all the same.
inline QByteArray run(const QString &program, const QStringList &arguments)
{
    QProcess p;
    p.start(program, arguments);
    p.closeWriteChannel();
    if (!p.waitForFinished(120'000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        qWarning("%s failed: %s", qPrintable(program), p.readAllStandardError().constData());
    return p.readAllStandardOutput();
}

// The boxes of a KMZ's tiles on the ground, in doc.kml's order, as the file
// writes them.
struct KmlBox
{
    QString north, south, east, west, href;
};

inline QList<KmlBox> kmlBoxes(const QString &kmz)
{
    QList<KmlBox> boxes;
    QXmlStreamReader kml(
        run(QStringLiteral("unzip"), {QStringLiteral("-p"), kmz, QStringLiteral("doc.kml")}));
    KmlBox box;
    while (!kml.atEnd()) {
        if (kml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = kml.name();
        if (name == QLatin1String("href"))
            box.href = kml.readElementText();
        else if (name == QLatin1String("north"))
            box.north = kml.readElementText();
        else if (name == QLatin1String("south"))
            box.south = kml.readElementText();
        else if (name == QLatin1String("east"))
            box.east = kml.readElementText();
        else if (name == QLatin1String("west")) {
            box.west = kml.readElementText();
            boxes << box;
        }
    }
    return kml.hasError() ? QList<KmlBox>() : boxes;
}

} // namespace ExportFixture
