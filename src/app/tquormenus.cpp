#include "tquor.h"

#include "tquorparts.h"

#include "data/catalogue.h"
#include "data/itinerary.h"
#include "editor/gridmodel.h"
#include "editor/gridview.h"
#include "maps/terraincommand.h"
#include "platform/guard.h"
#include "platform/platform.h"
#include "walks/walkcommands.h"
#include "widgets/look.h"

#include <QHeaderView>
#include <QMenuBar>
#include <QVBoxLayout>

// The main window's menus, its two grids, and the edit masks of their cells.

using namespace Look;
using TQuorParts::kFirstStageRow;
using TQuorParts::setHelp;

namespace {

constexpr int kCatalogueFontPixels = 16;
constexpr int kStageFontPixels = 15;
constexpr int kCatalogueWidths[Catalogue::kColumns] = {185, 392, 76, 56, 59};
constexpr int kStageWidths[Itinerary::kColumns] = {230, 61, 62, 186, 78, 73, 77};

} // namespace

void TQuor::buildMenus()
{
    auto action = [](QMenu *menu, const QString &name, const QString &caption, int help) {
        QAction *a = menu->addAction(caption);
        a->setObjectName(name);
        setHelp(a, help);
        return a;
    };

    Projet1 = menuBar()->addMenu(QStringLiteral("&Projet"));
    Projet1->setObjectName(QStringLiteral("Projet1"));
    setHelp(Projet1, HelpContext::Main);
    Ouvrir1 =
        action(Projet1, QStringLiteral("Ouvrir1"), QStringLiteral("&Ouvrir"), HelpContext::Main);
    Nouveau1 =
        action(Projet1, QStringLiteral("Nouveau1"), QStringLiteral("&Nouveau"), HelpContext::Main);
    // Beside the project's own commands: the elevation model it uses.
    ModeleTerrain1 = action(Projet1, QStringLiteral("ModeleTerrain1"), TerrainCommand::kCaption,
                            HelpContext::Map);
    Projet1->addSeparator();
    Quitter2 =
        action(Projet1, QStringLiteral("Quitter2"), QStringLiteral("&Quitter"), HelpContext::Main);

    Voyages1 = menuBar()->addMenu(QStringLiteral("Ca&talogue"));
    Voyages1->setObjectName(QStringLiteral("Voyages1"));
    setHelp(Voyages1, HelpContext::CatalogueCommands);
    Enregistrer1 = action(Voyages1, QStringLiteral("Enregistrer1"), QStringLiteral("&Enregistrer"),
                          HelpContext::CatalogueCommands);
    Supprimer1 = action(Voyages1, QStringLiteral("Supprimer1"), QStringLiteral("&Supprimer"),
                        HelpContext::CatalogueCommands);
    Inserer1 = action(Voyages1, QStringLiteral("Inserer1"), QStringLiteral("&Inserer"),
                      HelpContext::CatalogueCommands);
    Voyages1->addSeparator();
    Itinraire1 = action(Voyages1, QStringLiteral("Itinraire1"), QStringLiteral("I&tinéraire"),
                        HelpContext::CatalogueCommands);
    Voyages1->addSeparator();
    Cartes1 = action(Voyages1, QStringLiteral("Cartes1"), QStringLiteral("&Cartes"),
                     HelpContext::StageGrid);
    Routes1 = action(Voyages1, QStringLiteral("Routes1"), QStringLiteral("Insère &Routes"),
                     HelpContext::StageGrid);
    Gps1 = action(Voyages1, QStringLiteral("Gps1"), QStringLiteral("&Gps"), HelpContext::StageGrid);
    ExporterGpx1 = action(Voyages1, QStringLiteral("ExporterGpx1"), QStringLiteral("E&xporter GPX"),
                          HelpContext::GpxExchange);
    Voyages1->addSeparator();
    ImPrimmer1 = action(Voyages1, QStringLiteral("ImPrimmer1"), QStringLiteral("Im&primer"),
                        HelpContext::StageGrid);
    Profil1 = action(Voyages1, QStringLiteral("Profil1"), QStringLiteral("Pro&fil"),
                     HelpContext::StageGrid);
    // Beside the itinerary's own commands: the day as it was walked.
    ComparerTrace1 = action(Voyages1, QStringLiteral("ComparerTrace1"),
                            WalkCommands::kCompareCaption, HelpContext::Walks);
    Routes1->setEnabled(false);
    Gps1->setEnabled(false);
    ExporterGpx1->setEnabled(false);
    ImPrimmer1->setEnabled(false);
    Profil1->setEnabled(false);
    ComparerTrace1->setEnabled(false);

    Caractristiques1 = menuBar()->addMenu(QStringLiteral("C&aractéristiques"));
    Caractristiques1->setObjectName(QStringLiteral("Caractristiques1"));
    setHelp(Caractristiques1, HelpContext::Speeds);
    Voiture1 = action(Caractristiques1, QStringLiteral("Voiture1"), QStringLiteral("&Voiture"),
                      HelpContext::Speeds);
    Transfert1 = action(Caractristiques1, QStringLiteral("Transfert1"),
                        QStringLiteral("&Transfert"), HelpContext::Speeds);
    Velo1 = action(Caractristiques1, QStringLiteral("Velo1"), QStringLiteral("Vel&o"),
                   HelpContext::Speeds);
    Marches1 = action(Caractristiques1, QStringLiteral("Marches1"), QStringLiteral("&Marches"),
                      HelpContext::Speeds);
    Poses1 = action(Caractristiques1, QStringLiteral("Poses1"), QStringLiteral("&Poses"),
                    HelpContext::Speeds);
    // Beside the speed table's own entries: the walking rates learned from
    // the walker's recorded walks.
    Caractristiques1->addSeparator();
    ApprendreVitesses1 = action(Caractristiques1, QStringLiteral("ApprendreVitesses1"),
                                WalkCommands::kLearnCaption, HelpContext::Walks);

    N1 = menuBar()->addMenu(QStringLiteral("&?"));
    N1->setObjectName(QStringLiteral("N1"));
    setHelp(N1, HelpContext::Main);
    APropos1 =
        action(N1, QStringLiteral("APropos1"), QStringLiteral("&A Propos"), HelpContext::Main);
    Aides1 = action(N1, QStringLiteral("Aides1"), QStringLiteral("A&ides"), HelpContext::Main);

    connectMenus();
}

// Every command runs its handler through the guard, which shows what fails.
void TQuor::connectMenus()
{
    auto guardedSlot = [this](QAction *a, void (TQuor::*handler)()) {
        connect(a, &QAction::triggered, this,
                [this, handler] { guarded(m_platform, this, [&] { (this->*handler)(); }); });
    };

    guardedSlot(ModeleTerrain1, &TQuor::ModeleTerrain1Click);
    guardedSlot(Ouvrir1, &TQuor::Ouvrir1Click);
    guardedSlot(Nouveau1, &TQuor::Nouveau1Click);
    guardedSlot(Quitter2, &TQuor::Quitter2Click);
    guardedSlot(APropos1, &TQuor::APropos1Click);
    guardedSlot(Aides1, &TQuor::Aides1Click);
    guardedSlot(Enregistrer1, &TQuor::Enregistrer1Click);
    guardedSlot(Supprimer1, &TQuor::Supprimer1Click);
    guardedSlot(Inserer1, &TQuor::Inserer1Click);
    guardedSlot(Itinraire1, &TQuor::Itinraire1Click);
    guardedSlot(Cartes1, &TQuor::Cartes1Click);
    guardedSlot(Routes1, &TQuor::Routes1Click);
    guardedSlot(Gps1, &TQuor::Gps1Click);
    guardedSlot(ExporterGpx1, &TQuor::ExporterGpx1Click);
    guardedSlot(ImPrimmer1, &TQuor::ImPrimmer1Click);
    guardedSlot(Profil1, &TQuor::Profil1Click);
    guardedSlot(ComparerTrace1, &TQuor::ComparerTrace1Click);
    guardedSlot(ApprendreVitesses1, &TQuor::ApprendreVitesses1Click);
    for (QAction *a : {Voiture1, Transfert1, Velo1, Marches1, Poses1}) {
        connect(a, &QAction::triggered, this,
                [this, a] { guarded(m_platform, this, [&] { Voiture1Click(a); }); });
    }
}

void TQuor::buildGrids()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_catalogueModel = new GridModel(m_catalogue, /*fixedHeaderRow=*/false, this);
    m_catalogueModel->setTextColor(kRed);
    liste_iti = new GridView(m_catalogueModel, m_platform, central);
    liste_iti->setObjectName(QStringLiteral("liste_iti"));
    liste_iti->horizontalHeader()->hide();
    liste_iti->verticalHeader()->hide();
    liste_iti->setFont(arial(kCatalogueFontPixels));
    QPalette pal = liste_iti->palette();
    pal.setColor(QPalette::Base, kLimeGreen);
    pal.setColor(QPalette::Window, kLimeGreen);
    pal.setColor(QPalette::Text, kRed);
    // Docked as a one-row strip above the stages it is disabled, and must
    // still read as the itinerary's catalogue row.
    pal.setColor(QPalette::Disabled, QPalette::Base, kLimeGreen);
    pal.setColor(QPalette::Disabled, QPalette::Text, kRed);
    liste_iti->setPalette(pal);
    liste_iti->setMaskProvider(&TQuor::liste_itiGetEditMask);
    for (int c = 0; c < Catalogue::kColumns; ++c)
        liste_iti->setColumnWidth(c, kCatalogueWidths[c]);
    setHelp(liste_iti, HelpContext::CatalogueGrid);

    // A new stage grid has its cursor on the first stage, so the first
    // opening of an itinerary moves nothing and shows the times of its file.
    // The move is made before the notification exists, so it computes nothing.
    m_stages.moveTo(Itinerary::Place, kFirstStageRow);
    m_stageModel = new GridModel(m_stages, /*fixedHeaderRow=*/true, this);
    connect(m_stageModel, &QAbstractItemModel::dataChanged, this, [this] { refreshProfile(); });
    connect(m_catalogueModel, &QAbstractItemModel::dataChanged, this, [this] { refreshProfile(); });
    liste_eta = new GridView(m_stageModel, m_platform, central);
    liste_eta->setObjectName(QStringLiteral("liste_eta"));
    // The stage grid keeps the system's colours under the lime window, and
    // shows only its seven columns under the header row: no row numbers.
    liste_eta->setPalette(systemPalette());
    liste_eta->setFont(arial(kStageFontPixels));
    liste_eta->verticalHeader()->hide();
    // Without the row-number column, rows are resized by their lines in the
    // place column.
    liste_eta->verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    liste_eta->setRowResizeColumn(Itinerary::Place);
    liste_eta->setMaskProvider(&TQuor::liste_etaGetEditMask);
    m_stages.setSelectHandler([this](int column, int row) { liste_etaSelectCell(column, row); });
    for (int c = 0; c < Itinerary::kColumns; ++c)
        liste_eta->setColumnWidth(c, kStageWidths[c]);
    liste_eta->hide();
    setHelp(liste_eta, HelpContext::StageGrid);

    layout->addWidget(liste_iti);
    layout->addWidget(liste_eta);
    setCentralWidget(central);
}

QString TQuor::liste_itiGetEditMask(int column)
{
    switch (column) {
    case Catalogue::Date:
        return QStringLiteral("!90/90/90");
    case Catalogue::Departure:
    case Catalogue::Arrival:
        return QStringLiteral("90:90");
    default:
        return QString();
    }
}

QString TQuor::liste_etaGetEditMask(int column)
{
    switch (column) {
    case Itinerary::Means:
        return QStringLiteral(">Cc");
    case Itinerary::Orientation:
    case Itinerary::Altitude:
    case Itinerary::Distance:
        return QStringLiteral("999999;0");
    case Itinerary::Time:
        return QStringLiteral("!90:00!");
    default:
        return QString();
    }
}
