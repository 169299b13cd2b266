#pragma once

#include "arealayout.h"
#include "mapexport/mapexportdialog.h"
#include "mappanel.h"

class StringListView;

// The routes panel: the project's routes, created, deleted, and opened on
// the waypoints panel.
class RoutesPanel : public MapPanel
{
    Q_OBJECT
public:
    static constexpr int kRoutesWidth = 230;

    RoutesPanel(MapPanelHost host, QWidget *parent);

    void refresh() override;

    void ChRoutesClick(int row);
    void RNouvelleClick();
    void RSupprimerClick();
    void RWaypointsClick();
    // Beyond the list: the picked route's part of the map printed.
    void RZoneClick();
    // The picked route to a GPX file, and a route or track of a GPX file
    // brought onto the map as a new route.
    void RExportGpxClick();
    void RImportGpxClick();
    void RExportCarteClick();

    QPushButton *RWaypoints = nullptr;
    QLineEdit *RLWaypoints = nullptr;
    StringListView *ChRoutes = nullptr;
    QPushButton *RNouvelle = nullptr;
    QLineEdit *RLNouvelle = nullptr;
    QPushButton *RSupprimer = nullptr;
    QLineEdit *RLsupprimer = nullptr;
    QPushButton *Button2 = nullptr;
    QPushButton *RZone = nullptr;
    QPushButton *RExportGpx = nullptr;
    QPushButton *RImportGpx = nullptr;
    QPushButton *RExportCarte = nullptr; // "Exporter la carte…"
    QPushButton *RProfil = nullptr;  // the picked route on the ground
    QPushButton *RTerrain = nullptr; // "Modèle de terrain…"

private:
    // What "Exporter la carte" writes with `options`: the picture with the
    // route drawn or not, the extent, the grid, the name.
    // `draw`: the picture is drawn for it; else it is left as it is.
    MapExport::Request exportRequest(const MapExportOptions &options, bool draw);
    // "Importer GPX" once the file is chosen; Cancelled when the user stops
    // a long step.
    void importGpx(const QString &path);

    // The options chosen last, proposed again at the next print.
    AreaPrintOptions m_areaOptions;
    MapExportOptions m_exportOptions;
};
