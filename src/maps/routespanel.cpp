#include "routespanel.h"

#include "areaoptionsdialog.h"
#include "areaprint.h"
#include "gridlabels.h"
#include "mapsession.h"
#include "platform/platform.h"
#include "widgets/stringlistview.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

RoutesPanel::RoutesPanel(MapPanelHost host, QWidget *parent)
    : MapPanel(QStringLiteral("Routes"), kRoutesWidth, std::move(host), parent)
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    column->addWidget(caption(QStringLiteral("Routes")));
    auto edit = [this, column](QLineEdit *&target, const QString &name, bool readOnly) {
        target = new QLineEdit(this);
        target->setObjectName(name);
        target->setReadOnly(readOnly);
        column->addWidget(target);
    };
    RWaypoints = button(QStringLiteral("RWaypoints"), QStringLiteral("Listes des WayPoints"));
    column->addWidget(RWaypoints);
    edit(RLWaypoints, QStringLiteral("RLWaypoints"), true);
    ChRoutes = new StringListView(m_session.routes(), this);
    ChRoutes->setObjectName(QStringLiteral("ChRoutes"));
    column->addWidget(ChRoutes, 1);
    RNouvelle = button(QStringLiteral("RNouvelle"), QStringLiteral("Nouvelle"));
    column->addWidget(RNouvelle);
    edit(RLNouvelle, QStringLiteral("RLNouvelle"), false);
    RSupprimer = button(QStringLiteral("RSupprimer"), QStringLiteral("Supprimer"));
    column->addWidget(RSupprimer);
    edit(RLsupprimer, QStringLiteral("RLsupprimer"), true);
    RZone = button(QStringLiteral("RZone"), QStringLiteral("Imprimer la zone"));
    column->addWidget(RZone);
    Button2 = button(QStringLiteral("Button2"), QStringLiteral("Quiter"));
    column->addWidget(Button2);

    connect(ChRoutes, &StringListView::picked, this, [this](int row) { ChRoutesClick(row); });
    connect(RLNouvelle, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_session.setNewRouteName(text); });
    connect(RWaypoints, &QPushButton::clicked, this, [this] { RWaypointsClick(); });
    connect(RNouvelle, &QPushButton::clicked, this, [this] { RNouvelleClick(); });
    connect(RSupprimer, &QPushButton::clicked, this, [this] { RSupprimerClick(); });
    connect(RZone, &QPushButton::clicked, this, [this] { RZoneClick(); });
    connect(Button2, &QPushButton::clicked, this, [this] { m_host.quit(); });
    refresh();
}

void RoutesPanel::refresh()
{
    display(RLWaypoints, m_session.pickedRoute());
    display(RLsupprimer, m_session.pickedRoute());
    display(RLNouvelle, m_session.newRouteName());
    const bool usable = !m_session.loadFailed();
    RWaypoints->setEnabled(usable && m_session.routeButtonsEnabled());
    RSupprimer->setEnabled(usable && m_session.routeButtonsEnabled());
    RZone->setEnabled(usable && m_session.routeButtonsEnabled());
    RNouvelle->setEnabled(usable);
    ChRoutes->setEnabled(usable);
}

void RoutesPanel::ChRoutesClick(int row)
{
    run([this, row] { m_session.routes().select(row); });
}

void RoutesPanel::RNouvelleClick()
{
    run([this] { m_session.addRoute(); });
}

void RoutesPanel::RSupprimerClick()
{
    run([this] { m_session.deleteRoute(); });
}

void RoutesPanel::RWaypointsClick()
{
    run([this] { m_session.openWaypoints(); });
}

void RoutesPanel::RZoneClick()
{
    run([this] {
        if (!m_session.isReady() || m_session.pickedRoute().isEmpty())
            return;
        AreaOptionsDialog dialog(m_areaOptions, m_host.window);
        if (!m_host.platform.runDialog(dialog))
            return;
        m_areaOptions = dialog.options();
        // The route goes on the picture as the waypoints panel draws it, so
        // the paper shows what the screen shows.
        const QList<QPoint> waypoints = m_session.drawPickedRoute();
        const MapSession::Verification &v = m_session.verification();
        const AreaMap map{m_session.picture().size(), m_session.transform(), m_session.xdens(),
                          m_session.ydens(), m_session.pickedRoute(),
                          gridTitle(v.zone, v.letter, v.datum).trimmed()};
        printRouteArea(m_host.platform, m_host.window, m_host.printer(), m_session.picture(), map,
                       waypoints, m_areaOptions);
    });
}
