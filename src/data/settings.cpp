#include "settings.h"

#include "cp1252.h"
#include "filelayer.h"
#include "quorerror.h"
#include "textforms.h"

namespace {

const QString kSection = QStringLiteral("Projet");
const QString kKeyName = QStringLiteral("Nom");
const QString kKeyItinerary = QStringLiteral("Itinéraire");

bool isSectionLine(const QString &line, QString *name = nullptr)
{
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(QLatin1Char('[')))
        return false;
    const qsizetype close = trimmed.indexOf(QLatin1Char(']'));
    if (close < 0)
        return false;
    if (name)
        *name = trimmed.mid(1, close - 1).trimmed();
    return true;
}

bool keyOf(const QString &line, QString &key, QString &value)
{
    const QString trimmed = line.trimmed();
    if (trimmed.startsWith(QLatin1Char(';')))
        return false;
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return false;
    key = line.left(eq).trimmed();
    value = line.mid(eq + 1).trimmed();
    // The private-profile reader drops one pair of surrounding quotes.
    if (value.size() >= 2 && value.front() == value.back() &&
        (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')))
        value = value.mid(1, value.size() - 2);
    return true;
}

} // namespace

QString settingsPath(const QString &programDirectory)
{
    return programDirectory + QStringLiteral("Quori.qud");
}

IniFile IniFile::fromBytes(const QByteArray &bytes)
{
    IniFile ini;
    const QString text = fromCp1252(bytes);
    QString line;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            ini.m_lines.append(line);
            line.clear();
            if (c == QLatin1Char('\r') && i + 1 < text.size() &&
                text.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else {
            line.append(c);
        }
    }
    if (!line.isEmpty())
        ini.m_lines.append(line);
    return ini;
}

QByteArray IniFile::toBytes() const
{
    QByteArray out;
    for (const QString &line : m_lines) {
        out.append(toCp1252(line));
        out.append("\r\n");
    }
    return out;
}

int IniFile::findSection(const QString &section) const
{
    QString name;
    for (int i = 0; i < m_lines.size(); ++i) {
        if (isSectionLine(m_lines.at(i), &name) && name.compare(section, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int IniFile::sectionEnd(int header) const
{
    int i = header + 1;
    while (i < m_lines.size() && !isSectionLine(m_lines.at(i)))
        ++i;
    return i;
}

int IniFile::findKey(int header, const QString &key) const
{
    const int end = sectionEnd(header);
    QString k, v;
    for (int i = header + 1; i < end; ++i) {
        if (keyOf(m_lines.at(i), k, v) && k.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString IniFile::value(const QString &section, const QString &key,
                       const QString &defaultValue) const
{
    const int header = findSection(section);
    if (header < 0)
        return defaultValue;
    const int line = findKey(header, key);
    if (line < 0)
        return defaultValue;
    QString k, v;
    keyOf(m_lines.at(line), k, v);
    return v;
}

int IniFile::intValue(const QString &section, const QString &key, int defaultValue) const
{
    qint32 v = 0;
    if (tryParseInteger(value(section, key), v))
        return v;
    return defaultValue;
}

void IniFile::setValue(const QString &section, const QString &key, const QString &value)
{
    const QString line = key + QLatin1Char('=') + value;
    int header = findSection(section);
    if (header < 0) {
        m_lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        m_lines.append(line);
        return;
    }
    const int existing = findKey(header, key);
    if (existing >= 0) {
        m_lines[existing] = line;
        return;
    }
    // After the section's last non-blank line.
    int end = sectionEnd(header);
    while (end > header + 1 && m_lines.at(end - 1).trimmed().isEmpty())
        --end;
    m_lines.insert(end, line);
}

Settings read_settings(const QString &programDirectory)
{
    Settings settings;
    QByteArray bytes;
    if (FileLayer::tryReadAll(settingsPath(programDirectory), bytes) != 0)
        return settings;
    const IniFile ini = IniFile::fromBytes(bytes);
    settings.projectName = ini.value(kSection, kKeyName);
    settings.itinerary = ini.intValue(kSection, kKeyItinerary, 0);
    return settings;
}

void write_settings(const QString &programDirectory, const QString &projectName)
{
    const QString path = settingsPath(programDirectory);
    // A read-only settings file stays as it is and gives its error: the atomic
    // rename would replace it anyway.
    if (FileLayer::fileExists(path)) {
        if (const int code = FileLayer::probeReadWrite(path))
            throwIoError(code);
    }
    QByteArray bytes;
    FileLayer::tryReadAll(path, bytes);
    IniFile ini = IniFile::fromBytes(bytes);
    ini.setValue(kSection, kKeyName, projectName);
    ini.setValue(kSection, kKeyItinerary, QStringLiteral("0"));
    FileLayer::writeAtomic(path, ini.toBytes());
}
