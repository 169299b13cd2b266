#include "verificationpanel.h"

#include "mapsession.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

VerificationPanel::VerificationPanel(MapPanelHost host, QWidget *parent)
    : MapPanel(QStringLiteral("VerifCalibra"), kWidth, std::move(host), parent)
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    column->addWidget(caption(QStringLiteral("Calibration")));
    column->addWidget(caption(QStringLiteral("de la carte")));
    auto label = [this, column](QLabel *&target, const QString &name) {
        target = new QLabel(this);
        target->setObjectName(name);
        column->addWidget(target);
    };
    label(LZone, QStringLiteral("LZone"));
    label(LLettre, QStringLiteral("LLettre"));
    label(LSysteme, QStringLiteral("LSysteme"));
    label(LX, QStringLiteral("LX"));
    label(LY, QStringLiteral("LY"));
    label(LEchelle, QStringLiteral("LEchelle"));
    C_Bonne = button(QStringLiteral("C_Bonne"), QStringLiteral("Correcte"));
    C_Fauuse = button(QStringLiteral("C_Fauuse"), QStringLiteral("A Refaire"));
    Button1 = button(QStringLiteral("Button1"), QStringLiteral("Quiter"));
    for (QPushButton *b : {C_Bonne, C_Fauuse, Button1})
        column->addWidget(b);
    column->addStretch(1);
    connect(C_Bonne, &QPushButton::clicked, this, [this] { C_BonneClick(); });
    connect(C_Fauuse, &QPushButton::clicked, this, [this] { C_FauuseClick(); });
    connect(Button1, &QPushButton::clicked, this, [this] { m_host.quit(); });
    refresh();
}

void VerificationPanel::refresh()
{
    const MapSession::Verification &v = m_session.verification();
    display(LZone, v.zone);
    display(LLettre, v.letter);
    display(LSysteme, v.datum);
    display(LX, v.x);
    display(LY, v.y);
    display(LEchelle, v.scale);
    const bool usable = !m_session.loadFailed();
    C_Bonne->setEnabled(usable);
    C_Fauuse->setEnabled(usable);
}

void VerificationPanel::C_BonneClick()
{
    run([this] { m_session.confirmCalibration(); });
}

void VerificationPanel::C_FauuseClick()
{
    run([this] { m_session.redoCalibration(); });
}
