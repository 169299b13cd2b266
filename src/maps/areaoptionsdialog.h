#pragma once

#include "arealayout.h"

#include <QDialog>

class QComboBox;
class QDoubleSpinBox;
class QFormLayout;
class QLabel;
class QSpinBox;

// The options of "Imprimer la zone": the ground kept around the route, the
// paper shared by neighbouring pages, the paper and its orientation.
class AreaOptionsDialog : public QDialog
{
    Q_OBJECT
public:
    AreaOptionsDialog(const AreaPrintOptions &options, QWidget *parent = nullptr);

    AreaPrintOptions options() const;

    // For a picture whose file does not give its resolution: a row that asks
    // for it, with the scale the calibration gives at the usual ones.
    void askScanResolution(const MapTransform &transform);

    QDoubleSpinBox *Marge = nullptr;
    QDoubleSpinBox *Recouvrement = nullptr;
    QComboBox *Papier = nullptr;
    QComboBox *Orientation = nullptr;
    QSpinBox *Resolution = nullptr; // only when asked
    QLabel *Echelle = nullptr;      // the scale at the resolution chosen

private:
    QFormLayout *m_form = nullptr;
    int m_scanDotsPerInch = 0;
};
