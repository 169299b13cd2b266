#pragma once

#include <QString>
#include <QStringList>

// An INI text file in the Windows private-profile form: sections in square
// brackets, key=value lines, section and key names compared without regard to
// case. Lines the program does not know are kept as they are.
class IniFile
{
public:
    static IniFile fromBytes(const QByteArray &bytes);
    QByteArray toBytes() const;

    QString value(const QString &section, const QString &key,
                  const QString &defaultValue = QString()) const;
    int intValue(const QString &section, const QString &key, int defaultValue) const;
    void setValue(const QString &section, const QString &key, const QString &value);

private:
    // Index of the section header line, or -1.
    int findSection(const QString &section) const;
    // Index of the key line inside the section starting at `header`, or -1.
    int findKey(int header, const QString &key) const;
    int sectionEnd(int header) const;

    QStringList m_lines;
};

struct Settings
{
    QString projectName;
    int itinerary = 0;
};

// The settings file of a program directory (ending with '/').
QString settingsPath(const QString &programDirectory);

// ProgramDirectory/Quori.qud. Reading never fails: a missing file, section or
// key, or a value that is not a number, gives the defaults.
Settings read_settings(const QString &programDirectory);
// Writes "Nom" and "Itinéraire" (always 0), keeping everything else. A file
// that cannot be opened for writing stays untouched and gives its error.
void write_settings(const QString &programDirectory, const QString &projectName);
