#include "app/exampleproject.h"
#include "app/quorapp.h"
#include "app/tquor.h"
#include "common/testmain.h"
#include "common/testutil.h"
#include "data/appstate.h"
#include "data/catalogue.h"
#include "data/gpxfile.h"
#include "data/itinerary.h"
#include "data/linelist.h"
#include "data/settings.h"
#include "data/stringgrid.h"
#include "data/textforms.h"
#include "editor/gridview.h"
#include "editor/stagetimes.h"
#include "gps/coordinates.h"
#include "gps/tquorrte.h"
#include "maps/calibrationpanel.h"
#include "maps/jfifdensity.h"
#include "maps/tquorpla.h"
#include "maps/verificationpanel.h"
#include "platform/fakeplatform.h"

#include "widgets/stringlistview.h"
#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QImage>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <algorithm>
#include <cmath>

using namespace TestUtil;

namespace {

struct Example
{
    QTemporaryDir dir;
    AppState state;

    Example()
    {
        ExampleProject::write(dir.path());
        ExampleProject::remember(dir.path());
        ExampleProject::writeRecordedWalk(dir.path());
        state.programDirectory = dir.path() + QLatin1Char('/');
        state.projectName = ExampleProject::kProjectName;
    }

    QString file(const QString &name) const { return state.project_file(name); }

    QStringList lines(const QString &name) const
    {
        QStringList out;
        LineList::read(file(name), out);
        return out;
    }
};

QSet<QString> meansOf(const StringGrid &stages)
{
    QSet<QString> out;
    for (int r = 1; r < stages.rowCount(); ++r) {
        if (!stages.cell(Itinerary::Means, r).isEmpty())
            out.insert(stages.cell(Itinerary::Means, r));
    }
    return out;
}

bool anyStartsWith(const QSet<QString> &codes, QChar mode)
{
    for (const QString &code : codes) {
        if (code.startsWith(mode))
            return true;
    }
    return false;
}

// A "31T E N" position lies on the example map.
bool onTheMap(const QString &position)
{
    const QStringList parts = position.split(QLatin1Char(' '));
    if (parts.size() != 3 || parts[0] != QStringLiteral("31T"))
        return false;
    const QPointF px = ExampleProject::pixelOf(parts[1].toInt(), parts[2].toInt());
    return px.x() >= 0 && px.y() >= 0 && px.x() < ExampleProject::kMapWidth &&
           px.y() < ExampleProject::kMapHeight;
}

} // namespace

// The example project: its files, and what a new user does with it.
class ExampleTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<Example> m_example;

private slots:
    void initTestCase() { m_example = std::make_unique<Example>(); }
    void cleanupTestCase() { m_example.reset(); }

    void theCatalogueHoldsTheItineraries()
    {
        Example &e = *m_example;
        QCOMPARE(read_settings(e.state.programDirectory).projectName, QStringLiteral("Exemple"));
        StringGrid catalogue(Catalogue::kColumns, Catalogue::kRows);
        load_catalogue(e.state, catalogue);
        QCOMPARE(catalogue.cell(Catalogue::Code, 0), QStringLiteral("PIC"));
        QCOMPARE(catalogue.cell(Catalogue::Title, 0), QStringLiteral("Boucle du Pic du Vallon"));
        QCOMPARE(catalogue.cell(Catalogue::Departure, 0), QStringLiteral("08:30"));
        QCOMPARE(catalogue.cell(Catalogue::Code, 1), QStringLiteral("LACS"));
        QCOMPARE(catalogue.cell(Catalogue::Title, 1),
                 QStringLiteral("Auto, vélo et marche au Lac de la Font"));
        QCOMPARE(catalogue.cell(Catalogue::Code, 2), QStringLiteral("SENTIER"));
        QCOMPARE(catalogue.cell(Catalogue::Date, 0), date_text(dateToDays(QDate(2025, 7, 12))));
        for (int r = 3; r < Catalogue::kRows; ++r)
            QVERIFY(catalogue.cell(Catalogue::Title, r).isEmpty());
        for (int k = 0; k < 3; ++k)
            QCOMPARE(readBytes(e.file(Itinerary::fileName(k))).size(), Itinerary::kBlockSize);
    }

    void theTimesAreThoseTheProgramComputes()
    {
        Example &e = *m_example;
        StringGrid catalogue(Catalogue::kColumns, Catalogue::kRows);
        load_catalogue(e.state, catalogue);
        for (int k = 0; k < 2; ++k) {
            StringGrid stages(Itinerary::kColumns, Itinerary::kGridRows);
            load_itinerary(e.state, stages, k);
            const StringGrid stored = stages;
            const QString arrival = catalogue.cell(Catalogue::Arrival, k);
            QVERIFY(!arrival.isEmpty());
            compute_stage_times(stages, catalogue, k, SpeedTable());
            for (int r = 1; r < Itinerary::kGridRows; ++r) {
                for (int c = 0; c < Itinerary::kColumns; ++c)
                    QCOMPARE(stages.cell(c, r), stored.cell(c, r));
            }
            QCOMPARE(catalogue.cell(Catalogue::Arrival, k), arrival);
        }
    }

    void theWalkClimbsDescendsAndStops()
    {
        Example &e = *m_example;
        StringGrid stages(Itinerary::kColumns, Itinerary::kGridRows);
        load_itinerary(e.state, stages, 0);
        const QSet<QString> codes = meansOf(stages);
        QVERIFY(codes.contains(QStringLiteral("MM")));
        QVERIFY(codes.contains(QStringLiteral("MD")));
        QVERIFY(anyStartsWith(codes, QLatin1Char('P')));
        for (const QString &code : codes)
            QVERIFY2(code.startsWith(QLatin1Char('M')) || code.startsWith(QLatin1Char('P')),
                     qPrintable(code));
        QCOMPARE(stages.cell(Itinerary::Time, 1), QStringLiteral("08:30"));
        for (int r = 1; !stages.cell(Itinerary::Place, r).isEmpty(); ++r) {
            QVERIFY2(onTheMap(stages.cell(Itinerary::Position, r)), qPrintable(QString::number(r)));
            QVERIFY(!stages.cell(Itinerary::Time, r).isEmpty());
        }
    }

    void theSecondDayMixesCarBicycleAndWalking()
    {
        Example &e = *m_example;
        StringGrid stages(Itinerary::kColumns, Itinerary::kGridRows);
        load_itinerary(e.state, stages, 1);
        const QSet<QString> codes = meansOf(stages);
        QVERIFY(anyStartsWith(codes, QLatin1Char('V')));
        QVERIFY(anyStartsWith(codes, QLatin1Char('T')));
        QVERIFY(anyStartsWith(codes, QLatin1Char('O')));
        QVERIFY(anyStartsWith(codes, QLatin1Char('M')));
        QVERIFY(anyStartsWith(codes, QLatin1Char('P')));
    }

    void theMapIsAScanAt300DotsPerInch()
    {
        Example &e = *m_example;
        const JfifDensity density = readJfifDensity(e.file(ExampleProject::kMapFileName));
        QCOMPARE(int(density.unitsCode), 1);
        QCOMPARE(int(density.xdens), 300);
        QCOMPARE(int(density.ydens), 300);
        const QImage map(e.file(ExampleProject::kMapFileName));
        QCOMPARE(map.size(), QSize(ExampleProject::kMapWidth, ExampleProject::kMapHeight));
    }

    void theMapIsDrawnTheSameEveryTime()
    {
        QCOMPARE(ExampleProject::drawMap(), ExampleProject::drawMap());
    }

    void theCalibrationMatchesTheDrawing()
    {
        Example &e = *m_example;
        const QStringList cal = e.lines(ExampleProject::kCalibrationFileName);
        QCOMPARE(cal.size(), 15);
        QCOMPARE(cal.mid(0, 3), (QStringList{"31", "T", "ED50"}));
        for (int p = 0; p < 3; ++p) {
            const int x = cal[3 + 4 * p].toInt();
            const int easting = cal[4 + 4 * p].toInt();
            const int y = cal[5 + 4 * p].toInt();
            const int northing = cal[6 + 4 * p].toInt();
            QCOMPARE(ExampleProject::pixelOf(easting, northing), QPointF(x, y));
            QCOMPARE(cal[4 + 4 * p].size(), 6);
            QCOMPARE(cal[6 + 4 * p].size(), 7);
        }
    }

    void theRouteHasWaypointsOnTheMap()
    {
        Example &e = *m_example;
        QCOMPARE(e.lines(QStringLiteral("Quorr.qud")), (QStringList{"Sentier du lac", "AA"}));
        const QStringList points = e.lines(QStringLiteral("Quorr.AA"));
        QCOMPARE(points.size() % 10, 0);
        QVERIFY(points.size() / 10 >= 3);
        for (int i = 0; i < points.size() / 10; ++i) {
            const QStringList w = points.mid(10 * i, 10);
            QCOMPARE(w[0], QStringLiteral("AA%1").arg(i, 3, 10, QLatin1Char('0')));
            QVERIFY(onTheMap(QStringLiteral("31T %1 %2").arg(w[1], w[2])));
            QCOMPARE(w[3].toInt(), qRound(ExampleProject::altitude(w[1].toInt(), w[2].toInt())));
            QCOMPARE(w.mid(4), (QStringList{"Vallon.jpg", "31", "T", "ED50", "0", "0"}));
        }
    }

    // The walk starts at the route's first waypoint at 08:30 in Paris on the
    // route itinerary's day, and lasts its walking time and its 69 minutes
    // of stops.
    void theRecordedWalkFollowsTheRoute()
    {
        Example &e = *m_example;
        const GpxDocument walk = Gpx::read(e.file(QStringLiteral("Marche du lac.gpx")));
        QCOMPARE(walk.tracks.size(), 1);
        const QList<GpxPoint> &points = walk.tracks.first().points;
        QVERIFY(points.size() > 1);
        for (qsizetype i = 1; i < points.size(); ++i)
            QVERIFY(points[i - 1].time < points[i].time);
        QCOMPARE(points.first().time, QDateTime(QDate(2025, 9, 6), QTime(7, 0), QTimeZone::utc()));

        const QStringList route = e.lines(QStringLiteral("Quorr.AA"));
        const auto field = [&](int waypoint, int line) {
            return route[10 * waypoint + line].toDouble();
        };
        const Coordinates::LatLon start = Coordinates::toWgs84(
            {31, QLatin1Char('T'), QStringLiteral("ED50")}, {field(0, 1), field(0, 2)});
        constexpr double kMetresPerDegree = 111320;
        const double north = (points.first().latitude - start.latitude) * kMetresPerDegree;
        const double east = (points.first().longitude - start.longitude) * kMetresPerDegree *
                            std::cos(start.latitude * M_PI / 180);
        QVERIFY(std::hypot(north, east) < 30);

        // At least the walker's rule (380 m/h up, 4300 m/h flat, 560 m/h
        // down) over each whole leg, there and back, less a minute for the
        // waypoints' rounded altitudes; at most an hour more for the path's
        // ups and downs.
        double walking = 0;
        for (int w = 1; w < route.size() / 10; ++w) {
            const double metres =
                std::hypot(field(w, 1) - field(w - 1, 1), field(w, 2) - field(w - 1, 2));
            const double height = field(w, 3) - field(w - 1, 3);
            walking += std::max(metres / 4300, height > 0 ? height / 380 : -height / 560) * 3600;
            walking += std::max(metres / 4300, height < 0 ? -height / 380 : height / 560) * 3600;
        }
        const double stops = (4 + 20 + 45) * 60;
        const double seconds = points.first().time.secsTo(points.last().time);
        QVERIFY2(seconds >= walking + stops - 60, qPrintable(QString::number(seconds)));
        QVERIFY2(seconds <= walking + stops + 3600, qPrintable(QString::number(seconds)));
    }

    // What the README promises a new user: the example opens, its map is
    // calibrated, its route goes into an itinerary, and the route sheet prints.
    void aNewUserOpensTheMapInsertsTheRouteAndPrints()
    {
        Example e;
        FakePlatform platform;
        QuorApp app(platform, e.dir.path());
        TQuor &w = *app.main;
        QCOMPARE(w.windowTitle(), QStringLiteral("Editeur de route pour Exemple"));
        QVERIFY(!w.liste_iti->isHidden());

        // The map opens on its verification panel: it is calibrated.
        TQuorpla &map = *app.pla();
        platform.openFileAnswers << e.file(ExampleProject::kMapFileName);
        w.Cartes1->trigger();
        QApplication::setActiveWindow(&map);
        QVERIFY(!map.VerifCalibra->isHidden());
        QVERIFY(map.Calibra->isHidden());
        QCOMPARE(map.VerifCalibra->LZone->text(), QStringLiteral("31"));
        QCOMPARE(map.VerifCalibra->LLettre->text(), QStringLiteral("T"));
        QCOMPARE(map.VerifCalibra->LEchelle->text(), QStringLiteral("25000"));
        map.close();

        // The empty itinerary of the third row receives the route.
        QApplication::setActiveWindow(&w);
        QVERIFY(w.catalogueGrid().moveTo(Catalogue::Code, 2));
        w.Itinraire1->trigger();
        QVERIFY(!w.liste_eta->isHidden());
        TQuorrte &rte = *app.rte();
        w.Routes1->trigger();
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&rte, &activate);
        QCOMPARE(rte.LRoutes->list().items(), QStringList{ExampleProject::kRouteName});
        rte.LRoutes->list().select(0);
        QVERIFY(rte.RInserer->isEnabled());
        rte.RInsererClick();

        StringGrid &stages = w.stageGrid();
        const int waypoints = e.lines(QStringLiteral("Quorr.AA")).size() / 10;
        for (int i = 0; i < waypoints; ++i) {
            QCOMPARE(stages.cell(Itinerary::Place, 1 + i),
                     QStringLiteral("AA%1").arg(i, 3, 10, QLatin1Char('0')));
            QVERIFY(onTheMap(stages.cell(Itinerary::Position, 1 + i)));
        }
        QVERIFY(stages.cell(Itinerary::Place, 1 + waypoints).isEmpty());
        stages.moveTo(Itinerary::Place, 1);
        QCOMPARE(stages.cell(Itinerary::Time, 1), QStringLiteral("09:00"));
        QVERIFY(!stages.cell(Itinerary::Time, waypoints).isEmpty());
        QCOMPARE(w.catalogueGrid().cell(Catalogue::Arrival, 2),
                 stages.cell(Itinerary::Time, waypoints));

        // The route sheet goes to a PDF file.
        const QString pdf = e.dir.path() + QStringLiteral("/feuille.pdf");
        platform.confirmAnswers << true;
        platform.printAnswers << true;
        platform.preparePrinter = [&](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
        };
        w.ImPrimmer1->trigger();
        QVERIFY2(platform.errors.isEmpty(), qPrintable(platform.errors.join(QLatin1Char('\n'))));
        QCOMPARE(platform.printDialogs, 1);
        QVERIFY(readBytes(pdf).startsWith("%PDF"));
    }
};

QUOR_TEST(ExampleTest)
#include "tst_example.moc"
