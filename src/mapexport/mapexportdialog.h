#pragma once

#include "mapexport.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QDoubleSpinBox;
class QLabel;
class QRadioButton;

// What the user chooses before "Exporter la carte".
struct MapExportOptions
{
    MapExport::Format format = MapExport::Format::GeoTiff;
    bool routeArea = false; // the picked route's area rather than the whole map
    double marginKm = 1.0;  // around the route, as "Imprimer la zone"
    // The picked route and its waypoint labels drawn as on screen; without
    // them, the clean scan with its grid labels.
    bool drawRoute = true;
    double kmzReduction = 1.0; // one of MapExport::kKmzReductions
};

// The options of "Exporter la carte": format, extent, the route drawn or not,
// and for a KMZ its resolution. No logic: the caller counts a KMZ's tiles
// (MapExport::kmzTiles) through setTileCounter, and the dialog shows the
// count beside each resolution and refuses OK while the chosen one is beyond
// what receivers read. For example:
//
//   MapExportDialog dialog(options, hasPickedRoute, window);
//   dialog.setTileCounter([&](const MapExportOptions &o) {
//       return MapExport::kmzTiles(requestFor(o)); // extent, picture, reduction
//   });
//   if (platform.runDialog(dialog))
//       MapExport::exportMap(requestFor(dialog.options()), progress);
class MapExportDialog : public QDialog
{
    Q_OBJECT
public:
    // Without a picked route, the route's area and the route's drawing
    // cannot be chosen, and options() gives them as `options` had them.
    MapExportDialog(const MapExportOptions &options, bool hasRoute, QWidget *parent = nullptr);

    MapExportOptions options() const;

    // The tiles of a KMZ with the options given; throws the French text of
    // a refusal, which the dialog shows instead of the count. Called
    // whenever a KMZ's options change, and for each resolution offered.
    using TileCounter = std::function<int(const MapExportOptions &)>;
    void setTileCounter(TileCounter counter);

    QComboBox *Format = nullptr;
    QRadioButton *CarteEntiere = nullptr;
    QRadioButton *ZoneRoute = nullptr;
    QDoubleSpinBox *Marge = nullptr;
    QCheckBox *AvecRoute = nullptr;
    QComboBox *Resolution = nullptr; // KMZ only
    QLabel *Tuiles = nullptr;        // KMZ only: the count, or why it is too many
    QDialogButtonBox *Boutons = nullptr;

private:
    void update();

    MapExportOptions m_given;
    TileCounter m_counter;
    QLabel *m_resolutionCaption = nullptr;
};
