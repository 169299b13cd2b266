#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The density fields of a map's JFIF header: how many dots per unit the scan
// was made at, which gives the printed scale and the size of what is drawn on
// the map.
struct JfifDensity
{
    quint8 unitsCode = 0; // 1: dots per inch; 2 (and anything else): per centimetre
    quint16 xdens = 0;
    quint16 ydens = 0;
};

// Scans the bytes for the first run of the letters F, I and J that is exactly
// "JFIF", then reads the fields that follow the identifier's zero byte and
// version. Running off the end fails with "Lecture au-delà de la fin de
// fichier".
JfifDensity scanJfifDensity(const QByteArray &bytes);

// The same on the map file, opened for reading only: a map on a read-only
// folder can be calibrated, and nothing is ever written to a map.
JfifDensity readJfifDensity(const QString &mapPath);
