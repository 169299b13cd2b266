#include "tquor.h"

#include "tquorpro.h"

#include "data/appstate.h"
#include "data/catalogue.h"
#include "data/filelayer.h"
#include "data/quorerror.h"
#include "data/settings.h"
#include "editor/gridview.h"
#include "maps/terraincommand.h"
#include "platform/guard.h"
#include "platform/platform.h"

#include <QCloseEvent>

// The main window's project: the one it opens at start-up, the "&Projet"
// menu's commands, and the settings it writes at its close.

namespace {

const QString kCaptionPrefix = QStringLiteral("Editeur de route pour ");

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

void TQuor::ModeleTerrain1Click()
{
    TerrainCommand::run(m_platform, this, m_state, std::nullopt);
}
