#pragma once

#include "speedtable.h"

#include <QByteArray>
#include <QString>

enum class ViewMode { Catalogue, Itinerary };

// The run-time state shared by every window, one instance for the run.
struct AppState
{
    QString programDirectory; // directory of the executable, with its trailing '/'
    QString projectName;      // relative to programDirectory; empty: no project open
    ViewMode viewMode = ViewMode::Catalogue;
    SpeedTable speedTable;

    // Transfer areas between a file and a grid. The itinerary block keeps the
    // reserved bytes of the last load so that a save writes them back.
    QByteArray catalogueBlock;
    QByteArray itineraryBlock;

    // programDirectory + projectName + '/' + name
    QString project_file(const QString &name) const;
    // programDirectory + projectName + '/'
    QString projectDirectory() const;
};

// The project name of a folder picked below the program directory: the picked
// path less the leading characters it shares with the program directory
// (ASCII letters compared without regard to case).
QString project_name_from_folder(const QString &programDirectory, const QString &folder);

constexpr QChar kPathSeparator = QLatin1Char('/');
