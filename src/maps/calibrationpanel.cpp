#include "calibrationpanel.h"

#include "mapsession.h"
#include "widgets/editmask.h"
#include "widgets/updown.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace {

constexpr int kSpinnerWidth = 17;
constexpr int kSpinnerHeight = 24;
constexpr int kColumns = 3;
const QString kEastingMask = QStringLiteral("999999");
const QString kNorthingMask = QStringLiteral("9999999");

} // namespace

CalibrationPanel::CalibrationPanel(MapPanelHost host, QWidget *parent)
    : MapPanel(QStringLiteral("Calibra"), kWidth, std::move(host), parent)
{
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    int row = 0;
    grid->addWidget(caption(QStringLiteral("Calibration de la carte")), row++, 0, 1, kColumns);
    grid->addWidget(caption(QStringLiteral("En UTM")), row++, 0, 1, kColumns);
    grid->addWidget(caption(QStringLiteral("Zone")), row, 0);
    grid->addWidget(caption(QStringLiteral("Lettre")), row, 1);
    grid->addWidget(caption(QStringLiteral("Système")), row++, 2);

    auto spinnerField = [this, grid, row](QLineEdit *&field, UpDown *&spinner, const QString &name,
                                          const QString &spinnerName, int column) {
        auto *box = new QWidget(this);
        auto *h = new QHBoxLayout(box);
        h->setContentsMargins(0, 0, 0, 0);
        h->setSpacing(0);
        field = new QLineEdit(box);
        field->setObjectName(name);
        field->setEnabled(false);
        spinner = new UpDown(box);
        spinner->setObjectName(spinnerName);
        spinner->setFixedSize(kSpinnerWidth, kSpinnerHeight);
        h->addWidget(field);
        h->addWidget(spinner);
        grid->addWidget(box, row, column);
    };
    spinnerField(M_Zone, UpZone, QStringLiteral("M_Zone"), QStringLiteral("UpZone"), 0);
    spinnerField(M_lettre, UpLettre, QStringLiteral("M_lettre"), QStringLiteral("UpLettre"), 1);
    spinnerField(M_Systeme, UpSystem, QStringLiteral("M_Systeme"), QStringLiteral("UpSystem"), 2);
    ++row;
    UpZone->setRange(MapSession::kMinZone, MapSession::kMaxZone);
    UpLettre->setRange(MapSession::kFirstLetter, MapSession::kLastLetter);
    UpSystem->setRange(MapSession::kDatumEd50, MapSession::kDatumWgs84);
    connect(UpZone, &UpDown::clicked, this, [this] { UpZoneClick(); });
    connect(UpLettre, &UpDown::clicked, this, [this] { UpLettreClick(); });
    connect(UpSystem, &UpDown::clicked, this, [this] { UpSystemClick(); });

    const QString boxCaptions[3] = {QStringLiteral("Point 1 (haut-gauche)"),
                                    QStringLiteral("Point 2 (Bas-droit)"),
                                    QStringLiteral("Point 3 (Bas-gauche)")};
    for (int k = 0; k < 3; ++k) {
        const QString n = QString::number(k + 1);
        auto *box = new QCheckBox(boxCaptions[k], this);
        box->setObjectName(QStringLiteral("CheckP") + n);
        grid->addWidget(box, row++, 0, 1, kColumns);
        m_pointBoxes[k] = box;
        connect(box, &QCheckBox::toggled, this, [this, k](bool checked) {
            run([=, this] { m_session.setPointChecked(k, checked); });
        });

        auto pointRow = [&](const QString &axis, QLabel *&pixel, QLineEdit *&field,
                            const QString &mask) {
            grid->addWidget(caption(axis + n), row, 0);
            pixel = new QLabel(this);
            pixel->setObjectName(axis + n + QStringLiteral("_i"));
            grid->addWidget(pixel, row, 1);
            field = new QLineEdit(this);
            field->setObjectName(axis + n + QStringLiteral("_c"));
            auto *validator = new MaskValidator(mask, field);
            field->setValidator(validator);
            field->setMaxLength(validator->maxLength());
            grid->addWidget(field, row++, 2);
        };
        pointRow(QStringLiteral("X"), m_pixelX[k], m_eastings[k], kEastingMask);
        pointRow(QStringLiteral("Y"), m_pixelY[k], m_northings[k], kNorthingMask);
        connect(m_eastings[k], &QLineEdit::textChanged, this, [this, k](const QString &text) {
            run([=, this] { m_session.setEasting(k, text); });
        });
        connect(m_northings[k], &QLineEdit::textChanged, this, [this, k](const QString &text) {
            run([=, this] { m_session.setNorthing(k, text); });
        });
    }
    CheckP1 = m_pointBoxes[0];
    CheckP2 = m_pointBoxes[1];
    CheckP3 = m_pointBoxes[2];
    X1_i = m_pixelX[0];
    X2_i = m_pixelX[1];
    X3_i = m_pixelX[2];
    Y1_i = m_pixelY[0];
    Y2_i = m_pixelY[1];
    Y3_i = m_pixelY[2];
    X1_c = m_eastings[0];
    X2_c = m_eastings[1];
    X3_c = m_eastings[2];
    Y1_c = m_northings[0];
    Y2_c = m_northings[1];
    Y3_c = m_northings[2];

    ValiCalibr = button(QStringLiteral("ValiCalibr"), QStringLiteral("&Valider la calibration"));
    grid->addWidget(ValiCalibr, row++, 0, 1, kColumns);
    grid->setRowStretch(row, 1);
    connect(ValiCalibr, &QPushButton::clicked, this, [this] { ValiCalibrClick(); });
    refresh();
}

void CalibrationPanel::refresh()
{
    const MapSession::CalibrationForm &form = m_session.form();
    UpZone->setPosition(form.zone);
    UpLettre->setPosition(form.letter);
    UpSystem->setPosition(form.datum);
    display(M_Zone, m_session.zoneText());
    display(M_lettre, m_session.letterText());
    display(M_Systeme, m_session.datumText());
    for (int k = 0; k < 3; ++k) {
        if (m_pointBoxes[k]->isChecked() != form.checked[k]) {
            const QSignalBlocker blocker(m_pointBoxes[k]);
            m_pointBoxes[k]->setChecked(form.checked[k]);
        }
        display(m_pixelX[k], form.points[k].x);
        display(m_pixelY[k], form.points[k].y);
        display(m_eastings[k], form.points[k].easting);
        display(m_northings[k], form.points[k].northing);
    }
    setEnabled(!m_session.loadFailed());
}

void CalibrationPanel::UpZoneClick()
{
    run([this] { m_session.setZone(UpZone->position()); });
}

void CalibrationPanel::UpLettreClick()
{
    run([this] { m_session.setLetter(UpLettre->position()); });
}

void CalibrationPanel::UpSystemClick()
{
    run([this] { m_session.setDatum(UpSystem->position()); });
}

void CalibrationPanel::ValiCalibrClick()
{
    run([this] { m_session.validateCalibration(); });
}
