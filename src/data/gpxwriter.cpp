#include "gpxfile.h"

#include "filelayer.h"
#include "quorerror.h"

#include <QLocale>
#include <QXmlStreamWriter>

namespace Gpx {

namespace {

// Enough decimals of a degree for a millimetre on the ground.
constexpr int kDegreeDecimals = 9;

const QString kSchemaLocation =
    QStringLiteral("http://www.topografix.com/GPX/1/1 http://www.topografix.com/GPX/1/1/gpx.xsd");
const QString kXsiNamespace = QStringLiteral("http://www.w3.org/2001/XMLSchema-instance");

QString timeText(const QDateTime &time)
{
    // A local time is written with its offset from UTC; a time in UTC gets
    // "Z" as before.
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate);
}

// The XML writer leaves a CR as it is, which every reader takes for an LF:
// it is written as a character reference instead.
void writeText(QXmlStreamWriter &xml, const QString &element, const QString &text)
{
    xml.writeStartElement(element);
    const QStringList pieces = text.split(QLatin1Char('\r'));
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            xml.writeEntityReference(QStringLiteral("#13"));
        if (!pieces[i].isEmpty())
            xml.writeCharacters(pieces[i]);
    }
    xml.writeEndElement();
}

void writePoint(QXmlStreamWriter &xml, const QString &element, const GpxPoint &p)
{
    xml.writeStartElement(element);
    xml.writeAttribute(QStringLiteral("lat"), QString::number(p.latitude, 'f', kDegreeDecimals));
    xml.writeAttribute(QStringLiteral("lon"), QString::number(p.longitude, 'f', kDegreeDecimals));
    if (p.elevation)
        // A GPX decimal has no exponent; the shortest digits read back as the
        // same number.
        xml.writeTextElement(QStringLiteral("ele"),
                             QString::number(*p.elevation, 'f', QLocale::FloatingPointShortest));
    if (p.time.isValid())
        xml.writeTextElement(QStringLiteral("time"), timeText(p.time));
    if (!p.name.isEmpty())
        writeText(xml, QStringLiteral("name"), p.name);
    if (!p.description.isEmpty())
        writeText(xml, QStringLiteral("desc"), p.description);
    xml.writeEndElement();
}

} // namespace

QByteArray toXml(const GpxDocument &document)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeDefaultNamespace(QLatin1String(kNamespace11));
    xml.writeNamespace(kXsiNamespace, QStringLiteral("xsi"));
    xml.writeStartElement(QLatin1String(kNamespace11), QStringLiteral("gpx"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.1"));
    xml.writeAttribute(QStringLiteral("creator"), QLatin1String(kCreator));
    xml.writeAttribute(kXsiNamespace, QStringLiteral("schemaLocation"), kSchemaLocation);
    if (!document.name.isEmpty() || !document.description.isEmpty()) {
        xml.writeStartElement(QStringLiteral("metadata"));
        if (!document.name.isEmpty())
            writeText(xml, QStringLiteral("name"), document.name);
        if (!document.description.isEmpty())
            writeText(xml, QStringLiteral("desc"), document.description);
        xml.writeEndElement();
    }
    for (const GpxPoint &p : document.waypoints)
        writePoint(xml, QStringLiteral("wpt"), p);
    for (const GpxPath &route : document.routes) {
        xml.writeStartElement(QStringLiteral("rte"));
        if (!route.name.isEmpty())
            writeText(xml, QStringLiteral("name"), route.name);
        for (const GpxPoint &p : route.points)
            writePoint(xml, QStringLiteral("rtept"), p);
        xml.writeEndElement();
    }
    for (const GpxPath &track : document.tracks) {
        xml.writeStartElement(QStringLiteral("trk"));
        if (!track.name.isEmpty())
            writeText(xml, QStringLiteral("name"), track.name);
        xml.writeStartElement(QStringLiteral("trkseg"));
        for (const GpxPoint &p : track.points)
            writePoint(xml, QStringLiteral("trkpt"), p);
        xml.writeEndElement();
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    return out;
}

void write(const QString &path, const GpxDocument &document)
{
    const QByteArray bytes = toXml(document);
    // A read-only file stays as it is: the atomic rename would replace it.
    if (FileLayer::fileExists(path) && FileLayer::probeReadWrite(path) != 0)
        throwCannotCreate(path);
    try {
        FileLayer::writeAtomic(path, bytes);
    } catch (const QuorError &) {
        throwCannotCreate(path);
    }
}

} // namespace Gpx
