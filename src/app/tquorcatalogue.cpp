#include "tquor.h"

#include "tquorparts.h"
#include "tquorpro.h"

#include "data/appstate.h"
#include "data/catalogue.h"
#include "data/gpxfile.h"
#include "data/itinerary.h"
#include "data/quorerror.h"
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
#include "walks/walkcommands.h"

#include <QMenu>
#include <QPushButton>

// The commands of the "Ca&talogue" menu, which becomes "I&tinéraire" while an
// itinerary is open: the catalogue's rows, the itinerary view and what it
// opens, prints and exports.

using TQuorParts::kFirstStageRow;

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

void TQuor::ComparerTrace1Click()
{
    WalkCommands::compareWithTrack(m_platform, this, m_state, m_stages, m_catalogue, itineraryRow(),
                                   m_printers[Printout::RouteSheet]);
}
