#include "tquor.h"

#include "aboutdialog.h"

#include "data/appstate.h"
#include "data/catalogue.h"
#include "data/filelayer.h"
#include "data/gpxfile.h"
#include "data/itinerary.h"
#include "data/quorerror.h"
#include "data/settings.h"
#include "editor/cataloguecommands.h"
#include "editor/elevationprofile.h"
#include "editor/gridmodel.h"
#include "editor/gridview.h"
#include "editor/profilewindow.h"
#include "editor/routesheetprint.h"
#include "editor/stagetimes.h"
#include "gps/coordinates.h"
#include "gps/gpxexport.h"
#include "gps/tquorrte.h"
#include "maps/tquorpla.h"
#include "platform/guard.h"
#include "platform/platform.h"
#include "speeds/tquorcar.h"
#include "tquorpro.h"
#include "walks/walkcommands.h"
#include "widgets/look.h"

#include <QPushButton>

#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QMenuBar>
#include <QScreen>
#include <QVBoxLayout>

using namespace Look;

namespace {

constexpr int kWindowFontPixels = 13;
constexpr int kCatalogueFontPixels = 16;
constexpr int kStageFontPixels = 15;
constexpr int kFirstStageRow = 1;
constexpr int kCatalogueWidths[Catalogue::kColumns] = {185, 392, 76, 56, 59};
constexpr int kStageWidths[Itinerary::kColumns] = {230, 61, 62, 186, 78, 73, 77};
const QString kCaptionPrefix = QStringLiteral("Editeur de route pour ");

void setHelp(QObject *object, int context)
{
    object->setProperty(kHelpContextProperty, context);
}

QString withTrailingSeparator(QString dir)
{
    if (!dir.endsWith(kPathSeparator))
        dir.append(kPathSeparator);
    return dir;
}

// A project name must name a folder below the program directory.
bool isSafeProjectName(const QString &name)
{
    if (name.startsWith(kPathSeparator) || name.startsWith(QLatin1Char('\\')))
        return false;
    const QStringList parts =
        QString(name).replace(QLatin1Char('\\'), kPathSeparator).split(kPathSeparator);
    for (const QString &part : parts) {
        if (part == QLatin1String(".."))
            return false;
    }
    return true;
}

} // namespace

TQuor::TQuor(AppState &state, Platform &platform, const QString &programDirectory, QWidget *parent)
    : QMainWindow(parent), m_state(state), m_platform(platform),
      m_catalogue(Catalogue::kColumns, Catalogue::kRows),
      m_stages(Itinerary::kColumns, Itinerary::kGridRows)
{
    setObjectName(QStringLiteral("TQuor"));
    setFont(arial(kWindowFontPixels));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kLimeGreen);
    setPalette(pal);
    setAutoFillBackground(true);
    setHelp(this, HelpContext::Main);

    buildMenus();
    buildGrids();
    // The window opens maximized; its normal size is the work area too, so
    // it fills the screen also where no window manager maximizes it.
    if (const QScreen *screen = this->screen())
        setGeometry(screen->availableGeometry());
    FormCreate(programDirectory);
}

TQuor::~TQuor()
{
    // The views and their models read the grids, which die before the
    // window's children would.
    delete takeCentralWidget();
    delete m_catalogueModel;
    delete m_stageModel;
}

void TQuor::setWindows(Windows windows)
{
    m_windows = std::move(windows);
    m_pro = m_windows.pro;
}

void TQuor::connectMapWindow(TQuorpla &pla)
{
    pla.setCatalogueTitleSource(
        [this] { return m_catalogue.cell(Catalogue::Title, m_catalogue.row()); });
}

void TQuor::connectRouteDialog(TQuorrte &rte)
{
    rte.setGrids(m_stages, m_catalogue);
    rte.setStageGridEnabler([this](bool enabled) { liste_eta->setEnabled(enabled); });
}

void TQuor::buildMenus()
{
    auto action = [](QMenu *menu, const QString &name, const QString &caption, int help) {
        QAction *a = menu->addAction(caption);
        a->setObjectName(name);
        setHelp(a, help);
        return a;
    };
    auto guardedSlot = [this](QAction *a, void (TQuor::*handler)()) {
        connect(a, &QAction::triggered, this,
                [this, handler] { guarded(m_platform, this, [&] { (this->*handler)(); }); });
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
    guardedSlot(ModeleTerrain1, &TQuor::ModeleTerrain1Click);
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

void TQuor::FormCreate(const QString &programDirectory)
{
    m_state.programDirectory = withTrailingSeparator(programDirectory);
    m_state.viewMode = ViewMode::Catalogue;
    m_state.projectName = read_settings(m_state.programDirectory).projectName;

    // Without a speed table the program still runs, on the defaults in memory.
    guarded(m_platform, this, [&] { load_speed_table(m_state); });

    if (!m_state.projectName.isEmpty() &&
        (!isSafeProjectName(m_state.projectName) ||
         !FileLayer::fileExists(m_state.project_file(QLatin1String(Catalogue::kFileName)))))
        m_state.projectName.clear();
    updateCaption();

    if (m_state.projectName.isEmpty()) {
        applyNoProject();
        return;
    }
    // A catalogue that cannot be read leaves no project open: its grid would
    // stay empty, and a save would write 50 empty rows over the file.
    if (!guarded(m_platform, this, [&] { load_catalogue(m_state, m_catalogue); })) {
        m_state.projectName.clear();
        updateCaption();
        applyNoProject();
    }
}

void TQuor::updateCaption()
{
    setWindowTitle(kCaptionPrefix + m_state.projectName);
}

void TQuor::applyNoProject()
{
    for (QAction *a : {Enregistrer1, Supprimer1, Inserer1, Itinraire1, Cartes1})
        a->setEnabled(false);
    liste_iti->hide();
}

void TQuor::applyProjectOpen()
{
    for (QAction *a : {Enregistrer1, Supprimer1, Inserer1, Itinraire1, Cartes1})
        a->setEnabled(true);
    liste_iti->show();
}

void TQuor::loadProjectCatalogue(const QString &name)
{
    const QString previous = m_state.projectName;
    m_state.projectName = name;
    try {
        load_catalogue(m_state, m_catalogue);
    } catch (...) {
        // The grid still shows the previous project: keep saving into it.
        m_state.projectName = previous;
        updateCaption();
        throw;
    }
    updateCaption();
}

void TQuor::Ouvrir1Click()
{
    QString root = m_state.programDirectory;
    root.chop(1);
    const std::optional<QString> folder =
        m_platform.browseFolder(this, QStringLiteral("Ouvrir un projet"), root);
    QString name = m_state.projectName;
    if (folder)
        name = project_name_from_folder(m_state.programDirectory, *folder);

    if (name.isEmpty()) {
        m_state.projectName.clear();
        updateCaption();
        applyNoProject();
        return;
    }
    loadProjectCatalogue(name);
    applyProjectOpen();
}

void TQuor::Nouveau1Click()
{
    m_pro->setWindowTitle(QStringLiteral("Nouveau Projet"));
    m_pro->show();
    m_pro->raise();
    m_pro->activateWindow();
}

void TQuor::createProject(const QString &name)
{
    if (!isSafeProjectName(name)) {
        throw QuorError(QStringLiteral("Nom de projet incorrect : le projet doit être un dossier "
                                       "placé sous le dossier du programme."));
    }
    const QString previous = m_state.projectName;
    m_state.projectName = name;
    if (!FileLayer::fileExists(m_state.project_file(QLatin1String(Catalogue::kFileName))))
        FileLayer::makeDir(m_state.programDirectory + name);
    m_state.projectName = previous;
    loadProjectCatalogue(name);
    applyProjectOpen();
}

void TQuor::Quitter2Click()
{
    write_settings(m_state.programDirectory, m_state.projectName);
    m_settingsWritten = true;
    close();
}

void TQuor::closeEvent(QCloseEvent *event)
{
    if (!m_settingsWritten)
        guarded(m_platform, this, [&] { FormClose(); });
    m_settingsWritten = false;
    event->accept();
    emit closed();
}

void TQuor::FormClose()
{
    write_settings(m_state.programDirectory, m_state.projectName);
}

void TQuor::Aides1Click()
{
    m_platform.showHelpContents();
}

void TQuor::APropos1Click()
{
    // One About window for the run, modal to this window but not blocking
    // the event loop.
    auto *about = findChild<AboutDialog *>();
    if (!about)
        about = new AboutDialog(m_platform, this);
    about->open();
    about->raise();
    about->activateWindow();
}

void TQuor::Voiture1Click(QAction *sender)
{
    QChar letter;
    if (sender == Voiture1)
        letter = QLatin1Char('V');
    else if (sender == Transfert1)
        letter = QLatin1Char('T');
    else if (sender == Velo1)
        letter = QLatin1Char('O');
    else if (sender == Marches1)
        letter = QLatin1Char('M');
    else
        letter = QLatin1Char('P');
    m_windows.car().open_speed_dialog(letter);
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

void TQuor::liste_etaSelectCell(int, int)
{
    compute_stage_times(m_stages, m_catalogue, itineraryRow(), m_state.speedTable);
}

void TQuor::Enregistrer1Click()
{
    if (m_state.viewMode == ViewMode::Itinerary) {
        save_itinerary(m_state, m_stages, itineraryRow());
        return;
    }
    if (m_platform.confirm(this, QStringLiteral("Mémorisation du catalogue ?")))
        save_catalogue(m_state, m_catalogue);
}

void TQuor::Supprimer1Click()
{
    if (m_state.viewMode == ViewMode::Itinerary) {
        deleteStageRow(m_stages, std::max(m_stages.row(), 1));
        return;
    }
    const int r = m_catalogue.row();
    const QString question = QStringLiteral("Voulez-vous réellement supprimer la ligne :\r\r") +
                             m_catalogue.cell(Catalogue::Title, r);
    if (m_platform.confirm(this, question))
        deleteCatalogueRow(m_state, m_catalogue, r);
}

void TQuor::Inserer1Click()
{
    if (m_state.viewMode == ViewMode::Itinerary) {
        insertStageRow(m_stages, std::max(m_stages.row(), 1));
        return;
    }
    insertCatalogueRow(m_state, m_catalogue, m_catalogue.row());
}

void TQuor::Itinraire1Click()
{
    if (m_state.viewMode == ViewMode::Catalogue)
        enterItineraryView();
    else
        leaveItineraryView();
}

namespace {
constexpr int kStripHeight = 29;
} // namespace

void TQuor::enterItineraryView()
{
    const int k = itineraryRow();
    load_itinerary(m_state, m_stages, k);

    liste_iti->setFixedHeight(kStripHeight);
    liste_iti->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    liste_iti->setEnabled(false);
    m_catalogue.setCol(Catalogue::Title);
    liste_iti->scrollTo(m_catalogueModel->index(k, Catalogue::Arrival),
                        QAbstractItemView::PositionAtTop);
    liste_iti->scrollTo(m_catalogueModel->index(k, Catalogue::Title));

    liste_eta->show();
    liste_eta->setEnabled(true);
    // Each of these moves runs the time computation when it moves the cursor.
    // A failure is shown and the view still opens, so the user can mend the
    // cell.
    guarded(m_platform, this, [&] { m_stages.setCol(Itinerary::Place); });
    guarded(m_platform, this, [&] { m_stages.setRow(kFirstStageRow); });
    liste_eta->setFocus();

    Voyages1->setTitle(QStringLiteral("I&tinéraire"));
    Itinraire1->setText(QStringLiteral("Ca&talogue"));
    setItineraryCommandsEnabled(true);
    m_state.viewMode = ViewMode::Itinerary;
}

void TQuor::leaveItineraryView()
{
    if (m_platform.confirm(this, QStringLiteral("Mémorisation de l'itinéraire ?"))) {
        save_itinerary(m_state, m_stages, itineraryRow());
        save_catalogue(m_state, m_catalogue);
    }
    liste_iti->setMinimumHeight(0);
    liste_iti->setMaximumHeight(QWIDGETSIZE_MAX);
    liste_iti->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Voyages1->setTitle(QStringLiteral("Ca&talogue"));
    Itinraire1->setText(QStringLiteral("I&tinéraire"));
    liste_iti->setEnabled(true);
    liste_eta->hide();
    liste_iti->setFocus();
    // The profile belongs to the itinerary that is now closed.
    if (m_profile)
        m_profile->hide();
    setItineraryCommandsEnabled(false);
    m_state.viewMode = ViewMode::Catalogue;
}

void TQuor::setItineraryCommandsEnabled(bool itinerary)
{
    Routes1->setEnabled(itinerary);
    ImPrimmer1->setEnabled(itinerary);
    Profil1->setEnabled(itinerary);
    ComparerTrace1->setEnabled(itinerary);
    Gps1->setEnabled(itinerary);
    ExporterGpx1->setEnabled(itinerary);
    Ouvrir1->setEnabled(!itinerary);
    Nouveau1->setEnabled(!itinerary);
    // Another project must not be loaded under an open itinerary.
    if (m_pro)
        m_pro->ButCreer->setEnabled(!itinerary);
}

void TQuor::Cartes1Click()
{
    const std::optional<QString> path =
        m_platform.openFile(this, m_state.programDirectory + m_state.projectName,
                            QStringLiteral("Fichier Carte |*.JPG"));
    if (path)
        m_windows.pla().showMap(*path);
}

void TQuor::Routes1Click()
{
    m_windows.rte().openForInsertion();
}

void TQuor::Gps1Click()
{
    m_windows.rte().openForExport();
}

void TQuor::ExporterGpx1Click()
{
    // Built first: an itinerary without positions, or with one that cannot be
    // converted, is refused before the user picks a file.
    bool ballpark = false;
    const GpxDocument document = GpxExport::itineraryDocument(
        m_stages, m_catalogue, itineraryRow(), m_state.speedTable, GpxExport::stageDatums(m_state),
        QTimeZone::systemTimeZone(), &ballpark);
    const std::optional<QString> path = m_platform.saveFile(
        this, QString::fromUtf8(GpxExport::kItineraryDialogTitle), m_state.projectDirectory(),
        GpxExport::proposedFileName(document.name), QLatin1String(GpxExport::kFilter),
        QLatin1String(GpxExport::kDefaultExtension));
    if (!path)
        return;
    Gpx::write(*path, document);
    if (ballpark)
        m_platform.inform(this, Coordinates::kBallparkText);
}

void TQuor::ImPrimmer1Click()
{
    ::ImPrimmer1Click(m_platform, this, m_printers[Printout::RouteSheet], m_stages, m_catalogue,
                      itineraryRow());
}

std::pair<QList<ProfilePoint>, ProfileHeader> TQuor::currentProfile() const
{
    const int k = itineraryRow();
    return {elevationProfile(m_stages),
            profileHeader(m_stages, m_catalogue.cell(Catalogue::Title, k),
                          m_catalogue.cell(Catalogue::Date, k))};
}

void TQuor::refreshProfile()
{
    if (!m_profile || !m_profile->isVisible())
        return;
    try {
        const auto [points, header] = currentProfile();
        m_profile->setProfile(points, header);
    } catch (const QuorError &) {
        // A cell being typed that does not read yet: the profile stays as it
        // was, and "Imprimer" says what is wrong.
    }
}

void TQuor::Profil1Click()
{
    const auto [points, header] = currentProfile();
    if (points.size() < ElevationProfile::kMinimumPoints) {
        if (m_profile)
            m_profile->hide();
        throw QuorError(ElevationProfile::kTooFewAltitudes);
    }
    if (!m_profile) {
        m_profile = new ProfileWindow(m_platform, this);
        m_profile->setSource([this] { return currentProfile(); });
    }
    m_profile->setProfile(points, header);
    m_profile->show();
    m_profile->raise();
    m_profile->activateWindow();
}

void TQuor::ApprendreVitesses1Click()
{
    WalkCommands::learnSpeeds(m_platform, this, m_state);
}

void TQuor::ComparerTrace1Click()
{
    WalkCommands::compareWithTrack(m_platform, this, m_state, m_stages, m_catalogue, itineraryRow(),
                                   m_printers[Printout::RouteSheet]);
}

void TQuor::ModeleTerrain1Click()
{
    TerrainCommand::run(m_platform, this, m_state, std::nullopt);
}
