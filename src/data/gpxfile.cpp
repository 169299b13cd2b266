#include "gpxfile.h"

#include "filelayer.h"
#include "quorerror.h"

#include <QBuffer>
#include <QFile>
#include <QIODevice>
#include <QLocale>
#include <QPair>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <cerrno>
#include <cmath>
#include <cstring>

namespace Gpx {

namespace {

constexpr double kMaxLatitude = 90.0;
constexpr double kMaxLongitude = 180.0;
// Enough decimals of a degree for a millimetre on the ground.
constexpr int kDegreeDecimals = 9;

const QString kSchemaLocation =
    QStringLiteral("http://www.topografix.com/GPX/1/1 http://www.topografix.com/GPX/1/1/gpx.xsd");
const QString kXsiNamespace = QStringLiteral("http://www.w3.org/2001/XMLSchema-instance");

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

// Progress is told after this many more bytes of the file.
constexpr qint64 kProgressBytes = 4LL * 1024 * 1024;

[[noreturn]] void throwTooBig()
{
    throw QuorError(QStringLiteral("Le fichier GPX dépasse %1 Mo : il est refusé.")
                        .arg(kMaxFileBytes / (1024 * 1024)));
}

// The XML reader builds each text whole before handing it over, even when it
// is fed in pieces: a name of 250 MB would cost half a gigabyte, then as much
// again for its copy. So the bytes reach it through this device, which cuts
// every run of text (between tags, in a CDATA section, comment or processing
// instruction) once it holds kMaxTextLength characters, more than any name
// keeps. Line breaks cut away are counted, so that messages still give the
// lines and columns of the file. UTF-16 and UTF-32 files pass uncut: their
// bytes are not those of ASCII.
class CappedDevice : public QIODevice
{
public:
    // `limit` is the most bytes read from `source` (none when negative);
    // `progress` hears of every few megabytes read of `total`, and the device
    // ends there when it answers false.
    CappedDevice(QIODevice &source, qint64 limit, qint64 total, const Progress &progress)
        : m_source(source), m_limit(limit), m_total(total), m_progress(progress)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

    bool isSequential() const override { return true; }
    qint64 consumed() const { return m_consumed; }
    bool tooBig() const { return m_tooBig; }
    bool cancelled() const { return m_cancelled; }
    // Tells the progress that nothing is read yet; false when it cancels.
    bool start() const { return !m_progress || m_progress(0, m_total); }
    // The errno of a failed read, else 0.
    int error() const { return m_error; }

    // The line and column of the file where the XML reader stands at `line`,
    // `column` of what it was given.
    QPair<qint64, qint64> filePosition(qint64 line, qint64 column) const
    {
        qint64 realLine = line;
        qint64 shift = 0;
        for (const Cut &cut : m_cuts) {
            if (cut.line > line || (cut.line == line && cut.column >= column))
                break;
            realLine += cut.lineBreaks;
            if (cut.line == line)
                shift = cut.lineBreaks > 0 ? cut.lastLineColumns - cut.column
                                           : shift + cut.lastLineColumns;
        }
        return {realLine, column + shift};
    }

    // The last line of the file, once the XML reader has been given it all.
    qint64 lastLine() const
    {
        qint64 line = m_line;
        for (const Cut &cut : m_cuts)
            line += cut.lineBreaks;
        return line;
    }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        while (m_out.size() == m_outPos) {
            if (m_atEnd)
                return 0;
            fill();
        }
        const qint64 n = qMin(maxSize, qint64(m_out.size() - m_outPos));
        memcpy(data, m_out.constData() + m_outPos, size_t(n));
        m_outPos += n;
        return n;
    }

    qint64 writeData(const char *, qint64) override { return -1; }

private:
    enum class State { Text, Open, Bang, Dash, CDataOpen, Comment, CData, Pi, Tag, Quote, Doctype };

    // Line breaks and characters cut away at one place of what the XML reader
    // is given.
    struct Cut
    {
        qint64 line = 0;   // of the XML reader, from 1
        qint64 column = 0; // characters before the cut on that line
        qint64 lineBreaks = 0;
        qint64 lastLineColumns = 0; // characters cut after the last line break
    };

    static constexpr qint64 kChunk = 64 * 1024;
    // A reference longer than this is no entity of a GPX file: the text may be
    // cut inside it.
    static constexpr int kMaxReference = 1024;

    void fill()
    {
        m_out.clear();
        m_outPos = 0;
        qint64 want = kChunk;
        if (m_limit >= 0)
            want = qMin(want, m_limit + 1 - m_consumed);
        m_in.resize(want);
        const qint64 n = want > 0 ? m_source.read(m_in.data(), want) : 0;
        if (n <= 0) {
            if (n < 0)
                m_error = errno ? errno : EIO;
            m_atEnd = true;
            return;
        }
        m_consumed += n;
        if (m_limit >= 0 && m_consumed > m_limit) {
            m_tooBig = true;
            m_atEnd = true;
            return;
        }
        // The XML reader cannot be left by an exception: the cancel is only
        // noted, and the device ends.
        if (m_progress && m_consumed - m_reported >= kProgressBytes) {
            m_reported = m_consumed;
            if (!m_progress(m_consumed, m_total)) {
                m_cancelled = true;
                m_atEnd = true;
                return;
            }
        }
        if (!m_encodingKnown) {
            m_encodingKnown = true;
            const QByteArrayView start(m_in.constData(), qMin<qint64>(n, 4));
            m_passThrough = start.startsWith("\xFE\xFF") || start.startsWith("\xFF\xFE") ||
                            start.contains('\0');
        }
        if (m_passThrough) {
            m_out = m_in.left(n);
            return;
        }
        // A cut run's closing mark may be written in full where only its last
        // byte is read.
        m_out.resize(n + 2 * (n / kMaxTextLength + 4));
        m_write = m_out.data();
        const auto *in = reinterpret_cast<const unsigned char *>(m_in.constData());
        for (qint64 i = 0; i < n; ++i)
            take(in[i]);
        m_out.truncate(m_write - m_out.data());
    }

    bool isLineBreak(unsigned char c) const { return c == '\n' ? m_last != '\r' : c == '\r'; }

    // A UTF-8 continuation byte is no character of its own, unless more
    // follow than UTF-8 allows (a Latin-1 file); the LF of a CR LF is none
    // either.
    bool isCharacter(unsigned char c) const
    {
        if (c >= 0x80 && c < 0xC0)
            return m_continuations == 0;
        return c != '\n' || m_last != '\r';
    }

    void step(unsigned char c)
    {
        if (c >= 0xC0)
            m_continuations = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
        else if (c >= 0x80 && m_continuations > 0)
            --m_continuations;
        else
            m_continuations = 0;
        m_last = c;
    }

    void keep(unsigned char c)
    {
        if (isLineBreak(c)) {
            ++m_line;
            m_column = 0;
        } else if (isCharacter(c)) {
            ++m_column;
        }
        step(c);
        *m_write++ = char(c);
    }

    void cut(unsigned char c)
    {
        if (!m_cutting) {
            m_cutting = true;
            m_cuts.append({m_line, m_column, 0, 0});
        }
        Cut &here = m_cuts.last();
        if (isLineBreak(c)) {
            ++here.lineBreaks;
            here.lastLineColumns = 0;
        } else if (isCharacter(c)) {
            ++here.lastLineColumns;
        }
        step(c);
    }

    // Keeps `c` while the run is short; past kMaxTextLength characters, cuts
    // the rest where no character, reference or closing mark is split.
    void keepOrCut(unsigned char c, bool safe)
    {
        const bool character = isCharacter(c);
        if (m_cutting || (m_run >= kMaxTextLength && safe && character)) {
            cut(c);
            return;
        }
        if (character)
            ++m_run;
        keep(c);
    }

    void startRun(State state)
    {
        m_state = state;
        m_run = 0;
        m_marks = 0;
        m_reference = 0;
        m_cutting = false;
    }

    // Ends a cut run with its closing mark, which was not kept.
    void close(const char *mark)
    {
        m_cutting = false;
        for (const char *m = mark; *m; ++m)
            keep(static_cast<unsigned char>(*m));
    }

    void take(unsigned char c)
    {
        switch (m_state) {
        case State::Text:
            if (c == '<') {
                m_cutting = false;
                keep(c);
                m_state = State::Open;
                return;
            }
            if (m_reference > 0) {
                m_reference = c == ';' || m_reference > kMaxReference ? 0 : m_reference + 1;
                if (m_cutting)
                    cut(c);
                else
                    keep(c);
                return;
            }
            keepOrCut(c, true);
            if (c == '&' && !m_cutting)
                m_reference = 1;
            return;
        case State::Open:
            keep(c);
            if (c == '!')
                m_state = State::Bang;
            else if (c == '?')
                startRun(State::Pi);
            else if (c == '>')
                startRun(State::Text);
            else
                m_state = State::Tag;
            return;
        case State::Bang:
            keep(c);
            if (c == '-') {
                m_state = State::Dash;
            } else if (c == '[') {
                m_state = State::CDataOpen;
                m_marks = 1;
            } else {
                m_state = State::Doctype;
                m_quote = 0;
                m_depth = 0;
                m_marks = 0;
                m_window = 0;
                enterDoctype(c);
            }
            return;
        case State::Dash:
            keep(c);
            if (c == '-')
                startRun(State::Comment);
            else
                m_state = State::Tag;
            return;
        case State::CDataOpen: {
            static const char kOpening[] = "[CDATA[";
            keep(c);
            if (c != kOpening[m_marks])
                m_state = State::Tag;
            else if (kOpening[++m_marks] == '\0')
                startRun(State::CData);
            return;
        }
        case State::Comment:
            // A dash kept last would make "--" with the closing mark.
            keepOrCut(c, m_last != '-' && c != '-');
            if (c == '-') {
                ++m_marks;
            } else {
                if (c == '>' && m_marks >= 2) {
                    if (m_cutting)
                        close("-->");
                    startRun(State::Text);
                    return;
                }
                m_marks = 0;
            }
            return;
        case State::CData:
            endOfRun(c, ']', "]]>", 2);
            return;
        case State::Pi:
            endOfRun(c, '?', "?>", 1);
            return;
        case State::Tag:
            keep(c);
            if (c == '"' || c == '\'') {
                m_quote = c;
                m_state = State::Quote;
            } else if (c == '>') {
                startRun(State::Text);
            }
            return;
        case State::Quote:
            keep(c);
            if (c == m_quote)
                m_state = State::Tag;
            return;
        case State::Doctype:
            keep(c);
            enterDoctype(c);
            return;
        }
    }

    // CDATA sections and processing instructions end with marks, then ">".
    void endOfRun(unsigned char c, unsigned char markChar, const char *closing, int marks)
    {
        if (c == '>' && m_marks >= marks) {
            if (m_cutting)
                close(closing);
            else
                keep(c);
            startRun(State::Text);
            return;
        }
        m_marks = c == markChar ? m_marks + 1 : 0;
        keepOrCut(c, true);
    }

    // The document type is kept whole: its quoted values, internal subset,
    // comments and instructions may hold any ">" but the last.
    void enterDoctype(unsigned char c)
    {
        m_window = (m_window << 8) | c;
        if (m_quote) {
            if (c == m_quote)
                m_quote = 0;
        } else if (m_marks == 1) {                 // in a comment
            if ((m_window & 0xFFFFFF) == 0x2D2D3E) // "-->"
                m_marks = 0;
        } else if (m_marks == 2) {             // in a processing instruction
            if ((m_window & 0xFFFF) == 0x3F3E) // "?>"
                m_marks = 0;
        } else if ((m_window & 0xFFFFFFFF) == 0x3C212D2D) { // "<!--"
            m_marks = 1;
        } else if ((m_window & 0xFFFF) == 0x3C3F) { // "<?"
            m_marks = 2;
        } else if (c == '"' || c == '\'') {
            m_quote = c;
        } else if (c == '[') {
            ++m_depth;
        } else if (c == ']') {
            --m_depth;
        } else if (c == '>' && m_depth <= 0) {
            startRun(State::Text);
        }
    }

    QIODevice &m_source;
    const qint64 m_limit;
    const qint64 m_total;
    const Progress m_progress;
    qint64 m_reported = 0;
    bool m_cancelled = false;
    qint64 m_consumed = 0;
    bool m_tooBig = false;
    int m_error = 0;
    bool m_atEnd = false;
    bool m_encodingKnown = false;
    bool m_passThrough = false;
    QByteArray m_in;
    QByteArray m_out;
    qsizetype m_outPos = 0;
    char *m_write = nullptr;

    State m_state = State::Text;
    qsizetype m_run = 0;    // characters kept of the present run
    bool m_cutting = false; // the rest of the run is cut
    int m_marks = 0;        // closing marks seen in a row, or the doctype's comment or instruction
    int m_reference = 0;    // bytes of an entity or character reference so far
    int m_continuations = 0;
    unsigned char m_quote = 0;
    int m_depth = 0;
    quint32 m_window = 0;
    unsigned char m_last = 0;
    qint64 m_line = 1;
    qint64 m_column = 0;
    QList<Cut> m_cuts;
};

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
