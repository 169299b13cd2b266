#pragma once

#include "mappanel.h"

class StringListView;

// The waypoints panel: the open route's waypoints, placed by clicks on the
// map, their altitude and label position, the map changed or printed.
class WaypointsPanel : public MapPanel
{
    Q_OBJECT
public:
    WaypointsPanel(MapPanelHost host, QWidget *parent);

    void refresh() override;

    void WPointsClick(int row);
    void WZChange();
    void WsupprimerClick();
    void WHautClick();
    void WBasClick();
    void WGaucheClick();
    void WDroitClick();
    void WDessinerClick();
    void WnouveauClick();
    void WImprimerClick();
    void WAltitudesClick();

    QLabel *Label25 = nullptr;
    QLabel *WZone = nullptr;
    QLabel *WLettre = nullptr;
    QLabel *WSysteme = nullptr;
    QLabel *WCarte = nullptr;
    QLabel *WX = nullptr;
    QLabel *WY = nullptr;
    QLineEdit *WZ = nullptr;
    QLabel *WTerrain = nullptr;      // the ground's altitude under the pointer
    QPushButton *WAltitudes = nullptr;
    QPushButton *Wnouveau = nullptr;
    QPushButton *WImprimer = nullptr;
    QPushButton *WDessiner = nullptr;
    QPushButton *Wsupprimer = nullptr;
    StringListView *WPoints = nullptr;
    QPushButton *WHaut = nullptr;
    QPushButton *WBas = nullptr;
    QPushButton *WGauche = nullptr;
    QPushButton *WDroit = nullptr;
    QPushButton *Button3 = nullptr;
};
