#include "areaoptionsdialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>

namespace {

constexpr double kMaxMarginKm = 20.0;
constexpr double kMarginStepKm = 0.5;
constexpr double kMaxOverlapCm = 5.0;
constexpr double kOverlapStepCm = 0.5;
constexpr int kDecimals = 1;
constexpr int kLowestResolution = 50;
constexpr int kHighestResolution = 4800;

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
    : QDialog(parent), m_scanDotsPerInch(options.scanDotsPerInch)
{
    setObjectName(QStringLiteral("AreaOptionsDialog"));
    setWindowTitle(QStringLiteral("Imprimer la zone"));
    auto *form = m_form = new QFormLayout(this);
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

void AreaOptionsDialog::askScanResolution(const MapTransform &transform)
{
    using namespace AreaPrint;
    const int before = m_form->rowCount() - 1; // above the buttons
    auto *note = new QLabel(
        QStringLiteral("L'image de la carte n'indique pas sa résolution. Selon la calibration :\n") +
            impliedScales(transform),
        this);
    m_form->insertRow(before, note);
    Resolution = new QSpinBox(this);
    Resolution->setObjectName(QStringLiteral("Resolution"));
    Resolution->setRange(kLowestResolution, kHighestResolution);
    Resolution->setSuffix(QStringLiteral(" ppp"));
    Resolution->setValue(m_scanDotsPerInch);
    m_form->insertRow(before + 1, QStringLiteral("Résolution du scan :"), Resolution);
    Echelle = new QLabel(this);
    Echelle->setObjectName(QStringLiteral("Echelle"));
    m_form->insertRow(before + 2, QStringLiteral("Échelle imprimée :"), Echelle);
    const auto show = [this, transform](int dpi) {
        Echelle->setText(scaleText(trueScale(transform, {double(dpi), double(dpi)})));
    };
    connect(Resolution, &QSpinBox::valueChanged, this, show);
    show(Resolution->value());
}

AreaPrintOptions AreaOptionsDialog::options() const
{
    AreaPrintOptions options;
    options.marginKm = Marge->value();
    options.overlapCm = Recouvrement->value();
    options.paperSize = QPageSize::PageSizeId(Papier->currentData().toInt());
    options.orientation = QPageLayout::Orientation(Orientation->currentData().toInt());
    options.scanDotsPerInch = Resolution ? Resolution->value() : m_scanDotsPerInch;
    return options;
}
