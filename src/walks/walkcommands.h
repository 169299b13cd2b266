#pragma once

#include <QString>
#include <QTimeZone>

class Platform;
class QPrinter;
class QWidget;
class StringGrid;
struct AppState;

// The commands of recorded walks: the speed table learned from them, and
// the open itinerary compared with one.
namespace WalkCommands {

inline const QString kLearnCaption = QStringLiteral("Apprendre mes vitesses…");
inline const QString kCompareCaption = QStringLiteral("Comparer avec une trace…");
inline const QString kApplyQuestion =
    QStringLiteral("Remplacer les vitesses de marche de la table (Monté, Plat, Descente) par "
                   "celles apprises ?");
inline const QString kTerrainQuestion =
    QStringLiteral("Prendre les altitudes du modèle de terrain du projet pour tous les points ? "
                   "(Non : celles des traces, et le modèle seulement là où elles n'en ont pas.)");

// Picks recorded walks, learns the walking rates from them and shows them
// beside the current ones; on "Appliquer" and "&Oui" to kApplyQuestion, the
// learned rates are stored in the speed table and saved with it. Nothing
// else is ever written.
void learnSpeeds(Platform &platform, QWidget *parent, AppState &state);

// Picks a recorded walk and shows the open itinerary (the catalogue row
// `catalogueRow`) against it, with its printout on `printer` and its CSV
// export. The itinerary and its files are not changed.
void compareWithTrack(Platform &platform, QWidget *parent, const AppState &state,
                      const StringGrid &stages, const StringGrid &catalogue, int catalogueRow,
                      QPrinter &printer, const QTimeZone &zone = QTimeZone::systemTimeZone());

} // namespace WalkCommands
