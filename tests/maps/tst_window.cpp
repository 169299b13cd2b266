#include "common/testmain.h"
#include "common/testutil.h"
#include "data/appstate.h"
#include "data/filelayer.h"
#include "data/mapfile.h"
#include "mapfixtures.h"
#include "maps/calibration.h"
#include "maps/calibrationpanel.h"
#include "maps/mapsession.h"
#include "maps/mapview.h"
#include "maps/routespanel.h"
#include "maps/tquorpla.h"
#include "maps/verificationpanel.h"
#include "maps/waypointspanel.h"
#include "platform/fakeplatform.h"
#include "routewindow.h"
#include "widgets/updown.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <cerrno>
#include <fcntl.h>
#include <memory>

#include <jerror.h>

// The map and the helpers of the map window's other tests.
using RouteWindow::crlf;
using RouteWindow::kMapHeight;
using RouteWindow::kMapWidth;
using RouteWindow::sendMouse;

namespace {

// The sample calibration: c = (500000, 2, 0), d = (5000000, 0, -2).
const QStringList kSampleLines = {
    QStringLiteral("31"),      QStringLiteral("U"),       QStringLiteral("ED50"),
    QStringLiteral("0"),       QStringLiteral("500000"),  QStringLiteral("0"),
    QStringLiteral("5000000"), QStringLiteral("1000"),    QStringLiteral("502000"),
    QStringLiteral("800"),     QStringLiteral("4998400"), QStringLiteral("0"),
    QStringLiteral("500000"),  QStringLiteral("800"),     QStringLiteral("4998400")};

} // namespace

class TQuorplaTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<FakePlatform> m_platform;
    QString m_map;

    QString calFile() const { return calibrationFileName(m_map); }

    QString writeMap(const QString &name, const MapFixtures::JpegParams &params)
    {
        QString path = m_dir->filePath(name);
        TestUtil::writeBytes(path, MapFixtures::makeJpeg(params));
        return path;
    }

    static MapFixtures::JpegParams mapParams()
    {
        MapFixtures::JpegParams params;
        params.width = kMapWidth;
        params.height = kMapHeight;
        params.quality = 50;
        return params;
    }

    // Larger than any screen's work area, so that it scrolls both ways.
    static MapFixtures::JpegParams largeParams()
    {
        MapFixtures::JpegParams params = mapParams();
        params.width = 4000;
        params.height = 3000;
        return params;
    }

    std::unique_ptr<TQuorpla> makeWindow()
    {
        return std::make_unique<TQuorpla>(*m_state, *m_platform);
    }

    // Shows the map as "&Cartes" does and lets the window system's own
    // activation arrive.
    void open(TQuorpla &w, const QString &path)
    {
        w.showMap(path);
        QApplication::setActiveWindow(&w);
    }

    static QPoint viewportPos(TQuorpla &w, int x, int y)
    {
        return QPoint(x, y) - w.ScrollBox1->pictureOffset();
    }

    static void movePointer(TQuorpla &w, int x, int y)
    {
        sendMouse(w.ScrollBox1->viewport(), QEvent::MouseMove, viewportPos(w, x, y));
    }

    static void clickMap(TQuorpla &w, int x, int y)
    {
        QWidget *vp = w.ScrollBox1->viewport();
        const QPoint pos = viewportPos(w, x, y);
        sendMouse(vp, QEvent::MouseMove, pos);
        sendMouse(vp, QEvent::MouseButtonPress, pos, Qt::LeftButton);
        sendMouse(vp, QEvent::MouseButtonRelease, pos, Qt::LeftButton);
    }

    static void capture(TQuorpla &w, QCheckBox *box, int x, int y)
    {
        box->setChecked(true);
        clickMap(w, x, y);
    }

    static void type(QLineEdit *field, const QString &text)
    {
        field->clear();
        QTest::keyClicks(field, text);
    }

    // The sample calibration typed and captured as the user does it.
    static void enterSample(TQuorpla &w)
    {
        capture(w, w.Calibra->CheckP1, 0, 0);
        capture(w, w.Calibra->CheckP2, 1000, 800);
        capture(w, w.Calibra->CheckP3, 0, 800);
        type(w.Calibra->X1_c, QStringLiteral("500000"));
        type(w.Calibra->Y1_c, QStringLiteral("5000000"));
        type(w.Calibra->X2_c, QStringLiteral("502000"));
        type(w.Calibra->Y2_c, QStringLiteral("4998400"));
        type(w.Calibra->X3_c, QStringLiteral("500000"));
        type(w.Calibra->Y3_c, QStringLiteral("4998400"));
    }

    // The same straight into the session: the points captured at their
    // pixels, the fields filled at once.
    static void capturePoint(TQuorpla &w, int point, int x, int y)
    {
        w.session().setPointChecked(point, true);
        w.session().pointerMoved(x, y);
        w.session().setPointChecked(point, false);
    }

    // `captured` points only have their pixels captured.
    static void fillSample(TQuorpla &w, int captured = 3)
    {
        QLineEdit *fields[] = {w.Calibra->X1_c, w.Calibra->Y1_c, w.Calibra->X2_c,
                               w.Calibra->Y2_c, w.Calibra->X3_c, w.Calibra->Y3_c};
        for (int k = 0; k < captured; ++k)
            capturePoint(w, k, kSampleLines[3 + 4 * k].toInt(), kSampleLines[5 + 4 * k].toInt());
        for (int i = 0; i < 6; ++i)
            fields[i]->setText(kSampleLines[4 + 2 * i]);
    }

    static QString shownPanel(TQuorpla &w)
    {
        QStringList shown;
        for (QFrame *panel :
             std::initializer_list<QFrame *>{w.Calibra, w.VerifCalibra, w.Routes, w.Waypoints}) {
            if (panel->isVisibleTo(&w))
                shown << panel->objectName();
        }
        return shown.join(QLatin1Char(','));
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_state = std::make_unique<AppState>();
        m_state->programDirectory = m_dir->path() + QLatin1Char('/');
        m_platform = std::make_unique<FakePlatform>();
        m_map = writeMap(QStringLiteral("massif.jpg"), mapParams());
    }

    void cleanup()
    {
        FileLayer::setFaultHook({});
        MapFile::setOpenHook({});
        QApplication::setActiveWindow(nullptr);
    }

    void opensAnUncalibratedMap()
    {
        auto w = makeWindow();
        open(*w, m_map);
        QVERIFY(w->isVisible());
        QCOMPARE(w->windowTitle(), m_map);
        QVERIFY(w->isMaximized());
        QVERIFY(w->width() >= w->screen()->availableGeometry().width() - 16);
        QCOMPARE(shownPanel(*w), QStringLiteral("Calibra"));
        QCOMPARE(w->session().picture().size(), QSize(kMapWidth, kMapHeight));
        QCOMPARE(w->session().cleanImage().size(), QSize(kMapWidth, kMapHeight));
        QCOMPARE(w->Calibra->M_Zone->text(), QStringLiteral("31"));
        QCOMPARE(w->Calibra->M_lettre->text(), QStringLiteral("U"));
        QCOMPARE(w->Calibra->M_Systeme->text(), QStringLiteral("ED50"));
        QVERIFY(w->Calibra->CheckP1->isChecked());
        QVERIFY(!w->Calibra->CheckP2->isChecked());
        QCOMPARE(w->ScrollBox1->pictureOffset(), QPoint(0, 0));
        QCOMPARE(w->ScrollBox1->viewport()->cursor().shape(), Qt::CrossCursor);
        QVERIFY(!w->Calibra->M_Zone->isEnabled());
        QCOMPARE(w->Calibra->width(), 233);
        QCOMPARE(w->Routes->width(), 230);
        QCOMPARE(w->Calibra->palette().color(QPalette::Window), QColor(0, 255, 0));
        QCOMPARE(w->Calibra->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QCOMPARE(w->Calibra->ValiCalibr->text(), QStringLiteral("&Valider la calibration"));
        QCOMPARE(w->Calibra->CheckP2->text(), QStringLiteral("Point 2 (Bas-droit)"));
        QCOMPARE(w->VerifCalibra->C_Fauuse->text(), QStringLiteral("A Refaire"));
        QVERIFY(m_platform->errors.isEmpty());
        // The map is painted pixel for pixel: the top-left quadrant is red.
        QVERIFY(MapFixtures::near(w->session().shownImage().pixelColor(5, 5), QColor(255, 0, 0), 16));
    }

    void spinnerLimits()
    {
        auto w = makeWindow();
        open(*w, m_map);
        w->Calibra->UpZone->setPosition(60);
        w->Calibra->UpZone->upButton()->click();
        QCOMPARE(w->Calibra->UpZone->position(), 60);
        QCOMPARE(w->Calibra->M_Zone->text(), QStringLiteral("60"));
        w->Calibra->UpZone->downButton()->click();
        QCOMPARE(w->Calibra->M_Zone->text(), QStringLiteral("59"));
        w->Calibra->UpZone->setPosition(0);
        w->Calibra->UpZone->downButton()->click();
        QCOMPARE(w->Calibra->M_Zone->text(), QStringLiteral("0"));

        w->Calibra->UpLettre->setPosition('X');
        w->Calibra->UpLettre->upButton()->click();
        QCOMPARE(w->Calibra->M_lettre->text(), QStringLiteral("X"));
        w->Calibra->UpLettre->setPosition('C');
        w->Calibra->UpLettre->downButton()->click();
        QCOMPARE(w->Calibra->M_lettre->text(), QStringLiteral("C"));
        w->Calibra->UpLettre->setPosition('H');
        w->Calibra->UpLettre->upButton()->click();
        QCOMPARE(w->Calibra->M_lettre->text(), QStringLiteral("I"));
        w->Calibra->UpLettre->setPosition('N');
        w->Calibra->UpLettre->upButton()->click();
        QCOMPARE(w->Calibra->M_lettre->text(), QStringLiteral("O"));

        w->Calibra->UpSystem->upButton()->click();
        QCOMPARE(w->Calibra->M_Systeme->text(), QStringLiteral("WGS84"));
        w->Calibra->UpSystem->upButton()->click();
        QCOMPARE(w->Calibra->M_Systeme->text(), QStringLiteral("WGS84"));
        w->Calibra->UpSystem->downButton()->click();
        w->Calibra->UpSystem->downButton()->click();
        QCOMPARE(w->Calibra->M_Systeme->text(), QStringLiteral("ED50"));
    }

    void pointBoxesScrollToTheirCorners()
    {
        auto w = makeWindow();
        open(*w, writeMap(QStringLiteral("grande.jpg"), largeParams()));
        QScrollBar *h = w->ScrollBox1->horizontalScrollBar();
        QScrollBar *v = w->ScrollBox1->verticalScrollBar();
        QVERIFY(h->maximum() > 0 && v->maximum() > 0);
        w->Calibra->CheckP2->setChecked(true);
        QVERIFY(!w->Calibra->CheckP1->isChecked());
        QCOMPARE(w->ScrollBox1->pictureOffset(), QPoint(h->maximum(), v->maximum()));
        w->Calibra->CheckP3->setChecked(true);
        QVERIFY(!w->Calibra->CheckP2->isChecked());
        QCOMPARE(w->ScrollBox1->pictureOffset(), QPoint(0, v->maximum()));
        // Unchecking moves nothing.
        h->setValue(5);
        w->Calibra->CheckP3->setChecked(false);
        QCOMPARE(w->ScrollBox1->pictureOffset(), QPoint(5, v->maximum()));
        w->Calibra->CheckP1->setChecked(true);
        QCOMPARE(w->ScrollBox1->pictureOffset(), QPoint(0, 0));
    }

    void pointerCapturesAndClickEndsCapture()
    {
        auto w = makeWindow();
        open(*w, m_map);
        movePointer(*w, 12, 34);
        QCOMPARE(w->Calibra->X1_i->text(), QStringLiteral("12"));
        QCOMPARE(w->Calibra->Y1_i->text(), QStringLiteral("34"));
        QCOMPARE(w->Calibra->X2_i->text(), QString());
        clickMap(*w, 15, 16);
        QVERIFY(!w->Calibra->CheckP1->isChecked());
        QCOMPARE(w->Calibra->X1_i->text(), QStringLiteral("15"));
        QCOMPARE(w->Calibra->Y1_i->text(), QStringLiteral("16"));
        movePointer(*w, 50, 60);
        QCOMPARE(w->Calibra->X1_i->text(), QStringLiteral("15"));
        // Pixels count from the picture's corner whatever the scrolling.
        w->Calibra->CheckP2->setChecked(true);
        movePointer(*w, 1100, 850);
        QCOMPARE(w->Calibra->X2_i->text(), QStringLiteral("1100"));
        QCOMPARE(w->Calibra->Y2_i->text(), QStringLiteral("850"));
    }

    void validationWritesTheFileAndShowsVerification()
    {
        auto w = makeWindow();
        open(*w, m_map);
        enterSample(*w);
        w->Calibra->ValiCalibr->click();
        QVERIFY(m_platform->errors.isEmpty());
        QCOMPARE(shownPanel(*w), QStringLiteral("VerifCalibra"));
        QCOMPARE(TestUtil::readBytes(calFile()), crlf(kSampleLines));
        QCOMPARE(w->VerifCalibra->LZone->text(), QStringLiteral("31"));
        QCOMPARE(w->VerifCalibra->LLettre->text(), QStringLiteral("U"));
        QCOMPARE(w->VerifCalibra->LSysteme->text(), QStringLiteral("ED50"));
        QCOMPARE(w->VerifCalibra->LEchelle->text(), QStringLiteral("23622"));
        QCOMPARE(w->session().xdens(), quint16(300));
        QCOMPARE(w->session().transform().c, (Coefficients{500000, 2, 0}));
        QCOMPARE(w->session().calibrationLines(), kSampleLines);
    }

    void newOpeningRestoresTheCalibration()
    {
        {
            auto w = makeWindow();
            open(*w, m_map);
            fillSample(*w);
            w->Calibra->UpZone->upButton()->click();
            w->Calibra->UpLettre->upButton()->click();
            w->Calibra->UpSystem->upButton()->click();
            w->Calibra->ValiCalibr->click();
            QVERIFY(m_platform->errors.isEmpty());
        }
        auto w = makeWindow();
        open(*w, m_map);
        QCOMPARE(shownPanel(*w), QStringLiteral("VerifCalibra"));
        QCOMPARE(w->VerifCalibra->LZone->text(), QStringLiteral("32"));
        QCOMPARE(w->VerifCalibra->LLettre->text(), QStringLiteral("V"));
        QCOMPARE(w->VerifCalibra->LSysteme->text(), QStringLiteral("WGS84"));
        QCOMPARE(w->VerifCalibra->LEchelle->text(), QStringLiteral("23622"));
        QCOMPARE(w->Calibra->X2_c->text(), QStringLiteral("502000"));
        QCOMPARE(w->Calibra->Y3_i->text(), QStringLiteral("800"));
        QCOMPARE(w->Calibra->M_Zone->text(), QStringLiteral("31"));
        QCOMPARE(w->Calibra->M_lettre->text(), QStringLiteral("U"));
        QVERIFY(m_platform->errors.isEmpty());
    }

    void readoutAndRoutePanel()
    {
        TestUtil::writeBytes(calFile(), crlf(kSampleLines));
        auto w = makeWindow();
        open(*w, m_map);
        QCOMPARE(shownPanel(*w), QStringLiteral("VerifCalibra"));
        movePointer(*w, 10, 20);
        QCOMPARE(w->VerifCalibra->LX->text(), QStringLiteral("500020"));
        QCOMPARE(w->VerifCalibra->LY->text(), QStringLiteral("4999960"));
        w->VerifCalibra->C_Bonne->click();
        QCOMPARE(shownPanel(*w), QStringLiteral("Routes"));
        movePointer(*w, 30, 40);
        QCOMPARE(w->VerifCalibra->LX->text(), QStringLiteral("500020"));
        QCOMPARE(w->Calibra->X1_i->text(), QStringLiteral("0"));
    }

    void correcteDrawsTheLabels()
    {
        TestUtil::writeBytes(calFile(), crlf(kSampleLines));
        auto w = makeWindow();
        open(*w, m_map);
        w->VerifCalibra->C_Bonne->click();
        QCOMPARE(w->session().pictureFont().pointSize(), 30);
        QCOMPARE(w->session().pictureFont().family(), QStringLiteral("Arial"));
        const QImage shown = w->session().shownImage();
        const QImage &clean = w->session().cleanImage();
        QCOMPARE(shown.size(), clean.size());
        QVERIFY(shown.constBits() != clean.constBits());
        // A white box with blue text where the 501000 label is centred on
        // x = 500, row 40 and below; the clean map has none of it.
        auto hasBlue = [](const QImage &image, QRect area) {
            for (int y = area.top(); y <= area.bottom(); ++y) {
                for (int x = area.left(); x <= area.right(); ++x) {
                    if (image.pixelColor(x, y) == QColor(0, 0, 255))
                        return true;
                }
            }
            return false;
        };
        QVERIFY(hasBlue(shown, QRect(450, 40, 100, 30)));
        QVERIFY(!hasBlue(clean, QRect(450, 40, 100, 30)));
        QCOMPARE(shown.pixelColor(700, 300), clean.pixelColor(700, 300));
        // Drawing again starts from the clean map.
        w->session().drawGridLabels();
        QVERIFY(hasBlue(w->session().shownImage(), QRect(450, 40, 100, 30)));
    }

    void escapeValidates()
    {
        auto w = makeWindow();
        open(*w, m_map);
        fillSample(*w);
        QTest::keyClick(w.get(), Qt::Key_Escape);
        QCOMPARE(shownPanel(*w), QStringLiteral("VerifCalibra"));
        QVERIFY(QFile::exists(calFile()));
    }

    void halfFilledFieldStopsTheValidation()
    {
        auto w = makeWindow();
        open(*w, m_map);
        fillSample(*w);
        type(w->Calibra->X1_c, QStringLiteral("12345"));
        w->Calibra->ValiCalibr->click();
        QCOMPARE(m_platform->errors,
                 QStringList{QStringLiteral("'12345 ' n'est pas une valeur entière correcte")});
        QCOMPARE(shownPanel(*w), QStringLiteral("Calibra"));
        QVERIFY(!QFile::exists(calFile()));
        // The masks take digits only, up to their length.
        type(w->Calibra->Y1_c, QStringLiteral("12a34567890"));
        QCOMPARE(w->Calibra->Y1_c->text(), QStringLiteral("1234567"));
    }

    void pointNeverCaptured()
    {
        auto w = makeWindow();
        open(*w, m_map);
        fillSample(*w, 2);
        QCOMPARE(w->Calibra->X3_i->text(), QString());
        w->Calibra->ValiCalibr->click();
        QCOMPARE(m_platform->errors,
                 QStringList{QStringLiteral("'' n'est pas une valeur entière correcte")});
        QCOMPARE(shownPanel(*w), QStringLiteral("Calibra"));
    }

    void collinearPointsAreRejectedSilently()
    {
        auto w = makeWindow();
        open(*w, m_map);
        fillSample(*w);
        capturePoint(*w, 1, 1000, 0);
        capturePoint(*w, 2, 0, 0);
        w->Calibra->ValiCalibr->click();
        QVERIFY(m_platform->errors.isEmpty());
        QCOMPARE(shownPanel(*w), QStringLiteral("Calibra"));
        QVERIFY(!QFile::exists(calFile()));
        QCOMPARE(w->VerifCalibra->LEchelle->text(), QStringLiteral("Echelle"));
    }

    void mapWithoutJfif()
    {
        MapFixtures::JpegParams params = mapParams();
        params.jfif = false;
        m_map = writeMap(QStringLiteral("exif.jpg"), params);
        auto w = makeWindow();
        open(*w, m_map);
        QCOMPARE(w->session().picture().size(), QSize(kMapWidth, kMapHeight));
        fillSample(*w);
        w->Calibra->ValiCalibr->click();
        QCOMPARE(m_platform->errors,
                 QStringList{QStringLiteral("Lecture au-delà de la fin de fichier")});
        QCOMPARE(shownPanel(*w), QStringLiteral("Calibra"));
        QCOMPARE(w->VerifCalibra->LEchelle->text(), QStringLiteral("Echelle"));
        QVERIFY(!QFile::exists(calFile()));
        // The four triples were solved.
        QCOMPARE(w->session().transform().f, (Coefficients{2500000, 0, -0.5}));
    }

    void zeroDensity()
    {
        MapFixtures::JpegParams params = mapParams();
        params.ydens = 0;
        m_map = writeMap(QStringLiteral("zero.jpg"), params);
        auto w = makeWindow();
        open(*w, m_map);
        fillSample(*w);
        w->Calibra->ValiCalibr->click();
        QCOMPARE(m_platform->errors,
                 QStringList{QStringLiteral("Division par zéro en virgule flottante")});
        QCOMPARE(shownPanel(*w), QStringLiteral("Calibra"));
        QVERIFY(!QFile::exists(calFile()));
    }

    void unitsCodeZeroCountsAsCentimetres()
    {
        MapFixtures::JpegParams params = mapParams();
        params.units = 0;
        m_map = writeMap(QStringLiteral("ratio.jpg"), params);
        auto w = makeWindow();
        open(*w, m_map);
        fillSample(*w);
        w->Calibra->ValiCalibr->click();
        QVERIFY(m_platform->errors.isEmpty());
        QCOMPARE(w->VerifCalibra->LEchelle->text(), QStringLiteral("60000"));
    }

    void readOnlyMapCanBeCalibrated()
    {
        // Any access to the map but reading is refused.
        MapFile::setOpenHook([](const QString &, int flags) {
            return (flags & O_ACCMODE) == O_RDONLY ? 0 : EACCES;
        });
        FileLayer::setFaultHook(
            [this](FileLayer::Op, const QString &path) { return path == m_map ? EACCES : 0; });
        auto w = makeWindow();
        open(*w, m_map);
        fillSample(*w);
        w->Calibra->ValiCalibr->click();
        QVERIFY(m_platform->errors.isEmpty());
        QCOMPARE(shownPanel(*w), QStringLiteral("VerifCalibra"));
        QCOMPARE(TestUtil::readBytes(calFile()), crlf(kSampleLines));
    }

    void calibrationFileOfFourteenLines()
    {
        TestUtil::writeBytes(calFile(), crlf(kSampleLines.mid(0, 14)));
        auto w = makeWindow();
        w->Calibra->Y3_c->setText(QStringLiteral("1111111"));
        open(*w, m_map);
        QCOMPARE(m_platform->errors,
                 QStringList{QStringLiteral("Indice de liste hors limites (14)")});
        // The fields read so far are in place, and the calibration panel
        // lets the user validate a sound file.
        QCOMPARE(shownPanel(*w), QStringLiteral("Calibra"));
        QCOMPARE(w->Calibra->Y3_i->text(), QStringLiteral("800"));
        QCOMPARE(w->Calibra->Y3_c->text(), QStringLiteral("1111111"));
        w->Calibra->Y3_c->setText(QStringLiteral("4998400"));
        w->Calibra->ValiCalibr->click();
        QCOMPARE(shownPanel(*w), QStringLiteral("VerifCalibra"));
        QCOMPARE(TestUtil::readBytes(calFile()), crlf(kSampleLines));
    }

    void damagedCalibrationValue()
    {
        QStringList lines = kSampleLines;
        lines[8] = QStringLiteral("50200O");
        TestUtil::writeBytes(calFile(), crlf(lines));
        auto w = makeWindow();
        open(*w, m_map);
        QCOMPARE(m_platform->errors,
                 QStringList{QStringLiteral("'50200O' n'est pas une valeur entière correcte")});
        QCOMPARE(shownPanel(*w), QStringLiteral("Calibra"));
    }

    void calibrationFileCannotBeWritten()
    {
        const QString cal = calFile();
        FileLayer::setFaultHook([cal](FileLayer::Op op, const QString &path) {
            return path == cal && op == FileLayer::Op::CreateTemp ? EACCES : 0;
        });
        auto w = makeWindow();
        open(*w, m_map);
        fillSample(*w);
        w->Calibra->ValiCalibr->click();
        QCOMPARE(m_platform->errors,
                 QStringList{QStringLiteral("Impossible de créer le fichier ") + cal});
        QCOMPARE(shownPanel(*w), QStringLiteral("VerifCalibra"));
        QCOMPARE(w->VerifCalibra->LEchelle->text(), QStringLiteral("23622"));
        QVERIFY(!QFile::exists(cal));
    }

    void redoShowsTheFileValues()
    {
        QStringList lines = kSampleLines;
        lines[0] = QStringLiteral("32");
        lines[1] = QStringLiteral("V");
        TestUtil::writeBytes(calFile(), crlf(lines));
        auto w = makeWindow();
        open(*w, m_map);
        QCOMPARE(w->VerifCalibra->LZone->text(), QStringLiteral("32"));
        w->VerifCalibra->C_Fauuse->click();
        QCOMPARE(shownPanel(*w), QStringLiteral("Calibra"));
        QCOMPARE(w->Calibra->X1_c->text(), QStringLiteral("500000"));
        QCOMPARE(w->Calibra->Y2_c->text(), QStringLiteral("4998400"));
        QCOMPARE(w->Calibra->X2_i->text(), QStringLiteral("1000"));
        QCOMPARE(w->Calibra->M_Zone->text(), QStringLiteral("31"));
        QCOMPARE(w->Calibra->M_lettre->text(), QStringLiteral("U"));
        w->Calibra->ValiCalibr->click();
        QCOMPARE(TestUtil::readBytes(calFile()), crlf(kSampleLines));
    }

    void loadedCollinearCalibration()
    {
        QStringList lines = kSampleLines;
        lines[9] = QStringLiteral("0");
        lines[13] = QStringLiteral("0");
        TestUtil::writeBytes(calFile(), crlf(lines));
        auto w = makeWindow();
        open(*w, m_map);
        QVERIFY(m_platform->errors.isEmpty());
        QCOMPARE(shownPanel(*w), QStringLiteral("VerifCalibra"));
        movePointer(*w, 10, 20);
        QCOMPARE(w->VerifCalibra->LX->text(), QStringLiteral("0"));
        QCOMPARE(w->VerifCalibra->LY->text(), QStringLiteral("0"));
        // The scale keeps the text it had.
        QCOMPARE(w->VerifCalibra->LEchelle->text(), QStringLiteral("Echelle"));
    }

    void quitAndCloseBox()
    {
        TestUtil::writeBytes(calFile(), crlf(kSampleLines));
        auto w = makeWindow();
        open(*w, m_map);
        w->VerifCalibra->Button1->click();
        QVERIFY(!w->isVisible());
        QVERIFY(!w->isMapActive());
        QVERIFY(w->session().calibrationLines().isEmpty());
        open(*w, m_map);
        QVERIFY(w->isVisible());
        QCOMPARE(shownPanel(*w), QStringLiteral("VerifCalibra"));
        QVERIFY(w->close());
        QVERIFY(!w->isVisible());
    }

    void badAndMissingMaps()
    {
        const QString bad = m_dir->filePath(QStringLiteral("faux.jpg"));
        TestUtil::writeBytes(bad, QByteArray("GIF89a"));
        auto w = makeWindow();
        open(*w, bad);
        QCOMPARE(m_platform->errors,
                 QStringList{QStringLiteral("Erreur JPEG #%1").arg(JERR_NO_SOI)});
        QCOMPARE(shownPanel(*w), QString());

        // On a map already shown, the failing reset changes nothing.
        TestUtil::writeBytes(calFile(), crlf(kSampleLines));
        open(*w, m_map);
        w->VerifCalibra->C_Bonne->click();
        m_platform->errors.clear();
        const QString missing = m_dir->filePath(QStringLiteral("absente.jpg"));
        open(*w, missing);
        QCOMPARE(m_platform->errors,
                 QStringList{QStringLiteral("Impossible d'ouvrir le fichier ") + missing});
        QCOMPARE(shownPanel(*w), QStringLiteral("Routes"));
        QCOMPARE(w->session().picture().size(), QSize(kMapWidth, kMapHeight));
        // The panel cannot act on the lists that went with the old map.
        QVERIFY(w->session().loadFailed());
        QVERIFY(!w->Routes->RNouvelle->isEnabled());

        // A truncated map.
        m_platform->errors.clear();
        const QByteArray whole = TestUtil::readBytes(m_map);
        const QString cut = m_dir->filePath(QStringLiteral("coupee.jpg"));
        TestUtil::writeBytes(cut, whole.left(whole.size() / 2));
        open(*w, cut);
        QCOMPARE(m_platform->errors,
                 QStringList{QStringLiteral("Erreur JPEG #%1").arg(JWRN_JPEG_EOF)});
        QCOMPARE(shownPanel(*w), QStringLiteral("Routes"));
    }

    void activationAmongTheProgramsWindows()
    {
        TestUtil::writeBytes(calFile(), crlf(kSampleLines));
        QMainWindow main;
        main.show();
        auto w = makeWindow();
        open(*w, m_map);
        QVERIFY(w->isMapActive());
        w->VerifCalibra->C_Bonne->click();
        QCOMPARE(shownPanel(*w), QStringLiteral("Routes"));
        QVERIFY(!w->session().calibrationLines().isEmpty());

        // Another program, then back: nothing happens.
        QApplication::setActiveWindow(nullptr);
        QApplication::setActiveWindow(w.get());
        QCOMPARE(shownPanel(*w), QStringLiteral("Routes"));
        QVERIFY(!w->session().calibrationLines().isEmpty());

        // A dialog of a command (file, print, error) comes and goes.
        QDialog box(w.get());
        box.setModal(true);
        box.show();
        QApplication::setActiveWindow(&box);
        QVERIFY(w->isMapActive());
        box.hide();
        QApplication::setActiveWindow(w.get());
        QCOMPARE(shownPanel(*w), QStringLiteral("Routes"));

        // The main window: the lists go, the panel stays until the map
        // window is active again, which resets it.
        QApplication::setActiveWindow(&main);
        QVERIFY(!w->isMapActive());
        QVERIFY(w->session().calibrationLines().isEmpty());
        QVERIFY(w->session().cleanImage().isNull());
        QCOMPARE(shownPanel(*w), QStringLiteral("Routes"));
        QApplication::setActiveWindow(w.get());
        QVERIFY(w->isMapActive());
        QCOMPARE(shownPanel(*w), QStringLiteral("VerifCalibra"));
        QCOMPARE(w->session().calibrationLines(), kSampleLines);
        QCOMPARE(w->session().cleanImage().size(), QSize(kMapWidth, kMapHeight));

        // Another program, then the main window, then the map: reset.
        w->VerifCalibra->C_Bonne->click();
        QApplication::setActiveWindow(nullptr);
        QApplication::setActiveWindow(&main);
        QApplication::setActiveWindow(w.get());
        QCOMPARE(shownPanel(*w), QStringLiteral("VerifCalibra"));

        // A modeless window of the program counts like the main window.
        QDialog tool;
        tool.show();
        w->VerifCalibra->C_Bonne->click();
        QApplication::setActiveWindow(&tool);
        QApplication::setActiveWindow(w.get());
        QCOMPARE(shownPanel(*w), QStringLiteral("VerifCalibra"));
        QVERIFY(m_platform->errors.isEmpty());
    }

    void reactivationKeepsAnUnchangedPicture()
    {
        QMainWindow main;
        main.show();
        auto w = makeWindow();
        open(*w, m_map);
        QCOMPARE(w->session().imageCache().decodeCount(), 1);
        const uchar *pixels = w->session().cleanImage().constBits();
        QApplication::setActiveWindow(&main);
        QApplication::setActiveWindow(w.get());
        QCOMPARE(w->session().imageCache().decodeCount(), 1);
        QCOMPARE(w->session().cleanImage().constBits(), pixels);
        // The displayed picture starts as the clean one, unshared only when
        // drawn on.
        QCOMPARE(w->session().picture().scan().constBits(), pixels);

        // A changed file is decoded again.
        MapFixtures::JpegParams params = mapParams();
        TestUtil::writeBytes(m_map,
                             MapFixtures::makeJpeg(params, [](int, int) { return Qt::black; }));
        QFile file(m_map);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                                 QFileDevice::FileModificationTime));
        file.close();
        QApplication::setActiveWindow(&main);
        QApplication::setActiveWindow(w.get());
        QCOMPARE(w->session().imageCache().decodeCount(), 2);
        QVERIFY(MapFixtures::near(w->session().shownImage().pixelColor(5, 5), QColor(0, 0, 0)));
    }

    void resetFillsTheRoutePanelFields()
    {
        auto w = makeWindow();
        QString title = QStringLiteral("Tour du Mont Blanc");
        w->setCatalogueTitleSource([&title] { return title; });
        w->Routes->RWaypoints->setEnabled(true);
        w->Routes->RSupprimer->setEnabled(true);
        open(*w, m_map);
        QCOMPARE(w->Routes->RLNouvelle->text(), QStringLiteral("Tour du Mont Blanc"));
        QVERIFY(!w->Routes->RWaypoints->isEnabled());
        QVERIFY(!w->Routes->RSupprimer->isEnabled());

        fillSample(*w);
        w->Calibra->ValiCalibr->click();
        QCOMPARE(w->Waypoints->WZone->text(), QStringLiteral("31"));
        QCOMPARE(w->Waypoints->WLettre->text(), QStringLiteral("U"));
        QCOMPARE(w->Waypoints->WSysteme->text(), QStringLiteral("ED50"));
    }

    void pointerBesideThePicture()
    {
        MapFixtures::JpegParams params;
        params.width = 100;
        params.height = 80;
        m_map = writeMap(QStringLiteral("petite.jpg"), params);
        auto w = makeWindow();
        open(*w, m_map);
        movePointer(*w, 150, 50);
        QCOMPARE(w->Calibra->X1_i->text(), QString());
        movePointer(*w, 99, 79);
        QCOMPARE(w->Calibra->X1_i->text(), QStringLiteral("99"));
        clickMap(*w, 100, 10);
        QVERIFY(w->Calibra->CheckP1->isChecked());
    }

    void scrollingRepaintsOnlyTheUncoveredStrip()
    {
        auto w = makeWindow();
        open(*w, writeMap(QStringLiteral("grande.jpg"), largeParams()));
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QWidget *vp = w->ScrollBox1->viewport();
        vp->repaint();
        QVERIFY(w->ScrollBox1->paintedArea() >= qint64(vp->width()) * vp->height());
        w->ScrollBox1->resetPaintedArea();
        w->ScrollBox1->verticalScrollBar()->setValue(10);
        QApplication::processEvents();
        const qint64 painted = w->ScrollBox1->paintedArea();
        QVERIFY2(painted > 0, qPrintable(QString::number(painted)));
        QVERIFY2(painted <= qint64(vp->width()) * 10, qPrintable(QString::number(painted)));
    }
};

QUOR_TEST(TQuorplaTest)
#include "tst_window.moc"
