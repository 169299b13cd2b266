#include "appstate.h"

QString AppState::project_file(const QString &name) const
{
    return projectDirectory() + name;
}

QString AppState::projectDirectory() const
{
    return programDirectory + projectName + kPathSeparator;
}

namespace {

QChar asciiLower(QChar c)
{
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ? QChar(c.unicode() + 32) : c;
}

} // namespace

QString project_name_from_folder(const QString &programDirectory, const QString &folder)
{
    qsizetype matched = 0;
    while (matched < programDirectory.size() && matched < folder.size() &&
           asciiLower(programDirectory.at(matched)) == asciiLower(folder.at(matched)))
        ++matched;
    return folder.mid(matched);
}
