#pragma once

#include "arealayout.h"

#include <QDialog>

class QComboBox;
class QDoubleSpinBox;

// The options of "Imprimer la zone": the ground kept around the route, the
// paper shared by neighbouring pages, the paper and its orientation.
class AreaOptionsDialog : public QDialog
{
    Q_OBJECT
public:
    AreaOptionsDialog(const AreaPrintOptions &options, QWidget *parent = nullptr);

    AreaPrintOptions options() const;

    QDoubleSpinBox *Marge = nullptr;
    QDoubleSpinBox *Recouvrement = nullptr;
    QComboBox *Papier = nullptr;
    QComboBox *Orientation = nullptr;
};
