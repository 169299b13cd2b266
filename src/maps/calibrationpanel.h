#pragma once

#include "mappanel.h"

#include <array>

class QCheckBox;
class UpDown;

// The calibration panel: zone, letter and datum, the three reference points
// captured with the pointer and typed in UTM, and the validation.
class CalibrationPanel : public MapPanel
{
    Q_OBJECT
public:
    CalibrationPanel(MapPanelHost host, QWidget *parent);

    void refresh() override;

    void UpZoneClick();
    void UpLettreClick();
    void UpSystemClick();
    void ValiCalibrClick();

    QLineEdit *M_Zone = nullptr;
    UpDown *UpZone = nullptr;
    QLineEdit *M_lettre = nullptr;
    UpDown *UpLettre = nullptr;
    QLineEdit *M_Systeme = nullptr;
    UpDown *UpSystem = nullptr;
    QCheckBox *CheckP1 = nullptr;
    QCheckBox *CheckP2 = nullptr;
    QCheckBox *CheckP3 = nullptr;
    QLabel *X1_i = nullptr;
    QLabel *Y1_i = nullptr;
    QLabel *X2_i = nullptr;
    QLabel *Y2_i = nullptr;
    QLabel *X3_i = nullptr;
    QLabel *Y3_i = nullptr;
    QLineEdit *X1_c = nullptr;
    QLineEdit *Y1_c = nullptr;
    QLineEdit *X2_c = nullptr;
    QLineEdit *Y2_c = nullptr;
    QLineEdit *X3_c = nullptr;
    QLineEdit *Y3_c = nullptr;
    QPushButton *ValiCalibr = nullptr;

private:
    // The point fields by point, for the loops over the three points.
    std::array<QLabel *, 3> m_pixelX{};
    std::array<QLabel *, 3> m_pixelY{};
    std::array<QLineEdit *, 3> m_eastings{};
    std::array<QLineEdit *, 3> m_northings{};
    std::array<QCheckBox *, 3> m_pointBoxes{};
};
