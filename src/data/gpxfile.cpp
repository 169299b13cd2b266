#include "gpxfile.h"

#include "filelayer.h"
#include "quorerror.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <cmath>

namespace Gpx {

namespace {

constexpr double kMaxLatitude = 90.0;
constexpr double kMaxLongitude = 180.0;
// Enough decimals of a degree for a millimetre on the ground.
constexpr int kDegreeDecimals = 9;
constexpr int kElevationDigits = 10;

const QString kSchemaLocation =
    QStringLiteral("http://www.topografix.com/GPX/1/1 http://www.topografix.com/GPX/1/1/gpx.xsd");
const QString kXsiNamespace = QStringLiteral("http://www.w3.org/2001/XMLSchema-instance");

static_assert(kMaxPoints == 1'000'000, "the refusal below says a million");
const QString kTooManyPoints =
    QStringLiteral("Le fichier GPX contient plus d'un million de points : il est refusé.");

class Reader
{
public:
    explicit Reader(const QByteArray &bytes) : m_xml(bytes) {}

    GpxDocument read()
    {
        if (!m_xml.readNextStartElement())
            failOnXml();
        if (m_xml.name() != QLatin1String("gpx"))
            throw QuorError(QStringLiteral("Ce fichier n'est pas un fichier GPX : son premier "
                                           "élément est « %1 » au lieu de « gpx ».")
                                .arg(m_xml.name()));
        m_namespace = m_xml.namespaceUri().toString();
        if (!m_namespace.isEmpty() && m_namespace != QLatin1String(kNamespace10) &&
            m_namespace != QLatin1String(kNamespace11))
            throw QuorError(QStringLiteral("Ce fichier n'est pas un fichier GPX 1.0 ou 1.1 : son "
                                           "espace de noms est « %1 ».")
                                .arg(m_namespace));
        GpxDocument doc;
        while (m_xml.readNextStartElement()) {
            if (!isGpx()) {
                m_xml.skipCurrentElement();
            } else if (m_xml.name() == QLatin1String("metadata")) {
                readMetadata(doc);
            } else if (m_xml.name() == QLatin1String("name")) { // GPX 1.0
                doc.name = text();
            } else if (m_xml.name() == QLatin1String("desc")) { // GPX 1.0
                doc.description = text();
            } else if (m_xml.name() == QLatin1String("wpt")) {
                doc.waypoints.append(readPoint());
            } else if (m_xml.name() == QLatin1String("rte")) {
                doc.routes.append(readPath(QStringLiteral("rtept"), QString()));
            } else if (m_xml.name() == QLatin1String("trk")) {
                doc.tracks.append(readPath(QStringLiteral("trkpt"), QStringLiteral("trkseg")));
            } else {
                m_xml.skipCurrentElement();
            }
        }
        if (m_xml.hasError())
            failOnXml();
        return doc;
    }

private:
    bool isGpx() const { return m_xml.namespaceUri() == m_namespace; }

    [[noreturn]] void failOnXml()
    {
        if (m_xml.error() == QXmlStreamReader::PrematureEndOfDocumentError) {
            if (m_xml.lineNumber() <= 1 && m_xml.characterOffset() == 0)
                throw QuorError(QStringLiteral("Le fichier GPX est vide."));
            throw QuorError(QStringLiteral("Le fichier GPX est incomplet : il s'arrête à la "
                                           "ligne %1.")
                                .arg(m_xml.lineNumber()));
        }
        throw QuorError(QStringLiteral("Le fichier n'est pas un fichier GPX lisible : XML "
                                       "incorrect à la ligne %1, colonne %2.")
                            .arg(m_xml.lineNumber())
                            .arg(m_xml.columnNumber()));
    }

    QString text()
    {
        QString t = m_xml.readElementText(QXmlStreamReader::SkipChildElements);
        if (m_xml.hasError())
            failOnXml();
        if (t.size() > kMaxTextLength) {
            t.truncate(kMaxTextLength);
            // Half a character would not be written back.
            if (t.back().isHighSurrogate())
                t.chop(1);
        }
        return t.trimmed();
    }

    void readMetadata(GpxDocument &doc)
    {
        while (m_xml.readNextStartElement()) {
            if (isGpx() && m_xml.name() == QLatin1String("name"))
                doc.name = text();
            else if (isGpx() && m_xml.name() == QLatin1String("desc"))
                doc.description = text();
            else
                m_xml.skipCurrentElement();
        }
    }

    double coordinate(const QString &attribute, double limit, const QString &message,
                      const QString &missing)
    {
        if (!m_xml.attributes().hasAttribute(attribute))
            throw QuorError(missing.arg(m_xml.lineNumber()));
        const QString value = m_xml.attributes().value(attribute).toString();
        bool ok = false;
        const double v = value.toDouble(&ok);
        if (!ok || !(std::abs(v) <= limit))
            throw QuorError(message.arg(value.left(kMaxTextLength)).arg(m_xml.lineNumber()));
        return v;
    }

    GpxPoint readPoint()
    {
        if (++m_points > kMaxPoints)
            throw QuorError(kTooManyPoints);
        GpxPoint p;
        p.latitude = coordinate(QStringLiteral("lat"), kMaxLatitude,
                                QStringLiteral("Latitude « %1 » incorrecte à la ligne %2 du "
                                               "fichier GPX : il faut un nombre de -90 à 90."),
                                QStringLiteral("Latitude manquante à la ligne %1 du fichier GPX."));
        p.longitude =
            coordinate(QStringLiteral("lon"), kMaxLongitude,
                       QStringLiteral("Longitude « %1 » incorrecte à la ligne %2 du "
                                      "fichier GPX : il faut un nombre de -180 à 180."),
                       QStringLiteral("Longitude manquante à la ligne %1 du fichier GPX."));
        while (m_xml.readNextStartElement()) {
            if (!isGpx()) {
                m_xml.skipCurrentElement();
            } else if (m_xml.name() == QLatin1String("name")) {
                p.name = text();
            } else if (m_xml.name() == QLatin1String("desc")) {
                p.description = text();
            } else if (m_xml.name() == QLatin1String("ele")) {
                const qint64 line = m_xml.lineNumber();
                const QString value = text();
                bool ok = false;
                const double e = value.toDouble(&ok);
                if (!ok || !std::isfinite(e))
                    throw QuorError(QStringLiteral("Altitude « %1 » incorrecte à la ligne %2 du "
                                                   "fichier GPX.")
                                        .arg(value)
                                        .arg(line));
                p.elevation = e;
            } else if (m_xml.name() == QLatin1String("time")) {
                // A time that does not read is only a missing time: nothing
                // the program does depends on it.
                p.time = QDateTime::fromString(text(), Qt::ISODateWithMs);
            } else {
                m_xml.skipCurrentElement();
            }
        }
        return p;
    }

    // A route's points, or a track's points of every segment in turn.
    GpxPath readPath(const QString &pointName, const QString &segmentName)
    {
        GpxPath path;
        while (m_xml.readNextStartElement()) {
            if (!isGpx())
                m_xml.skipCurrentElement();
            else if (m_xml.name() == QLatin1String("name"))
                path.name = text();
            else if (m_xml.name() == pointName && segmentName.isEmpty())
                path.points.append(readPoint());
            else if (!segmentName.isEmpty() && m_xml.name() == segmentName)
                readSegment(pointName, path);
            else
                m_xml.skipCurrentElement();
        }
        return path;
    }

    void readSegment(const QString &pointName, GpxPath &path)
    {
        while (m_xml.readNextStartElement()) {
            if (isGpx() && m_xml.name() == pointName)
                path.points.append(readPoint());
            else
                m_xml.skipCurrentElement();
        }
    }

    QXmlStreamReader m_xml;
    QString m_namespace;
    qsizetype m_points = 0;
};

QString timeText(const QDateTime &time)
{
    // A local time is written with its offset from UTC; a time in UTC gets
    // "Z" as before.
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate);
}

void writePoint(QXmlStreamWriter &xml, const QString &element, const GpxPoint &p)
{
    xml.writeStartElement(element);
    xml.writeAttribute(QStringLiteral("lat"), QString::number(p.latitude, 'f', kDegreeDecimals));
    xml.writeAttribute(QStringLiteral("lon"), QString::number(p.longitude, 'f', kDegreeDecimals));
    if (p.elevation)
        xml.writeTextElement(QStringLiteral("ele"),
                             QString::number(*p.elevation, 'g', kElevationDigits));
    if (p.time.isValid())
        xml.writeTextElement(QStringLiteral("time"), timeText(p.time));
    if (!p.name.isEmpty())
        xml.writeTextElement(QStringLiteral("name"), p.name);
    if (!p.description.isEmpty())
        xml.writeTextElement(QStringLiteral("desc"), p.description);
    xml.writeEndElement();
}

} // namespace

GpxDocument parse(const QByteArray &bytes)
{
    return Reader(bytes).read();
}

GpxDocument read(const QString &path)
{
    QByteArray bytes;
    if (const int code = FileLayer::tryReadAtMost(path, bytes, kMaxFileBytes))
        throwIoError(code);
    if (bytes.size() > kMaxFileBytes)
        throw QuorError(QStringLiteral("Le fichier GPX dépasse %1 Mo : il est refusé.")
                            .arg(kMaxFileBytes / (1024 * 1024)));
    return parse(bytes);
}

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
            xml.writeTextElement(QStringLiteral("name"), document.name);
        if (!document.description.isEmpty())
            xml.writeTextElement(QStringLiteral("desc"), document.description);
        xml.writeEndElement();
    }
    for (const GpxPoint &p : document.waypoints)
        writePoint(xml, QStringLiteral("wpt"), p);
    for (const GpxPath &route : document.routes) {
        xml.writeStartElement(QStringLiteral("rte"));
        if (!route.name.isEmpty())
            xml.writeTextElement(QStringLiteral("name"), route.name);
        for (const GpxPoint &p : route.points)
            writePoint(xml, QStringLiteral("rtept"), p);
        xml.writeEndElement();
    }
    for (const GpxPath &track : document.tracks) {
        xml.writeStartElement(QStringLiteral("trk"));
        if (!track.name.isEmpty())
            xml.writeTextElement(QStringLiteral("name"), track.name);
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
