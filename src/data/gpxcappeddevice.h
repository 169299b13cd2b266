#pragma once

// The bytes of a GPX file on their way to the XML reader (gpxreader.cpp);
// internal to the GPX reader.

#include "progress.h"

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QPair>

namespace Gpx {

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
    CappedDevice(QIODevice &source, qint64 limit, qint64 total, const Progress &progress);

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
    QPair<qint64, qint64> filePosition(qint64 line, qint64 column) const;
    // The last line of the file, once the XML reader has been given it all.
    qint64 lastLine() const;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
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

    static constexpr qint64 kChunk = 64LL * 1024;
    // A reference longer than this is no entity of a GPX file: the text may be
    // cut inside it.
    static constexpr int kMaxReference = 1024;

    void fill();
    bool isLineBreak(unsigned char c) const { return c == '\n' ? m_last != '\r' : c == '\r'; }
    bool isCharacter(unsigned char c) const;
    void step(unsigned char c);
    void keep(unsigned char c);
    void cut(unsigned char c);
    void keepOrCut(unsigned char c, bool safe);
    void startRun(State state);
    void closeRun(const char *mark);
    void take(unsigned char c);
    void endOfRun(unsigned char c, unsigned char markChar, const char *closing, int marks);
    void enterDoctype(unsigned char c);

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

} // namespace Gpx
