#include "areaoptionsdialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>

namespace {

constexpr double kMaxMarginKm = 20.0;
constexpr double kMarginStepKm = 0.5;
constexpr double kMaxOverlapCm = 5.0;
constexpr double kOverlapStepCm = 0.5;
constexpr int kDecimals = 1;

const QPageSize::PageSizeId kPapers[] = {QPageSize::A4, QPageSize::A3, QPageSize::A5,
                                         QPageSize::Letter};

QDoubleSpinBox *spinBox(double value, double maximum, double step, const QString &suffix,
                        QWidget *parent)
{
    auto *box = new QDoubleSpinBox(parent);
    box->setDecimals(kDecimals);
    box->setRange(0.0, maximum);
    box->setSingleStep(step);
    box->setSuffix(suffix);
    box->setValue(value);
    return box;
}

} // namespace

AreaOptionsDialog::AreaOptionsDialog(const AreaPrintOptions &options, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("AreaOptionsDialog"));
    setWindowTitle(QStringLiteral("Imprimer la zone"));
    auto *form = new QFormLayout(this);
    Marge = spinBox(options.marginKm, kMaxMarginKm, kMarginStepKm, QStringLiteral(" km"), this);
    Marge->setObjectName(QStringLiteral("Marge"));
    form->addRow(QStringLiteral("Marge autour de la route :"), Marge);
    Recouvrement =
        spinBox(options.overlapCm, kMaxOverlapCm, kOverlapStepCm, QStringLiteral(" cm"), this);
    Recouvrement->setObjectName(QStringLiteral("Recouvrement"));
    form->addRow(QStringLiteral("Recouvrement des pages :"), Recouvrement);
    Papier = new QComboBox(this);
    Papier->setObjectName(QStringLiteral("Papier"));
    for (const QPageSize::PageSizeId id : kPapers) {
        Papier->addItem(QPageSize::name(id), int(id));
        if (id == options.paperSize)
            Papier->setCurrentIndex(Papier->count() - 1);
    }
    form->addRow(QStringLiteral("Papier :"), Papier);
    Orientation = new QComboBox(this);
    Orientation->setObjectName(QStringLiteral("Orientation"));
    Orientation->addItem(QStringLiteral("Portrait"), int(QPageLayout::Portrait));
    Orientation->addItem(QStringLiteral("Paysage"), int(QPageLayout::Landscape));
    Orientation->setCurrentIndex(options.orientation == QPageLayout::Landscape ? 1 : 0);
    form->addRow(QStringLiteral("Orientation :"), Orientation);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

AreaPrintOptions AreaOptionsDialog::options() const
{
    AreaPrintOptions options;
    options.marginKm = Marge->value();
    options.overlapCm = Recouvrement->value();
    options.paperSize = QPageSize::PageSizeId(Papier->currentData().toInt());
    options.orientation = QPageLayout::Orientation(Orientation->currentData().toInt());
    return options;
}
