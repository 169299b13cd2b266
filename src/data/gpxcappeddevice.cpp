#include "gpxcappeddevice.h"

#include "gpxfile.h"

#include <cerrno>
#include <cstring>

namespace Gpx {

namespace {

// Progress is told after this many more bytes of the file.
constexpr qint64 kProgressBytes = 4LL * 1024 * 1024;

} // namespace

CappedDevice::CappedDevice(QIODevice &source, qint64 limit, qint64 total, const Progress &progress)
    : m_source(source), m_limit(limit), m_total(total), m_progress(progress)
{
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

QPair<qint64, qint64> CappedDevice::filePosition(qint64 line, qint64 column) const
{
    qint64 realLine = line;
    qint64 shift = 0;
    for (const Cut &cut : m_cuts) {
        if (cut.line > line || (cut.line == line && cut.column >= column))
            break;
        realLine += cut.lineBreaks;
        if (cut.line == line)
            shift =
                cut.lineBreaks > 0 ? cut.lastLineColumns - cut.column : shift + cut.lastLineColumns;
    }
    return {realLine, column + shift};
}

qint64 CappedDevice::lastLine() const
{
    qint64 line = m_line;
    for (const Cut &cut : m_cuts)
        line += cut.lineBreaks;
    return line;
}

qint64 CappedDevice::readData(char *data, qint64 maxSize)
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

void CappedDevice::fill()
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
        m_passThrough =
            start.startsWith("\xFE\xFF") || start.startsWith("\xFF\xFE") || start.contains('\0');
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

// A UTF-8 continuation byte is no character of its own, unless more
// follow than UTF-8 allows (a Latin-1 file); the LF of a CR LF is none
// either.
bool CappedDevice::isCharacter(unsigned char c) const
{
    if (c >= 0x80 && c < 0xC0)
        return m_continuations == 0;
    return c != '\n' || m_last != '\r';
}

void CappedDevice::step(unsigned char c)
{
    if (c >= 0xC0)
        m_continuations = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
    else if (c >= 0x80 && m_continuations > 0)
        --m_continuations;
    else
        m_continuations = 0;
    m_last = c;
}

void CappedDevice::keep(unsigned char c)
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

void CappedDevice::cut(unsigned char c)
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
void CappedDevice::keepOrCut(unsigned char c, bool safe)
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

void CappedDevice::startRun(State state)
{
    m_state = state;
    m_run = 0;
    m_marks = 0;
    m_reference = 0;
    m_cutting = false;
}

// Ends a cut run with its closing mark, which was not kept.
void CappedDevice::closeRun(const char *mark)
{
    m_cutting = false;
    for (const char *m = mark; *m; ++m)
        keep(static_cast<unsigned char>(*m));
}

void CappedDevice::take(unsigned char c)
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
        if (c != static_cast<unsigned char>(kOpening[m_marks]))
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
                    closeRun("-->");
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
void CappedDevice::endOfRun(unsigned char c, unsigned char markChar, const char *closing, int marks)
{
    if (c == '>' && m_marks >= marks) {
        if (m_cutting)
            closeRun(closing);
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
void CappedDevice::enterDoctype(unsigned char c)
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

} // namespace Gpx
