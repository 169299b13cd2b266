#include "waypointspanel.h"

#include "data/appstate.h"
#include "editor/printers.h"
#include "mapprint.h"
#include "mapsession.h"
#include "terraincommand.h"
#include "platform/platform.h"
#include "waypointlist.h"
#include "widgets/stringlistview.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr int kColumns = 3;
// "Changer de carte" offers the pictures the map decoder reads.
const QString kMapFilter = QStringLiteral("Cartes JPEG|*.jpg;*.jpeg;*.jpe;*.jfif");

QString replaceQuestion(int typed)
{
    return typed == 1 ? QStringLiteral("Remplacer aussi l'altitude déjà saisie par celle du "
                                       "terrain ?")
                      : QStringLiteral("Remplacer aussi les %1 altitudes déjà saisies par celles "
                                       "du terrain ?")
                            .arg(typed);
}

} // namespace

WaypointsPanel::WaypointsPanel(MapPanelHost host, QWidget *parent)
    : MapPanel(QStringLiteral("Waypoints"), kWidth, std::move(host), parent)
{
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    int row = 0;
    auto text = [this](QLabel *&target, const QString &name) {
        target = new QLabel(this);
        target->setObjectName(name);
        return target;
    };
    grid->addWidget(text(Label25, QStringLiteral("Label25")), row++, 0, 1, kColumns);
    grid->addWidget(caption(QStringLiteral("Zone")), row, 0);
    grid->addWidget(caption(QStringLiteral("Lettre")), row, 1);
    grid->addWidget(caption(QStringLiteral("Système")), row++, 2);
    grid->addWidget(text(WZone, QStringLiteral("WZone")), row, 0);
    grid->addWidget(text(WLettre, QStringLiteral("WLettre")), row, 1);
    grid->addWidget(text(WSysteme, QStringLiteral("WSysteme")), row++, 2);
    auto field = [&](const QString &title, QWidget *value) {
        grid->addWidget(caption(title), row, 0);
        grid->addWidget(value, row++, 1, 1, kColumns - 1);
    };
    field(QStringLiteral("Carte"), text(WCarte, QStringLiteral("WCarte")));
    field(QStringLiteral("X"), text(WX, QStringLiteral("WX")));
    field(QStringLiteral("Y"), text(WY, QStringLiteral("WY")));
    WZ = new QLineEdit(this);
    WZ->setObjectName(QStringLiteral("WZ"));
    field(QStringLiteral("Altitude"), WZ);
    field(QStringLiteral("Terrain"), text(WTerrain, QStringLiteral("WTerrain")));

    auto wide = [&](QPushButton *&target, const QString &name, const QString &title) {
        target = button(name, title);
        grid->addWidget(target, row++, 0, 1, kColumns);
    };
    wide(Wnouveau, QStringLiteral("Wnouveau"), QStringLiteral("Changer de carte"));
    wide(WImprimer, QStringLiteral("WImprimer"), QStringLiteral("Imprimer"));
    wide(WAltitudes, QStringLiteral("WAltitudes"), QStringLiteral("Altitudes"));
    grid->addWidget(caption(QStringLiteral("Carte")), row++, 0, 1, kColumns);
    wide(WDessiner, QStringLiteral("WDessiner"), QStringLiteral("Redessiner"));
    wide(Wsupprimer, QStringLiteral("Wsupprimer"), QStringLiteral("Supprimer"));
    WPoints = new StringListView(m_session.waypoints(), this);
    WPoints->setObjectName(QStringLiteral("WPoints"));
    grid->addWidget(WPoints, row, 0, 1, kColumns);
    grid->setRowStretch(row++, 1);
    grid->addWidget(caption(QStringLiteral("Etiquette")), row++, 0, 1, kColumns);
    auto small = [&](QPushButton *&target, const QString &name, const QString &title, int r,
                     int c) {
        target = button(name, title);
        grid->addWidget(target, r, c);
    };
    small(WHaut, QStringLiteral("WHaut"), QStringLiteral("Haut"), row, 1);
    small(WGauche, QStringLiteral("WGauche"), QStringLiteral("Gauch"), row + 1, 0);
    small(WDroit, QStringLiteral("WDroit"), QStringLiteral("Droit"), row + 1, 2);
    small(WBas, QStringLiteral("WBas"), QStringLiteral("Bas"), row + 2, 1);
    row += 3;
    wide(Button3, QStringLiteral("Button3"), QStringLiteral("Quiter"));

    connect(WPoints, &StringListView::picked, this, [this](int r) { WPointsClick(r); });
    // Every change of the text, typed or shown by a selection, is stored.
    connect(WZ, &QLineEdit::textChanged, this, [this] { WZChange(); });
    connect(Wnouveau, &QPushButton::clicked, this, [this] { WnouveauClick(); });
    connect(WImprimer, &QPushButton::clicked, this, [this] { WImprimerClick(); });
    connect(WAltitudes, &QPushButton::clicked, this, [this] { WAltitudesClick(); });
    connect(WDessiner, &QPushButton::clicked, this, [this] { WDessinerClick(); });
    connect(Wsupprimer, &QPushButton::clicked, this, [this] { WsupprimerClick(); });
    connect(WHaut, &QPushButton::clicked, this, [this] { WHautClick(); });
    connect(WBas, &QPushButton::clicked, this, [this] { WBasClick(); });
    connect(WGauche, &QPushButton::clicked, this, [this] { WGaucheClick(); });
    connect(WDroit, &QPushButton::clicked, this, [this] { WDroitClick(); });
    connect(Button3, &QPushButton::clicked, this, [this] { m_host.quit(); });
    refresh();
}

void WaypointsPanel::refresh()
{
    const MapSession::WaypointTexts &t = m_session.waypointTexts();
    display(Label25, m_session.routeTitle());
    display(WZone, t.zone);
    display(WLettre, t.letter);
    display(WSysteme, t.datum);
    display(WCarte, t.mapName);
    display(WX, t.easting);
    display(WY, t.northing);
    display(WZ, t.altitude);
    // The ground under the pointer; a model that cannot be used says so at
    // the next click, not at every move.
    const std::optional<QString> ground =
        m_session.isReady() ? m_host.groundAltitude(t.easting.toDouble(), t.northing.toDouble(), false)
                            : std::nullopt;
    display(WTerrain, ground ? *ground + QStringLiteral(" m") : QString());
    const bool usable = !m_session.loadFailed();
    for (QWidget *control : {static_cast<QWidget *>(WZ), static_cast<QWidget *>(WImprimer),
                             static_cast<QWidget *>(WAltitudes),
                             static_cast<QWidget *>(WDessiner), static_cast<QWidget *>(WPoints)})
        control->setEnabled(usable);
    for (QPushButton *b : {Wsupprimer, WHaut, WBas, WGauche, WDroit})
        b->setEnabled(usable && m_session.editButtonsEnabled());
}

void WaypointsPanel::WPointsClick(int row)
{
    run([this, row] { m_session.waypoints().select(row); });
}

void WaypointsPanel::WZChange()
{
    run([this] { m_session.setAltitude(WZ->text()); });
}

void WaypointsPanel::WsupprimerClick()
{
    run([this] { m_session.deleteWaypoint(); });
}

void WaypointsPanel::WHautClick()
{
    run([this] { m_session.moveLabel(RouteFiles::LabelOffsetY, -WaypointList::kLabelStep); });
}

void WaypointsPanel::WBasClick()
{
    run([this] { m_session.moveLabel(RouteFiles::LabelOffsetY, WaypointList::kLabelStep); });
}

void WaypointsPanel::WGaucheClick()
{
    run([this] { m_session.moveLabel(RouteFiles::LabelOffsetX, -WaypointList::kLabelStep); });
}

void WaypointsPanel::WDroitClick()
{
    run([this] { m_session.moveLabel(RouteFiles::LabelOffsetX, WaypointList::kLabelStep); });
}

void WaypointsPanel::WDessinerClick()
{
    run([this] { m_session.redraw(); });
}

void WaypointsPanel::WnouveauClick()
{
    run([this] {
        const AppState &state = m_session.appState();
        const std::optional<QString> path = m_host.platform.openFile(
            m_host.window, state.programDirectory + state.projectName, kMapFilter);
        if (path)
            m_session.changeMap(*path);
    });
}

void WaypointsPanel::WAltitudesClick()
{
    run([this] {
        if (!m_session.isReady() || m_session.routeCode().isEmpty())
            return;
        if (!m_host.hasTerrain()) {
            m_host.platform.inform(m_host.window, TerrainCommand::kNoTerrain);
            return;
        }
        // Typed altitudes are the walker's own readings: replaced only when
        // asked, once for them all.
        const int typed = m_session.waypointsWithAltitude();
        const bool replace =
            typed > 0 && m_host.platform.confirm(m_host.window, replaceQuestion(typed));
        m_session.fillAltitudes(replace);
    });
}

void WaypointsPanel::WImprimerClick()
{
    run([this] {
        waitForScan();
        printMap(m_host.platform, m_host.window, m_host.printer(Printout::Map),
                 m_session.picture(), m_session.xdens(), m_session.ydens(),
                 QFileInfo(m_session.mapPath()).completeBaseName());
    });
}
