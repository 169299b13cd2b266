#include "common/testmain.h"
#include "common/testutil.h"
#include "data/appstate.h"
#include "data/catalogue.h"
#include "data/filelayer.h"
#include "data/itinerary.h"
#include "data/stringgrid.h"
#include "gps/tquorrte.h"
#include "gpstestutil.h"
#include "platform/fakeplatform.h"
#include "widgets/stringlistview.h"
#include "widgets/updown.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <cerrno>
#include <memory>

using namespace GpsTest;
using namespace TestUtil;
using Itinerary::Column;

namespace {

const QString kExportNumberTitle = QStringLiteral("Crée un fichier GPS de la route n° ");

// A save dialog that takes the activation away from the route dialog and gives
// it back, as a real modal dialog does, after the user moved in the catalogue.
class ReactivatingPlatform : public FakePlatform
{
public:
    QWidget *dialog = nullptr;
    StringGrid *catalogue = nullptr;

    std::optional<QString> saveFile(QWidget *parent, const QString &title, const QString &directory,
                                    const QString &proposedName, const QString &filter,
                                    const QString &defaultExtension) override
    {
        QEvent deactivate(QEvent::WindowDeactivate);
        QCoreApplication::sendEvent(dialog, &deactivate);
        catalogue->moveTo(0, 20);
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(dialog, &activate);
        return FakePlatform::saveFile(parent, title, directory, proposedName, filter,
                                      defaultExtension);
    }
};

} // namespace

// The route dialog driven as the main window and the user drive it.
class TQuorrteTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    AppState m_state;
    FakePlatform m_platform;
    StringGrid m_stages{Itinerary::kColumns, Itinerary::kGridRows};
    StringGrid m_catalogue{Catalogue::kColumns, Catalogue::kRows};
    std::unique_ptr<TQuorrte> m_dialog;
    MoveLog m_log;
    QList<bool> m_enables;

    QString projectFile(const QString &name) const { return m_state.project_file(name); }

    void writeLines(const QString &name, const QStringList &lines)
    {
        QByteArray bytes;
        for (const QString &line : lines)
            bytes += cp1252(line) + "\r\n";
        writeBytes(projectFile(name), bytes);
    }

    void writeRoutes(const QStringList &lines) { writeLines(QStringLiteral("Quorr.qud"), lines); }
    void writeWaypoints(const QString &code, const QList<Waypoint> &points)
    {
        writeLines(QStringLiteral("Quorr.") + code, waypointLines(points));
    }

    // The window system's activation, delivered now.
    void activate()
    {
        QCoreApplication::processEvents();
        QEvent event(QEvent::WindowActivate);
        QCoreApplication::sendEvent(m_dialog.get(), &event);
    }

    void pick(const QString &name)
    {
        const int row = int(m_dialog->LRoutes->list().items().indexOf(name));
        QVERIFY(row >= 0);
        m_dialog->LRoutes->setCurrentIndex(m_dialog->LRoutes->model()->index(row, 0));
    }

    void openForInsertionAt(int row)
    {
        m_stages.moveTo(Column::Place, row);
        m_dialog->openForInsertion();
        activate();
    }

    void openForExportAt(int catalogueRow)
    {
        m_catalogue.moveTo(0, catalogueRow);
        m_dialog->openForExport();
        activate();
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_state = AppState();
        m_state.programDirectory = m_dir->path() + QLatin1Char('/');
        m_state.projectName = QStringLiteral("Rando");
        QDir(m_dir->path()).mkpath(QStringLiteral("Rando"));
        m_platform = FakePlatform();
        m_stages = StringGrid(Itinerary::kColumns, Itinerary::kGridRows);
        m_catalogue = StringGrid(Catalogue::kColumns, Catalogue::kRows);
        fillStages(m_stages);
        m_log = MoveLog();
        m_enables.clear();

        m_dialog = std::make_unique<TQuorrte>(m_state, m_platform);
        m_dialog->setGrids(m_stages, m_catalogue);
        m_dialog->setStageGridEnabler([this](bool enabled) { m_enables.append(enabled); });

        writeRoutes({"Forêt", "AA", "Lac", "AB"});
        writeWaypoints(QStringLiteral("AA"), exampleRoute());
    }

    void cleanup()
    {
        FileLayer::setFaultHook({});
        m_dialog.reset();
    }

    void layout()
    {
        TQuorrte &d = *m_dialog;
        QCOMPARE(d.size(), QSize(305, 339));
        QVERIFY(!d.isModal());
        QCOMPARE(d.palette().color(QPalette::Window), QColor(0, 255, 0));
        QCOMPARE(d.LRoutes->geometry(), QRect(0, 0, 305, 289));
        QCOMPARE(d.LRoutes->font().pixelSize(), 19);
        QCOMPARE(d.RInserer->geometry(), QRect(9, 296, 112, 33));
        QCOMPARE(d.RInserer->font().pixelSize(), 16);
        QCOMPARE(d.NumRoute->geometry(), QRect(128, 296, 33, 30));
        QCOMPARE(d.NumRoute->font().pixelSize(), 19);
        QVERIFY(d.NumRoute->isReadOnly());
        QCOMPARE(d.UpRoute->geometry(), QRect(160, 296, 16, 33));
        QCOMPARE(d.UpRoute->minimum(), 1);
        QCOMPARE(d.UpRoute->maximum(), 30);
        QCOMPARE(d.Quitter->geometry(), QRect(184, 296, 114, 33));
        QCOMPARE(d.Quitter->text(), QStringLiteral("Quitter"));
        QCOMPARE(d.Quitter->font().pixelSize(), 16);
        QCOMPARE(d.property(kHelpContextProperty).toInt(), 5);
    }

    void openForInsertionListsTheRoutes()
    {
        openForInsertionAt(7);
        TQuorrte &d = *m_dialog;
        QVERIFY(d.isVisible());
        QCOMPARE(d.windowTitle(), QStringLiteral("Insère une route à partir de la ligne 7"));
        QCOMPARE(d.RInserer->text(), QStringLiteral("&Insérer"));
        QVERIFY(!d.RInserer->isEnabled());
        QVERIFY(d.NumRoute->isHidden());
        QVERIFY(d.UpRoute->isHidden());
        QCOMPARE(d.LRoutes->list().items(), QStringList({"Forêt", "Lac"}));
        QCOMPARE(d.LRoutes->rowRect(0).height(), 22);
        QVERIFY(d.LRoutes->selectionModel()->selectedRows().isEmpty());
    }

    void pickingARouteEnablesTheButton()
    {
        openForInsertionAt(7);
        pick(QStringLiteral("Lac"));
        QVERIFY(m_dialog->RInserer->isEnabled());
    }

    // The list makes an item current when it takes the focus; that picks nothing.
    void currentItemWithoutSelectionPicksNothing()
    {
        openForInsertionAt(7);
        m_dialog->LRoutes->selectionModel()->setCurrentIndex(
            m_dialog->LRoutes->model()->index(1, 0), QItemSelectionModel::NoUpdate);
        QVERIFY(!m_dialog->RInserer->isEnabled());
        m_dialog->RInsererClick();
        QVERIFY(m_dialog->isVisible());
        QCOMPARE(rowTexts(m_stages, 7), tracedRow(7));
    }

    void everyActivationRebuildsTheListWithoutSelection()
    {
        openForInsertionAt(7);
        writeRoutes({"Forêt", "AA", "Lac", "AB", "Mer", "AC"});
        pick(QStringLiteral("Lac"));
        activate();
        QCOMPARE(m_dialog->LRoutes->list().count(), 3);
        QVERIFY(m_dialog->LRoutes->selectionModel()->selectedRows().isEmpty());
        QCOMPARE(m_dialog->LRoutes->list().current(), -1);
    }

    void showingAgainDisablesTheButton()
    {
        openForInsertionAt(7);
        pick(QStringLiteral("Lac"));
        m_dialog->QuitterClick();
        QVERIFY(!m_dialog->isVisible());
        openForInsertionAt(7);
        QVERIFY(!m_dialog->RInserer->isEnabled());
    }

    void oneWaypointInsertedAtRow3()
    {
        writeWaypoints(QStringLiteral("AB"), {{"AB000", "512345", "4845678", "1200"}});
        openForInsertionAt(3);
        m_log.install(m_stages);
        pick(QStringLiteral("Lac"));
        m_dialog->RInsererClick();

        QVERIFY(m_platform.errors.isEmpty());
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(rowTexts(m_stages, 3),
                 QStringList({"AB000", "", "", "31T 512345 4845678", "1200", "", "c6r3"}));
        for (int r = 4; r <= 50; ++r)
            QCOMPARE(rowTexts(m_stages, r), tracedRow(r - 1));
        QCOMPARE(m_stages.row(), 4);
        QCOMPARE(m_log.moves.size(), 6);
        QCOMPARE(m_enables, QList<bool>({false, true}));
    }

    // The insertion starts where the cursor is when the button is pressed.
    void insertionStartsAtTheCurrentRowOfThePress()
    {
        openForInsertionAt(3);
        m_stages.moveTo(Column::Place, 20);
        pick(QStringLiteral("Forêt"));
        m_dialog->RInsererClick();
        QCOMPARE(rowTexts(m_stages, 20),
                 QStringList({"AA000", "M ", "60", "31T 512345 4845678", "1200", "700", "c6r20"}));
        QCOMPARE(rowTexts(m_stages, 21),
                 QStringList({"AA001", "", "", "31T 512960 4846012", "1350", "", "c6r20"}));
        QCOMPARE(rowTexts(m_stages, 3), tracedRow(3));
        QCOMPARE(m_stages.row(), 22);
    }

    void fiveWaypointsAtRow49SayHowManyWereLeftOut()
    {
        writeWaypoints(QStringLiteral("AB"), manyPoints(5));
        openForInsertionAt(49);
        pick(QStringLiteral("Lac"));
        m_dialog->RInsererClick();
        QCOMPARE(m_platform.errors,
                 QStringList({"L'itinéraire est plein à la ligne 50 : 3 points de la route n'ont "
                              "pas été insérés."}));
        QCOMPARE(m_stages.cell(Column::Place, 49), QStringLiteral("AB000"));
        QCOMPARE(m_stages.cell(Column::Place, 50), QStringLiteral("AB001"));
        QCOMPARE(m_stages.row(), 50);
        QCOMPARE(m_enables, QList<bool>({false, true}));
        QVERIFY(!m_dialog->isVisible());
    }

    void threeWaypointsAtRow48FillTheGridSilently()
    {
        writeWaypoints(QStringLiteral("AB"), manyPoints(3));
        openForInsertionAt(48);
        pick(QStringLiteral("Lac"));
        m_dialog->RInsererClick();
        QVERIFY(m_platform.errors.isEmpty());
        QCOMPARE(m_stages.cell(Column::Place, 48), QStringLiteral("AB000"));
        QCOMPARE(m_stages.cell(Column::Place, 49), QStringLiteral("AB001"));
        QCOMPARE(m_stages.cell(Column::Place, 50), QStringLiteral("AB002"));
        QCOMPARE(rowTexts(m_stages, 47), tracedRow(47));
        QCOMPARE(m_stages.row(), 50);
    }

    void missingRoutesFileHidesTheDialogSilently()
    {
        QFile::remove(projectFile(QStringLiteral("Quorr.qud")));
        openForInsertionAt(5);
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(m_dialog->LRoutes->list().count(), 0);
        QVERIFY(m_platform.errors.isEmpty());
    }

    void missingWaypointFileChangesNothing()
    {
        openForInsertionAt(5);
        const QList<QStringList> before = allRows(m_stages);
        m_log.install(m_stages);
        pick(QStringLiteral("Lac")); // Quorr.AB does not exist
        m_dialog->RInsererClick();
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(allRows(m_stages), before);
        QVERIFY(m_log.moves.isEmpty());
        QVERIFY(m_enables.isEmpty());
        QVERIFY(m_platform.errors.isEmpty());
    }

    void emptyWaypointFileChangesNothing()
    {
        writeBytes(projectFile(QStringLiteral("Quorr.AB")), QByteArray());
        openForInsertionAt(5);
        const QList<QStringList> before = allRows(m_stages);
        pick(QStringLiteral("Lac"));
        m_dialog->RInsererClick();
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(allRows(m_stages), before);
        QVERIFY(m_enables.isEmpty());
        QVERIFY(m_platform.errors.isEmpty());
    }

    void nonIntegerEastingStopsWithTheMessage()
    {
        QList<Waypoint> points = manyPoints(4);
        points[2].easting = QStringLiteral("51x2");
        writeWaypoints(QStringLiteral("AB"), points);
        openForInsertionAt(5);
        pick(QStringLiteral("Lac"));
        m_dialog->RInsererClick();
        QCOMPARE(m_platform.errors, QStringList({"'51x2' n'est pas une valeur entière correcte"}));
        QCOMPARE(m_stages.cell(Column::Place, 5), QStringLiteral("AB000"));
        QCOMPARE(rowTexts(m_stages, 6), tracedRow(5));
        QCOMPARE(m_enables, QList<bool>({false, true}));
        QVERIFY(!m_dialog->isVisible());
    }

    // Names are matched without regard to case, on the first equal line.
    void theFirstEqualNameGivesTheCode()
    {
        writeRoutes({"FORÊT", "AB", "Forêt", "AA"});
        writeWaypoints(QStringLiteral("AB"), manyPoints(1));
        openForInsertionAt(5);
        m_dialog->LRoutes->list().select(1);
        m_dialog->RInsererClick();
        QCOMPARE(m_stages.cell(Column::Place, 5), QStringLiteral("AB000"));
    }

    void nothingPickedDoesNothing()
    {
        openForInsertionAt(5);
        const QList<QStringList> before = allRows(m_stages);
        m_dialog->RInsererClick();
        QVERIFY(m_dialog->isVisible());
        QCOMPARE(allRows(m_stages), before);
    }

    void deactivationDiscardsTheRoutesList()
    {
        openForInsertionAt(5);
        pick(QStringLiteral("Forêt"));
        QEvent event(QEvent::WindowDeactivate);
        QCoreApplication::sendEvent(m_dialog.get(), &event);
        const QList<QStringList> before = allRows(m_stages);
        m_dialog->RInsererClick();
        QCOMPARE(allRows(m_stages), before);
        QVERIFY(!m_dialog->isVisible());
    }

    void exportSetUpFromTheCatalogueRow()
    {
        openForExportAt(2);
        TQuorrte &d = *m_dialog;
        QVERIFY(d.isVisible());
        QCOMPARE(d.windowTitle(), kExportNumberTitle + QStringLiteral("3"));
        QCOMPARE(d.routeNumber(), 3);
        QCOMPARE(d.NumRoute->text(), QStringLiteral("3"));
        QCOMPARE(d.RInserer->text(), QStringLiteral("&Exporter"));
        QVERIFY(!d.NumRoute->isHidden());
        QVERIFY(!d.UpRoute->isHidden());
        QCOMPARE(d.LRoutes->list().count(), 2);
        for (QObject *o : {static_cast<QObject *>(&d), static_cast<QObject *>(d.LRoutes),
                           static_cast<QObject *>(d.NumRoute), static_cast<QObject *>(d.Quitter),
                           static_cast<QObject *>(d.RInserer), static_cast<QObject *>(d.UpRoute)})
            QCOMPARE(o->property(kHelpContextProperty).toInt(), 7);
    }

    void openForExportSetsItsTitleBeforeActivation()
    {
        m_dialog->openForExport();
        QCOMPARE(m_dialog->windowTitle().left(32),
                 QStringLiteral("Crée un fichier GPS de la route "));
        QVERIFY(m_dialog->windowTitle().startsWith(QLatin1Char('C')));
    }

    void catalogueRow0Proposes1AndRow35Proposes30()
    {
        openForExportAt(0);
        QCOMPARE(m_dialog->routeNumber(), 1);
        QCOMPARE(m_dialog->windowTitle(), kExportNumberTitle + QStringLiteral("1"));
        m_dialog->QuitterClick();
        openForExportAt(35);
        QCOMPARE(m_dialog->routeNumber(), 30);
        QCOMPARE(m_dialog->NumRoute->text(), QStringLiteral("30"));
    }

    void arrowsChangeTheNumberWithoutWrapping()
    {
        openForExportAt(28);
        TQuorrte &d = *m_dialog;
        d.UpRoute->upButton()->click();
        QCOMPARE(d.routeNumber(), 30);
        d.UpRoute->upButton()->click();
        QCOMPARE(d.routeNumber(), 30);
        QCOMPARE(d.windowTitle(), kExportNumberTitle + QStringLiteral("30"));
        d.UpRoute->downButton()->click();
        QCOMPARE(d.routeNumber(), 29);
        QCOMPARE(d.NumRoute->text(), QStringLiteral("29"));
        QCOMPARE(d.windowTitle(), kExportNumberTitle + QStringLiteral("29"));

        openForExportAt(0);
        d.UpRoute->downButton()->click();
        QCOMPARE(d.routeNumber(), 1);
        QCOMPARE(d.windowTitle(), kExportNumberTitle + QStringLiteral("1"));
    }

    void exportWritesTheWaypointPlusFile()
    {
        const QString target = m_dir->filePath(QStringLiteral("Forêt.TXT"));
        m_platform.saveFileAnswers.append(target);
        openForExportAt(2);
        pick(QStringLiteral("Forêt"));
        m_dialog->RInsererClick();

        QVERIFY(m_platform.errors.isEmpty());
        QCOMPARE(m_platform.dialogs.size(), 1);
        const FakePlatform::DialogCall &call = m_platform.dialogs.first();
        QCOMPARE(call.title, QStringLiteral("Crée un fichier au format Waypoint +"));
        QCOMPARE(call.directory, m_state.projectDirectory());
        QCOMPARE(call.proposedName, QStringLiteral("Forêt.TXT"));
        QCOMPARE(call.filter, QStringLiteral("Fichier WAYPOINT+|*.TXT"));
        QCOMPARE(call.defaultExtension, QStringLiteral("txt"));
        const QByteArray expected =
            "Datum,European 1950,International,-251,-0.14192702,-87,-96,-120\r\n"
            "RouteName, 3,FOR\xCAT\r\n"
            "RoutePoint,UTM,AA000 ,31T,512345,4845678,01/01/2001,00:00:00,QUOR\r\n"
            "RoutePoint,UTM,AA001 ,31T,512960,4846012,01/01/2001,00:00:00,QUOR\r\n";
        QCOMPARE(readBytes(target), expected);
        QVERIFY(!m_dialog->isVisible());
        // The stage grid is not touched by an export.
        QCOMPARE(rowTexts(m_stages, 5), tracedRow(5));
        QVERIFY(m_enables.isEmpty());
    }

    void exportUsesTheNumberSetByTheArrows()
    {
        const QString target = m_dir->filePath(QStringLiteral("lac.txt"));
        m_platform.saveFileAnswers.append(target);
        QList<Waypoint> route = exampleRoute();
        route[0].datum = QStringLiteral("WGS84");
        route[1].datum = QStringLiteral("ED50");
        writeWaypoints(QStringLiteral("AB"), route);
        openForExportAt(10); // proposes 11
        m_dialog->UpRoute->upButton()->click();
        pick(QStringLiteral("Lac"));
        m_dialog->RInsererClick();
        const QByteArray expected =
            "Datum,WGS84,WGS84,0,0,0,0,0\r\n"
            "RouteName,12,LAC\r\n"
            "RoutePoint,UTM,AA000 ,31T,512345,4845678,01/01/2001,00:00:00,QUOR\r\n"
            "RoutePoint,UTM,AA001 ,31T,512960,4846012,01/01/2001,00:00:00,QUOR\r\n";
        QCOMPARE(readBytes(target), expected);
    }

    // What was picked when the button was pressed is what the file gets, even
    // though the save dialog's closing sets the route dialog up again.
    void exportKeepsWhatWasPickedAcrossTheSaveDialog()
    {
        ReactivatingPlatform platform;
        TQuorrte dialog(m_state, platform);
        dialog.setGrids(m_stages, m_catalogue);
        platform.dialog = &dialog;
        platform.catalogue = &m_catalogue;
        const QString target = m_dir->filePath(QStringLiteral("f.txt"));
        platform.saveFileAnswers.append(target);
        m_catalogue.moveTo(0, 6);
        dialog.openForExport();
        QEvent event(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&dialog, &event);
        dialog.LRoutes->list().select(0);
        dialog.RInsererClick();
        QVERIFY(platform.errors.isEmpty());
        QVERIFY(readBytes(target).contains("RouteName, 7,FOR\xCAT\r\n"));
        QVERIFY(!dialog.isVisible());
    }

    void cancelledSaveWritesNothing()
    {
        openForExportAt(2);
        pick(QStringLiteral("Forêt"));
        m_dialog->RInsererClick();
        QCOMPARE(m_platform.dialogs.size(), 1);
        QVERIFY(m_platform.errors.isEmpty());
        QVERIFY(QDir(m_dir->path()).entryList({"*.TXT", "*.txt"}, QDir::Files).isEmpty());
        QVERIFY(
            QDir(m_state.projectDirectory()).entryList({"*.TXT", "*.txt"}, QDir::Files).isEmpty());
        QVERIFY(!m_dialog->isVisible());
    }

    void unwritableTargetGivesCannotCreate()
    {
        const QString target = m_dir->filePath(QStringLiteral("Forêt.TXT"));
        m_platform.saveFileAnswers.append(target);
        FileLayer::setFaultHook([target](FileLayer::Op op, const QString &path) {
            return (path == target && op == FileLayer::Op::CreateTemp) ? EACCES : 0;
        });
        openForExportAt(2);
        pick(QStringLiteral("Forêt"));
        m_dialog->RInsererClick();
        QCOMPARE(m_platform.errors, QStringList({"Impossible de créer le fichier " + target}));
        QVERIFY(!QFile::exists(target));
        QVERIFY(!m_dialog->isVisible());
    }

    void exportOfARouteWithoutWaypointsAsksNothing()
    {
        openForExportAt(2);
        pick(QStringLiteral("Lac"));
        m_dialog->RInsererClick();
        QVERIFY(m_platform.dialogs.isEmpty());
        QVERIFY(m_platform.errors.isEmpty());
        QVERIFY(!m_dialog->isVisible());
    }

    void insertionAfterExportKeepsHelpTopic7()
    {
        openForExportAt(2);
        m_dialog->QuitterClick();
        openForInsertionAt(5);
        QCOMPARE(m_dialog->RInserer->text(), QStringLiteral("&Insérer"));
        QVERIFY(m_dialog->NumRoute->isHidden());
        QCOMPARE(m_dialog->property(kHelpContextProperty).toInt(), 7);
    }
};
QUOR_TEST(TQuorrteTest)

#include "tst_tquorrte.moc"
