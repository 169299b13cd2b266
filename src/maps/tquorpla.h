#pragma once

#include "calibration.h"
#include "jpegdecoder.h"
#include "mapconversion.h"
#include "routedrawing.h"

#include <QFont>
#include <QImage>
#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>

struct AppState;
class MapView;
class Platform;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPrinter;
class QPushButton;
class UpDown;

// The map window: one scanned map at full size in a scrolling view, with one
// of four side panels beside it (calibration, verification, routes,
// waypoints). Every activation from another window of the program reloads the
// map, its calibration and the routes.
class TQuorpla : public QMainWindow
{
    Q_OBJECT
public:
    TQuorpla(AppState &state, Platform &platform, QWidget *parent = nullptr);
    ~TQuorpla() override;

    // The title of the catalogue's current row, proposed as a new route's name.
    void setCatalogueTitleSource(std::function<QString()> source);

    // Titles the window with the map's path and shows it, modeless, over the
    // desktop's work area; showing it activates it, which reloads everything.
    void showMap(const QString &path);

    // The map file: the window's title.
    QString mapPath() const;

    // Event handlers; each public one runs its body through the error guard.
    void FormActivate();
    void FormDeactivate();
    void UpZoneClick();
    void UpLettreClick();
    void UpSystemClick();
    void ValiCalibrClick();
    void C_BonneClick();
    void C_FauuseClick();
    void Button1Click();
    void Image1MouseMove(Qt::KeyboardModifiers shift, int X, int Y);
    void Image1Click();
    // The route panel.
    void ChRoutesClick();
    void RNouvelleClick();
    void RSupprimerClick();
    void RWaypointsClick();
    // The waypoint panel.
    void WPointsClick();
    void WZChange();
    void WsupprimerClick();
    void WHautClick();
    void WBasClick();
    void WGaucheClick();
    void WDroitClick();
    void WDessinerClick();
    void WnouveauClick();
    void WImprimerClick();

    // Reloads the map image, resets the calibration panel and reads the
    // calibration file and the routes; also used by "Changer de carte".
    // Throws on failure like the steps it runs.
    void ResetMapWindow();
    // True when a calibration file was read. Throws on a damaged one.
    bool LoadCalibration();
    // True when the calibration is accepted; the scale is then shown.
    bool ComputeCalibration();
    // The displayed picture again from the clean map image, with the datum
    // title and the kilometre labels.
    void DrawGridLabels();

    // The map window's state, shared with the route and waypoint panels.
    MapTransform &transform() { return m_transform; }
    const MapTransform &transform() const { return m_transform; }
    quint16 xdens() const { return m_xdens; }
    quint16 ydens() const { return m_ydens; }
    quint8 unitsCode() const { return m_unitsCode; }
    const QImage &cleanImage() const { return m_clean; }
    // What the view shows; draw on it and call displayedPictureChanged().
    QImage &displayedPicture();
    void displayedPictureChanged();
    // The font DrawGridLabels left set for drawing on the picture.
    const QFont &pictureFont() const { return m_pictureFont; }
    // The open route's code: the last two characters of the waypoint panel's
    // title.
    QString routeCode() const;
    QStringList &calibrationLines() { return m_calibrationLines; }
    QStringList &routeLines() { return m_routeLines; }
    QStringList &waypointLines() { return m_waypointLines; }
    QString &pendingWaypointLabel() { return m_pendingWaypointLabel; }
    MapImageCache &imageCache() { return m_imageCache; }
    // Whether the window counts as the program's active window.
    bool isMapActive() const { return m_activation != Activation::Inactive; }

    // Controls, named as in the window's layout.
    MapView *ScrollBox1 = nullptr;
    QFrame *Calibra = nullptr;
    QFrame *VerifCalibra = nullptr;
    QFrame *Routes = nullptr;
    QFrame *Waypoints = nullptr;

    QLineEdit *M_Zone = nullptr;
    UpDown *UpZone = nullptr;
    QLineEdit *M_lettre = nullptr;
    UpDown *UpLettre = nullptr;
    QLineEdit *M_Systeme = nullptr;
    UpDown *UpSystem = nullptr;
    QCheckBox *CheckP1 = nullptr;
    QCheckBox *CheckP2 = nullptr;
    QCheckBox *CheckP3 = nullptr;
    QLabel *X1_i = nullptr;
    QLabel *Y1_i = nullptr;
    QLabel *X2_i = nullptr;
    QLabel *Y2_i = nullptr;
    QLabel *X3_i = nullptr;
    QLabel *Y3_i = nullptr;
    QLineEdit *X1_c = nullptr;
    QLineEdit *Y1_c = nullptr;
    QLineEdit *X2_c = nullptr;
    QLineEdit *Y2_c = nullptr;
    QLineEdit *X3_c = nullptr;
    QLineEdit *Y3_c = nullptr;
    QPushButton *ValiCalibr = nullptr;

    QLabel *LZone = nullptr;
    QLabel *LLettre = nullptr;
    QLabel *LSysteme = nullptr;
    QLabel *LX = nullptr;
    QLabel *LY = nullptr;
    QLabel *LEchelle = nullptr;
    QPushButton *C_Bonne = nullptr;
    QPushButton *C_Fauuse = nullptr;
    QPushButton *Button1 = nullptr;

    QPushButton *RWaypoints = nullptr;
    QLineEdit *RLWaypoints = nullptr;
    QListWidget *ChRoutes = nullptr;
    QPushButton *RNouvelle = nullptr;
    QLineEdit *RLNouvelle = nullptr;
    QPushButton *RSupprimer = nullptr;
    QLineEdit *RLsupprimer = nullptr;
    QPushButton *Button2 = nullptr;

    QLabel *Label25 = nullptr;
    QLabel *WZone = nullptr;
    QLabel *WLettre = nullptr;
    QLabel *WSysteme = nullptr;
    QLabel *WCarte = nullptr;
    QLabel *WX = nullptr;
    QLabel *WY = nullptr;
    QLineEdit *WZ = nullptr;
    QPushButton *Wnouveau = nullptr;
    QPushButton *WImprimer = nullptr;
    QPushButton *WDessiner = nullptr;
    QPushButton *Wsupprimer = nullptr;
    QListWidget *WPoints = nullptr;
    QPushButton *WHaut = nullptr;
    QPushButton *WBas = nullptr;
    QPushButton *WGauche = nullptr;
    QPushButton *WDroit = nullptr;
    QPushButton *Button3 = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

    // Step 9 of the reset: the routes file into the route panel.
    void loadRoutes();
    // The waypoint panel's part of a click on the map: places the pending
    // waypoint at the clicked position.
    void placeWaypointClick();

private:
    enum class Activation {
        Inactive,
        // Shown by showMap and reset already; the window system's own
        // activation of it is still to come.
        Shown,
        Active
    };

    void buildCalibrationPanel();
    void buildVerificationPanel();
    void buildRoutesPanel();
    void buildWaypointsPanel();
    QFrame *makePanel(const QString &name, int width);
    void CheckPClick(QCheckBox *box);
    void loadMapImage();
    void windowActivated(QWidget *window);
    void hidePanels();
    // A masked field's text holds a blank for every position left unfilled.
    QString pointFieldText(const QLineEdit *field) const;
    CalibrationTexts pointTexts() const;
    QStringList calibrationFieldLines() const;
    bool isPanelShown(const QWidget *panel) const;

    // The routes file rewritten from the names of ChRoutes.
    void saveRoutes();
    // The route named by the waypoint panel's title, read and drawn.
    void openRoute();
    // The waypoint file rewritten from the labels of WPoints, then the route
    // drawn and the last waypoint selected.
    void saveAndDraw();
    // The pending label, then the route over the displayed picture.
    void drawWaypoints();
    void moveSelectedLabel(int offsetLine, int delta);
    QString waypointFilePath() const;
    QPrinter &mapPrinter();

    AppState &m_state;
    Platform &m_platform;
    std::function<QString()> m_catalogueTitle;
    Activation m_activation = Activation::Inactive;

    MapTransform m_transform;
    quint16 m_xdens = 0;
    quint16 m_ydens = 0;
    quint8 m_unitsCode = 0;
    QImage m_clean;
    MapImageCache m_imageCache;
    QFont m_pictureFont;
    QStringList m_calibrationLines;
    QStringList m_routeLines;
    QStringList m_waypointLines;
    QString m_pendingWaypointLabel;
    // Kept for the window's life: the orientation chosen for one map stays
    // for the next print.
    std::unique_ptr<QPrinter> m_printer;
    // The marks of the last drawing of the route and the picture it went on:
    // while the picture is unchanged since, a new drawing only repaints
    // where its marks differ.
    QList<RouteMark> m_drawnMarks;
    qint64 m_drawnPictureKey = 0;

    // The point fields by point, for the loops over the three points.
    std::array<QLabel *, 3> m_pixelX{};
    std::array<QLabel *, 3> m_pixelY{};
    std::array<QLineEdit *, 3> m_eastings{};
    std::array<QLineEdit *, 3> m_northings{};
    std::array<QCheckBox *, 3> m_pointBoxes{};
};
