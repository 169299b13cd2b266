#include "gpxfile.h"

#include "filelayer.h"
#include "gpxcappeddevice.h"
#include "quorerror.h"

#include <QBuffer>
#include <QFile>
#include <QIODevice>
#include <QPair>
#include <QXmlStreamReader>

#include <cmath>

namespace Gpx {

namespace {

constexpr double kMaxLatitude = 90.0;
constexpr double kMaxLongitude = 180.0;

static_assert(kMaxPoints == 1'000'000, "the refusal below says a million");
const QString kTooManyPoints =
    QStringLiteral("Le fichier GPX contient plus d'un million de points : il est refusé.");

// QString::toDouble goes through the locale's machinery, ten times slower than
// the conversion of the ASCII numbers a GPX file holds; any other text keeps
// its rules.
double toNumber(QStringView text, bool *ok)
{
    constexpr qsizetype kLongest = 64;
    char ascii[kLongest];
    if (text.size() > kLongest)
        return text.toDouble(ok);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x80)
            return text.toDouble(ok);
        ascii[i] = char(c);
    }
    return QByteArrayView(ascii, text.size()).toDouble(ok);
}

[[noreturn]] void throwTooBig()
{
    throw QuorError(QStringLiteral("Le fichier GPX dépasse %1 Mo : il est refusé.")
                        .arg(kMaxFileBytes / (1024LL * 1024)));
}

class Reader
{
public:
    Reader(QIODevice &source, qint64 limit, qint64 total, const Progress &progress)
        : m_device(source, limit, total, progress)
    {
        m_xml.setDevice(&m_device);
    }

    GpxDocument read()
    {
        if (!m_device.start())
            throw Cancelled{};
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
        while (nextStartElement()) {
            if (!isGpx()) {
                skip();
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
                skip();
            }
        }
        if (m_xml.hasError() || m_device.tooBig() || m_device.error() || m_device.cancelled())
            failOnXml();
        doc.unreadableElevations = m_unreadableElevations;
        return doc;
    }

private:
    bool isGpx() const { return m_xml.namespaceUri() == m_namespace; }

    QXmlStreamReader::TokenType next()
    {
        const QXmlStreamReader::TokenType token = m_xml.readNext();
        if (token == QXmlStreamReader::Invalid)
            failOnXml();
        return token;
    }

    // The next start element of the present one; false at its end.
    bool nextStartElement()
    {
        for (;;) {
            switch (next()) {
            case QXmlStreamReader::StartElement:
                return true;
            case QXmlStreamReader::EndElement:
            case QXmlStreamReader::EndDocument:
                return false;
            default:
                break;
            }
        }
    }

    void skip()
    {
        for (int depth = 1; depth > 0;) {
            const QXmlStreamReader::TokenType token = next();
            if (token == QXmlStreamReader::StartElement)
                ++depth;
            else if (token == QXmlStreamReader::EndElement)
                --depth;
        }
    }

    [[noreturn]] void failOnXml()
    {
        // The cancel, the size and the system's errors come first: what was
        // read of such a file says nothing.
        if (m_device.cancelled())
            throw Cancelled{};
        if (m_device.tooBig())
            throwTooBig();
        if (m_device.error())
            throwIoError(ioCodeFromErrno(m_device.error()));
        if (m_xml.error() == QXmlStreamReader::PrematureEndOfDocumentError) {
            if (m_xml.lineNumber() <= 1 && m_xml.characterOffset() == 0)
                throw QuorError(QStringLiteral("Le fichier GPX est vide."));
            // Whatever was cut lies before the end.
            throw QuorError(QStringLiteral("Le fichier GPX est incomplet : il s'arrête à la "
                                           "ligne %1.")
                                .arg(m_device.lastLine()));
        }
        const QPair<qint64, qint64> at =
            m_device.filePosition(m_xml.lineNumber(), m_xml.columnNumber());
        throw QuorError(QStringLiteral("Le fichier n'est pas un fichier GPX lisible : XML "
                                       "incorrect à la ligne %1, colonne %2.")
                            .arg(at.first)
                            .arg(at.second));
    }

    qint64 line() const
    {
        return m_device.filePosition(m_xml.lineNumber(), m_xml.columnNumber()).first;
    }

    // The element's own text, without that of its children, cut to
    // kMaxTextLength characters as it comes: nothing more is ever held.
    QString text()
    {
        QString t;
        bool cut = false;
        for (int depth = 0;;) {
            const QXmlStreamReader::TokenType token = next();
            if (token == QXmlStreamReader::StartElement) {
                ++depth;
            } else if (token == QXmlStreamReader::EndElement) {
                if (depth-- == 0)
                    break;
            } else if (token == QXmlStreamReader::Characters && depth == 0 && !cut) {
                const QStringView piece = m_xml.text();
                const qsizetype room = kMaxTextLength - t.size();
                t += piece.left(room);
                cut = piece.size() > room;
            }
        }
        // Half a character would not be written back.
        if (cut && t.back().isHighSurrogate())
            t.chop(1);
        return t.trimmed();
    }

    void readMetadata(GpxDocument &doc)
    {
        while (nextStartElement()) {
            if (isGpx() && m_xml.name() == QLatin1String("name"))
                doc.name = text();
            else if (isGpx() && m_xml.name() == QLatin1String("desc"))
                doc.description = text();
            else
                skip();
        }
    }

    double coordinate(const QString &attribute, double limit, const QString &message,
                      const QString &missing)
    {
        if (!m_xml.attributes().hasAttribute(attribute))
            throw QuorError(missing.arg(line()));
        const QXmlStreamAttributes attributes = m_xml.attributes();
        const QStringView value = attributes.value(attribute);
        bool ok = false;
        const double v = toNumber(value, &ok);
        if (!ok || !(std::abs(v) <= limit))
            throw QuorError(message.arg(value.left(kMaxTextLength)).arg(line()));
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
        while (nextStartElement()) {
            if (!isGpx()) {
                skip();
            } else if (m_xml.name() == QLatin1String("name")) {
                p.name = text();
            } else if (m_xml.name() == QLatin1String("desc")) {
                p.description = text();
            } else if (m_xml.name() == QLatin1String("ele")) {
                // Receivers write an empty or "nan" elevation when they had no
                // fix: the point stays, without one.
                bool ok = false;
                const double e = toNumber(text(), &ok);
                if (ok && std::isfinite(e))
                    p.elevation = e;
                else
                    ++m_unreadableElevations;
            } else if (m_xml.name() == QLatin1String("time")) {
                // A time that does not read is only a missing time: nothing
                // the program does depends on it.
                p.time = QDateTime::fromString(text(), Qt::ISODateWithMs);
            } else {
                skip();
            }
        }
        return p;
    }

    // A route's points, or a track's points of every segment in turn.
    GpxPath readPath(const QString &pointName, const QString &segmentName)
    {
        GpxPath path;
        while (nextStartElement()) {
            if (!isGpx())
                skip();
            else if (m_xml.name() == QLatin1String("name"))
                path.name = text();
            else if (m_xml.name() == pointName && segmentName.isEmpty())
                path.points.append(readPoint());
            else if (!segmentName.isEmpty() && m_xml.name() == segmentName)
                readSegment(pointName, path);
            else
                skip();
        }
        return path;
    }

    void readSegment(const QString &pointName, GpxPath &path)
    {
        while (nextStartElement()) {
            if (isGpx() && m_xml.name() == pointName)
                path.points.append(readPoint());
            else
                skip();
        }
    }

    CappedDevice m_device;
    QXmlStreamReader m_xml;
    QString m_namespace;
    qsizetype m_points = 0;
    int m_unreadableElevations = 0;
};

} // namespace

GpxDocument parse(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return Reader(buffer, -1, bytes.size(), {}).read();
}

GpxDocument read(const QString &path, const Progress &progress)
{
    QFile file;
    qint64 size = 0;
    if (const int code = FileLayer::tryOpenRead(path, file, size))
        throwIoError(code);
    if (size > kMaxFileBytes)
        throwTooBig();
    // A file that grows while it is read is stopped at the same limit.
    return Reader(file, kMaxFileBytes, size, progress).read();
}

} // namespace Gpx
