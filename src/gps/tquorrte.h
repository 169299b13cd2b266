#pragma once

#include "data/stringlist.h"

#include <QDialog>
#include <QStringList>
#include <functional>

struct AppState;
class Platform;
class QLineEdit;
class QPushButton;
class StringGrid;
class StringListView;
class UpDown;

// The route dialog: inserts a route of the project as stages of the open
// itinerary, or writes it as a Waypoint+ file for a GPS receiver. It has no
// mode of its own: a title beginning with "C" means export, any other insertion.
class TQuorrte : public QDialog
{
    Q_OBJECT
public:
    TQuorrte(AppState &state, Platform &platform, QWidget *parent = nullptr);
    ~TQuorrte() override;

    // The main window's stage grid (written by the insertion) and catalogue
    // grid (whose current row proposes the route number).
    void setGrids(StringGrid &stages, StringGrid &catalogue);
    // Disables (false) and enables (true) the stage grid's view for user input
    // while an insertion runs.
    void setStageGridEnabler(std::function<void(bool)> enable);

    // "Insère &Routes": titled with the stage grid's current row, then shown.
    void openForInsertion();
    // "&Gps": titled for the export, then shown.
    void openForExport();

    int routeNumber() const;

    // Event handlers; each runs its body through the error guard.
    void FormActivate();
    void FormShow();
    void FormDeactivate();
    void LRoutesClick();
    void RInsererClick();
    void QuitterClick();
    void UpRouteClick();

    // Controls, named as in the window's layout.
    StringListView *LRoutes = nullptr;
    QPushButton *RInserer = nullptr;
    QLineEdit *NumRoute = nullptr;
    UpDown *UpRoute = nullptr;
    QPushButton *Quitter = nullptr;

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    bool isExportMode() const;
    bool isInsertionMode() const;
    void exportSetUp();
    void showRouteNumber();
    void insertRoute(const QStringList &waypointLines);
    void exportRoute(const QString &routeName, const QStringList &waypointLines);
    void showContextHelp();

    AppState &m_state;
    Platform &m_platform;
    StringGrid *m_stages = nullptr;
    StringGrid *m_catalogue = nullptr;
    std::function<void(bool)> m_enableStageGrid;
    // The routes file's lines, read at every activation, and their names as
    // the list shows them.
    QStringList m_routeLines;
    StringList m_routes;
};
