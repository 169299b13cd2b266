#pragma once

#include "mappanel.h"

// The verification panel: the calibration read or validated, the pointer's
// UTM position and the scale, to be confirmed or done again.
class VerificationPanel : public MapPanel
{
    Q_OBJECT
public:
    VerificationPanel(MapPanelHost host, QWidget *parent);

    void refresh() override;

    void C_BonneClick();
    void C_FauuseClick();

    QLabel *LZone = nullptr;
    QLabel *LLettre = nullptr;
    QLabel *LSysteme = nullptr;
    QLabel *LX = nullptr;
    QLabel *LY = nullptr;
    QLabel *LEchelle = nullptr;
    QPushButton *C_Bonne = nullptr;
    QPushButton *C_Fauuse = nullptr;
    QPushButton *Button1 = nullptr;
};
