#pragma once

#include "data/stringgrid.h"
#include "editor/elevationprofile.h"
#include "editor/printers.h"

#include <QMainWindow>

#include <functional>
#include <utility>

class GridModel;
class GridView;
class ProfileWindow;
class Platform;
class QAction;
class QMenu;
class TQuorcar;
class TQuorpla;
class TQuorpro;
class TQuorrte;
struct AppState;

// The main window: the catalogue grid, the stage grid and the menus.
class TQuor : public QMainWindow
{
    Q_OBJECT
public:
    // Builds the window and runs its start-up on `programDirectory`.
    TQuor(AppState &state, Platform &platform, const QString &programDirectory,
          QWidget *parent = nullptr);
    ~TQuor() override;

    // The other windows. All but the project dialog are made the first time
    // a command shows them: the map window alone takes longer to build than
    // the main window, and a session may never open it.
    struct Windows
    {
        TQuorpro *pro = nullptr;
        std::function<TQuorcar &()> car;
        std::function<TQuorpla &()> pla;
        std::function<TQuorrte &()> rte;
    };
    void setWindows(Windows windows);
    // What a newly made map window and route dialog need of this window.
    void connectMapWindow(TQuorpla &pla);
    void connectRouteDialog(TQuorrte &rte);

    StringGrid &catalogueGrid() { return m_catalogue; }
    StringGrid &stageGrid() { return m_stages; }
    AppState &state() { return m_state; }
    // The profile window, once "Pro&fil" has shown it.
    ProfileWindow *profileWindow() const { return m_profile; }
    Platform &platform() { return m_platform; }

    // Event handlers.
    void Ouvrir1Click();
    void Nouveau1Click();
    void Quitter2Click();
    void Aides1Click();
    void APropos1Click();
    void Voiture1Click(QAction *sender);
    void Enregistrer1Click();
    void Supprimer1Click();
    void Inserer1Click();
    void Itinraire1Click();
    void Cartes1Click();
    void Routes1Click();
    void Gps1Click();
    void ExporterGpx1Click();
    void ImPrimmer1Click();
    void ModeleTerrain1Click();
    void Profil1Click();
    void ApprendreVitesses1Click();
    void ComparerTrace1Click();

    // Runs before every move of the stage grid's cursor.
    void liste_etaSelectCell(int column, int row);
    static QString liste_itiGetEditMask(int column);
    static QString liste_etaGetEditMask(int column);

    // The open itinerary's catalogue row.
    int itineraryRow() const { return m_catalogue.row(); }

    // Opens or creates the project `name` (the project dialog's "&Créer").
    // ProjectName changes only when its catalogue could be loaded.
    void createProject(const QString &name);

    void updateCaption();

    // Controls, named as in the window's layout.
    QMenu *Projet1 = nullptr;
    QAction *Ouvrir1 = nullptr;
    QAction *Nouveau1 = nullptr;
    QAction *ModeleTerrain1 = nullptr; // "Modèle de terrain…"
    QAction *Quitter2 = nullptr;
    QMenu *Voyages1 = nullptr;
    QAction *Enregistrer1 = nullptr;
    QAction *Supprimer1 = nullptr;
    QAction *Inserer1 = nullptr;
    QAction *Itinraire1 = nullptr;
    QAction *Cartes1 = nullptr;
    QAction *Routes1 = nullptr;
    QAction *Gps1 = nullptr;
    QAction *ExporterGpx1 = nullptr;
    QAction *ImPrimmer1 = nullptr;
    QAction *Profil1 = nullptr;
    QAction *ComparerTrace1 = nullptr; // "Comparer avec une trace…"
    QMenu *Caractristiques1 = nullptr;
    QAction *Voiture1 = nullptr;
    QAction *Transfert1 = nullptr;
    QAction *Velo1 = nullptr;
    QAction *Marches1 = nullptr;
    QAction *Poses1 = nullptr;
    QAction *ApprendreVitesses1 = nullptr; // "Apprendre mes vitesses…"
    QMenu *N1 = nullptr;
    QAction *APropos1 = nullptr;
    QAction *Aides1 = nullptr;
    GridView *liste_iti = nullptr;
    GridView *liste_eta = nullptr;

signals:
    // The window closed: the application ends.
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate(const QString &programDirectory);
    void FormClose();
    void buildMenus();
    void connectMenus();
    void buildGrids();
    // The open itinerary's profile, as the route sheet would print it now.
    std::pair<QList<ProfilePoint>, ProfileHeader> currentProfile() const;
    // The profile window, when shown, follows every change of the grids.
    void refreshProfile();
    void applyNoProject();
    void applyProjectOpen();
    void loadProjectCatalogue(const QString &name);
    void enterItineraryView();
    void leaveItineraryView();
    void setItineraryCommandsEnabled(bool itinerary);

    AppState &m_state;
    Platform &m_platform;
    // The route sheet's printer, kept with its paper and folder.
    Printers m_printers;
    StringGrid m_catalogue;
    StringGrid m_stages;
    GridModel *m_catalogueModel = nullptr;
    GridModel *m_stageModel = nullptr;
    TQuorpro *m_pro = nullptr;
    Windows m_windows;
    ProfileWindow *m_profile = nullptr;
    bool m_settingsWritten = false;
};
