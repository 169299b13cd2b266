#include "mapexportdialog.h"

#include "data/quorerror.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// The margin as "Imprimer la zone" offers it.
constexpr double kMaxMarginKm = 20.0;
constexpr double kMarginStepKm = 0.5;
constexpr int kDecimals = 1;
constexpr int kMessageWidthChars = 60;

const QString kFormatNames[] = {QStringLiteral("GeoTIFF (.tif)"),
                                QStringLiteral("MBTiles (.mbtiles)"), QStringLiteral("KMZ (.kmz)")};
const MapExport::Format kFormats[] = {MapExport::Format::GeoTiff, MapExport::Format::MBTiles,
                                      MapExport::Format::Kmz};

QString reductionText(double reduction)
{
    if (reduction == 1.0)
        return QStringLiteral("Pleine résolution");
    return QStringLiteral("Pixels %1 fois plus grands")
        .arg(QLocale(QLocale::French).toString(reduction));
}

} // namespace

MapExportDialog::MapExportDialog(const MapExportOptions &options, bool hasRoute, QWidget *parent)
    : QDialog(parent), m_given(options)
{
    setObjectName(QStringLiteral("MapExportDialog"));
    setWindowTitle(QStringLiteral("Exporter la carte"));
    auto *form = new QFormLayout(this);
    // The dialog takes the size its contents ask for whenever they change:
    // a wrapped message of three lines, or resolutions that grow a tile
    // count, are shown whole.
    form->setSizeConstraint(QLayout::SetFixedSize);

    Format = new QComboBox(this);
    Format->setObjectName(QStringLiteral("Format"));
    for (int i = 0; i < int(std::size(kFormats)); ++i) {
        Format->addItem(kFormatNames[i], int(kFormats[i]));
        if (kFormats[i] == options.format)
            Format->setCurrentIndex(i);
    }
    form->addRow(QStringLiteral("Format :"), Format);

    CarteEntiere = new QRadioButton(QStringLiteral("Toute la carte"), this);
    CarteEntiere->setObjectName(QStringLiteral("CarteEntiere"));
    ZoneRoute = new QRadioButton(QStringLiteral("La zone de la route"), this);
    ZoneRoute->setObjectName(QStringLiteral("ZoneRoute"));
    ZoneRoute->setEnabled(hasRoute);
    (options.routeArea && hasRoute ? ZoneRoute : CarteEntiere)->setChecked(true);
    auto *extent = new QVBoxLayout;
    extent->addWidget(CarteEntiere);
    extent->addWidget(ZoneRoute);
    form->addRow(QStringLiteral("Étendue :"), extent);

    Marge = new QDoubleSpinBox(this);
    Marge->setObjectName(QStringLiteral("Marge"));
    Marge->setDecimals(kDecimals);
    Marge->setRange(0.0, kMaxMarginKm);
    Marge->setSingleStep(kMarginStepKm);
    Marge->setSuffix(QStringLiteral(" km"));
    Marge->setValue(options.marginKm);
    form->addRow(QStringLiteral("Marge autour de la route :"), Marge);

    AvecRoute = new QCheckBox(QStringLiteral("Dessiner la route et les noms de ses points"), this);
    AvecRoute->setObjectName(QStringLiteral("AvecRoute"));
    AvecRoute->setEnabled(hasRoute);
    AvecRoute->setChecked(options.drawRoute && hasRoute);
    form->addRow(AvecRoute);

    Resolution = new QComboBox(this);
    Resolution->setObjectName(QStringLiteral("Resolution"));
    Resolution->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    for (const double reduction : MapExport::kKmzReductions) {
        Resolution->addItem(reductionText(reduction), reduction);
        if (reduction == options.kmzReduction)
            Resolution->setCurrentIndex(Resolution->count() - 1);
    }
    m_resolutionCaption = new QLabel(QStringLiteral("Résolution du KMZ :"), this);
    form->addRow(m_resolutionCaption, Resolution);
    Tuiles = new QLabel(this);
    Tuiles->setObjectName(QStringLiteral("Tuiles"));
    Tuiles->setWordWrap(true);
    // Wide enough that the longest refusal takes three lines, not ten.
    Tuiles->setMinimumWidth(Tuiles->fontMetrics().averageCharWidth() * kMessageWidthChars);
    form->addRow(Tuiles);

    Boutons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    Boutons->setObjectName(QStringLiteral("Boutons"));
    form->addRow(Boutons);
    connect(Boutons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Boutons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    connect(Format, &QComboBox::currentIndexChanged, this, &MapExportDialog::update);
    connect(ZoneRoute, &QRadioButton::toggled, this, &MapExportDialog::update);
    connect(Marge, &QDoubleSpinBox::valueChanged, this, &MapExportDialog::update);
    connect(Resolution, &QComboBox::currentIndexChanged, this, &MapExportDialog::update);
    update();
}

MapExportOptions MapExportDialog::options() const
{
    MapExportOptions options;
    options.format = MapExport::Format(Format->currentData().toInt());
    // Without a picked route, the route's choices could not be made: those
    // the dialog was given are kept for the next export that has one.
    options.routeArea = ZoneRoute->isEnabled() ? ZoneRoute->isChecked() : m_given.routeArea;
    options.marginKm = Marge->value();
    options.drawRoute = AvecRoute->isEnabled() ? AvecRoute->isChecked() : m_given.drawRoute;
    options.kmzReduction = Resolution->currentData().toDouble();
    return options;
}

void MapExportDialog::setTileCounter(TileCounter counter)
{
    m_counter = std::move(counter);
    update();
}

void MapExportDialog::update()
{
    const MapExportOptions chosen = options();
    Marge->setEnabled(ZoneRoute->isChecked());
    const bool kmz = chosen.format == MapExport::Format::Kmz;
    m_resolutionCaption->setVisible(kmz);
    Resolution->setVisible(kmz);
    Tuiles->setVisible(kmz && m_counter);
    bool fits = true;
    if (kmz && m_counter) {
        // Each resolution says how many tiles it would make, so that the
        // user sees at once which ones fit.
        const QSignalBlocker quiet(Resolution);
        for (int i = 0; i < Resolution->count(); ++i) {
            MapExportOptions trial = chosen;
            trial.kmzReduction = Resolution->itemData(i).toDouble();
            QString text = reductionText(trial.kmzReduction);
            try {
                text += QStringLiteral(" : %1 tuiles").arg(m_counter(trial));
            } catch (const QuorError &) {
            }
            Resolution->setItemText(i, text);
        }
        try {
            const int tiles = m_counter(chosen);
            fits = tiles <= MapExport::kMaxKmzTiles;
            Tuiles->setText(fits ? QStringLiteral("%1 tuiles de %2 × %2 pixels au plus.")
                                       .arg(tiles)
                                       .arg(MapExport::kMaxKmzTileSize)
                                 : MapExport::tooManyTilesText(tiles));
        } catch (const QuorError &error) {
            Tuiles->setText(error.text());
        }
    }
    Boutons->button(QDialogButtonBox::Ok)->setEnabled(fits);
}
