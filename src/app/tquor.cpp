#include "tquor.h"

#include "aboutdialog.h"
#include "tquorparts.h"

#include "data/appstate.h"
#include "data/catalogue.h"
#include "data/itinerary.h"
#include "editor/gridmodel.h"
#include "editor/gridview.h"
#include "gps/tquorrte.h"
#include "maps/tquorpla.h"
#include "platform/platform.h"
#include "speeds/tquorcar.h"
#include "walks/walkcommands.h"
#include "widgets/look.h"

#include <QScreen>

// The main window itself: its construction, the windows it opens, and the
// commands of the "C&aractéristiques" and "&?" menus. The menus and grids are
// built in tquormenus.cpp, the project commands are in tquorproject.cpp, and
// the catalogue and itinerary commands in tquorcatalogue.cpp.

using namespace Look;
using TQuorParts::setHelp;

namespace {

constexpr int kWindowFontPixels = 13;

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

void TQuor::ApprendreVitesses1Click()
{
    WalkCommands::learnSpeeds(m_platform, this, m_state);
}
